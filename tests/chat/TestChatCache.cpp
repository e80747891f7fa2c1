// The encrypted chat cache: saves coalesced to one per event-loop turn, unchanged keys not sealed
// again, the disk left exactly as saving at each save point would have left it, restore at start,
// and the previous account's chats dropped from memory at sign-out.
#include "ChatFixture.h"
#include "ChatJsonWriter.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QTest>

namespace {
std::optional<QList<ChatMessage>> storedHall()
{
    return SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"));
}

QJsonObject hallFrame(int i)
{
    return loopback::json(QStringLiteral("{'type':'global','id':'m%1','from':'b','content':'text','time':%1}").arg(i).toUtf8().constData());
}
} // namespace

class TestChatCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fastWriterMatchesTheRecordCodecByteForByte()
    {
        QList<ChatMessage> messages;
        ChatMessage full;
        full.id = QStringLiteral("id\"1");
        full.from = QStringLiteral("u\\1");
        full.fromName = QStringLiteral("名字 😀 \b\f\n\r\t\x01\x1f\x7f end");
        full.fromAvatar = QStringLiteral("/a.png");
        full.fromRole = QStringLiteral("admin");
        full.fromBot = false;
        full.content = QString(QChar(0xd800)) + QStringLiteral("lone") + QChar(0xdc00) + QStringLiteral("é€");
        full.images = QStringList{QStringLiteral("https://x/1.jpg"), QString()};
        full.time = -1772352942000;
        full.to = QStringLiteral("p");
        full.gid = QStringLiteral("g");
        full.clientId = QStringLiteral("c\"1");
        full.failed = true;
        full.isFromMe = true;
        ChatMessage bare;
        bare.id = QStringLiteral("b");
        bare.from = QStringLiteral("u");
        bare.time = 9007199254740993LL;
        bare.fromBot = true;
        bare.images = QStringList();
        messages << full << bare;
        QCOMPARE(ChatJsonWriter::write(messages), encodeJson(messages));
        QCOMPARE(ChatJsonWriter::write(QList<ChatMessage>()), encodeJson(QList<ChatMessage>()));
        const MessageStore::MessageMap rooms{{QStringLiteral("b_c"), messages}, {QStringLiteral("a_b"), {}},
                                             {QStringLiteral("Z_é"), {bare}}, {QString(), {full}}};
        QCOMPARE(ChatJsonWriter::write(rooms), encodeJson(rooms));
        QCOMPARE(ChatJsonWriter::write(MessageStore::MessageMap()), encodeJson(MessageStore::MessageMap()));
    }

    void savesAreCoalescedPerTurnAndSealOnlyChangedKeys()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        const char *hello = "{'type':'hello','globalMsgs':[{'id':'a','from':'b','content':'x','time':1}],"
                            "'friends':[{'id':'b','username':'B'}],'dmRooms':{'b_c':[]}}";
        f.deliver(hello);
        QVERIFY(f.settle());
        QCOMPARE(chat.cache().writes(), 5);
        f.deliver(hello); // an identical snapshot is not sealed again
        QVERIFY(f.settle());
        QCOMPARE(chat.cache().writes(), 5);

        // A burst in one turn is one write of the changed key. A recall in the same turn is no save
        // point: the disk holds the hall as the last message left it.
        for (int i = 0; i < 100; ++i)
            f.deliver(hallFrame(i));
        QVERIFY(chat.cache().savePending());
        QCOMPARE(chat.cache().writes(), 5);
        f.deliver("{'type':'recalled','room':'global','id':'m0'}");
        QVERIFY(f.settle());
        QCOMPARE(chat.cache().writes(), 6);
        QStringList ids{QStringLiteral("a")};
        for (int i = 0; i < 100; ++i)
            ids.append(QStringLiteral("m%1").arg(i));
        QCOMPARE(ChatFixture::ids(*storedHall()), ids);
        ids.removeAt(1);
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), ids);

        // Clearing the hall is no save point either; the next save point carries it along.
        f.deliver("{'type':'hall-cleared'}");
        QVERIFY(f.settle());
        QCOMPARE(storedHall()->size(), 101);
        f.deliver(hallFrame(100));
        QVERIFY(f.settle());
        QCOMPARE(ChatFixture::ids(*storedHall()), QStringList{QStringLiteral("m100")});
        QCOMPARE(*storedHall(), chat.globalMessages());
        QCOMPARE(chat.cache().writes(), 7);
    }

    void restartRestoresTheFiveKeysWithOwnFlagsBeforeAnyHello()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        f.make();
        f.deliver("{'type':'hello','globalMsgs':[{'id':'g1','from':'me','content':'a','time':1}],"
                  "'groups':[{'id':'x','name':'X','owner':'me','members':['me']}],'friends':[{'id':'b','username':'B'}],"
                  "'dmRooms':{'b_me':[{'id':'d1','from':'me','content':'d','time':1}]},"
                  "'groupMsgs':{'x':[{'id':'x1','from':'me','content':'x','time':1}]},'pendingRequests':[{'id':'r','from':'c','time':1}]}");
        // A save still waiting at the end of the chat state's life is written, not lost.
        f.deliver(hallFrame(9));
        f.chat.reset();

        // One unreadable key leaves only its own property empty. The flags that are never stored
        // are judged again with no hello: own messages and groups, not the others'.
        SettingsStore::shared().setBytes(QStringLiteral("zp_friends"), QByteArray(40, 'x'));
        ChatViewModel &restored = f.make();
        QCOMPARE(ChatFixture::ids(restored.globalMessages()), (QStringList{QStringLiteral("g1"), QStringLiteral("m9")}));
        QVERIFY(restored.globalMessages().first().isFromMe);
        QVERIFY(!restored.globalMessages().last().isFromMe);
        QVERIFY(restored.friends().isEmpty());
        QVERIFY(restored.groups().first().isOwner);
        QVERIFY(restored.dmMessages().value(QStringLiteral("b_me")).first().isFromMe);
        QVERIFY(restored.groupMessages().value(QStringLiteral("x")).first().isFromMe);
        QVERIFY(restored.pendingRequests().isEmpty()); // never stored

        // What was read back is not sealed again: the next message writes the hall, and the
        // unreadable friends key, which the save rewrites.
        f.deliver(hallFrame(10));
        QVERIFY(f.settle());
        QCOMPARE(restored.cache().writes(), 2);
        QVERIFY(SecureStorage::shared().load<QList<User>>(QStringLiteral("zp_friends")));
    }

    void signOutDropsThePreviousAccountsChatsFromMemory()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("alice"));
        f.deliver("{'type':'hello','self':{'id':'alice','username':'Alice'},'friends':[{'id':'bob','username':'Bob'}],"
                  "'groups':[{'id':'secret','name':'S','owner':'alice','members':['alice']}],"
                  "'dmRooms':{'alice_bob':[{'id':'d1','from':'bob','content':'d','time':1}]},"
                  "'pendingRequests':[{'id':'r','from':'c','time':1}],'announcement':'a'}");
        QVERIFY(f.settle());
        // A message arrives in the same turn as the sign-out: its save must not bring the cache back.
        // The session tells the chat state first, then removes the keys.
        f.deliver(hallFrame(1));
        NotificationCenter::shared().post(QStringLiteral("userLoggedOut"));
        for (int i = 0; i < ChatCache::KeyCount; ++i)
            SettingsStore::shared().remove(ChatCache::storageKey(ChatCache::Key(i)));
        QVERIFY(f.settle());
        QVERIFY(!ChatCache::anyStored());

        QVERIFY(chat.friends().isEmpty());
        QVERIFY(chat.groups().isEmpty());
        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(chat.dmMessages().isEmpty());
        QVERIFY(chat.groupMessages().isEmpty());
        QVERIFY(chat.pendingRequests().isEmpty());
        QVERIFY(chat.announcement().isEmpty());
        QCOMPARE(chat.currentUserName(), QStringLiteral("我"));

        // The next account's snapshot sends no direct rooms: none of the previous account's remain.
        f.deliver("{'type':'hello','self':{'id':'carol','username':'Carol'}}");
        QVERIFY(chat.dmMessages().isEmpty());
        QVERIFY(f.settle());
        QVERIFY(SecureStorage::shared().load<MessageStore::MessageMap>(QStringLiteral("zp_dm_msgs"))->isEmpty());
        QVERIFY(SecureStorage::shared().load<QList<User>>(QStringLiteral("zp_friends"))->isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestChatCache)
#include "TestChatCache.moc"
