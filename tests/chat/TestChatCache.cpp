// The encrypted chat cache: saves coalesced to one per event-loop turn, unchanged keys not sealed
// again, the disk left exactly as saving at each save point would have left it, restore at start,
// and the previous account's chats dropped from memory at sign-out. Work handed to workers never
// changes what the chat state applies, or in which order: a large hello decoded off the main
// thread, the cache opened at start and the saves written on the writer thread.
#include "ChatFixture.h"
#include "ChatJsonWriter.h"
#include "EventDispatcher.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>
#include <atomic>
#include <memory>

namespace {
template <typename T>
std::optional<T> stored(ChatCache::Key key)
{
    return SecureStorage::shared().load<T>(ChatCache::storageKey(key));
}

std::optional<QList<ChatMessage>> storedHall()
{
    return stored<QList<ChatMessage>>(ChatCache::GlobalMessages);
}

QJsonObject hallFrame(int i)
{
    return loopback::json(QStringLiteral("{'type':'global','id':'m%1','from':'b','content':'text','time':%1}").arg(i).toUtf8().constData());
}

// A hello for "me" large enough to be decoded on a worker: a full hall and one direct room with "b".
QString largeHello()
{
    QStringList hall;
    QString frame;
    while (frame.size() < InboundSequencer::workerFrameChars) {
        for (int k = 0; k < 500; ++k)
            hall.append(QStringLiteral(R"({"id":"h%1","from":"b","content":"text","time":%1})").arg(hall.size()));
        frame = QStringLiteral(R"({"type":"hello","self":{"id":"me","username":"Me"},"friends":[{"id":"b","username":"B"}],)"
                               R"("dmRooms":{"b_me":[{"id":"d0","from":"b","content":"text","time":1}]},"globalMsgs":[%1]})")
                    .arg(hall.join(QLatin1Char(',')));
    }
    return frame;
}

QString live(const char *type, const QString &id, const char *extra = "")
{
    return QStringLiteral("{\"type\":\"%1\",\"id\":\"%2\",\"from\":\"b\",\"content\":\"x\",\"time\":9%3}")
        .arg(QLatin1String(type), id, QLatin1String(extra));
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

        QCOMPARE(ChatFixture::sizes(chat), QList<qsizetype>(8, 0));
        QVERIFY(chat.announcement().isEmpty());
        QCOMPARE(chat.currentUserName(), QStringLiteral("我"));

        // The next account's snapshot sends no direct rooms: none of the previous account's remain.
        f.deliver("{'type':'hello','self':{'id':'carol','username':'Carol'}}");
        QVERIFY(chat.dmMessages().isEmpty());
        QVERIFY(f.settle());
        QVERIFY(stored<MessageStore::MessageMap>(ChatCache::DmMessages)->isEmpty());
        QVERIFY(stored<QList<User>>(ChatCache::Friends)->isEmpty());
    }

    void largeHelloThenLiveFramesMatchTheSingleThreadedPath()
    {
        // The server sends a large hello and live frames right behind it, so they reach the client
        // in the same socket read.
        const QStringList frames{largeHello(), live("global", QStringLiteral("g1")), live("dm", QStringLiteral("d1"), ",\"to\":\"me\""),
                                 live("global", QStringLiteral("g2"))};
        ChatFixture threaded;
        ChatViewModel &chat = threaded.make(QStringLiteral("me"));
        WebSocketTestServer &server = threaded.server();
        loopback::setServer(server.baseURL());
        threaded.ws->connectToServer(QStringLiteral("tok"));
        QTRY_COMPARE(server.received.size(), 1);
        for (const QString &frame : frames)
            server.sendText(frame);
        QTRY_COMPARE(chat.globalMessages().value(chat.globalMessages().size() - 1).id, QStringLiteral("g2"));
        QVERIFY(threaded.settle());

        // The same frames decoded and applied one by one on this thread, as before.
        ChatFixture reference;
        ChatViewModel &expected = reference.make(QStringLiteral("me"));
        for (const QString &frame : frames)
            EventDispatcher::dispatch(frame, *reference.ws);
        QCOMPARE(ChatFixture::ids(chat.globalMessages()).mid(chat.globalMessages().size() - 2), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("b_me"))), (QStringList{QStringLiteral("d0"), QStringLiteral("d1")}));
        QCOMPARE(chat.globalMessages(), expected.globalMessages());
        QCOMPARE(chat.dmMessages(), expected.dmMessages());
        QCOMPARE(chat.friends(), expected.friends());

        // On disk: what the single-threaded save encoded, byte for byte.
        SettingsStore::shared().setLocation(threaded.dir.path());
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::GlobalMessages)), ChatJsonWriter::write(expected.globalMessages()));
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::DmMessages)), ChatJsonWriter::write(expected.dmMessages()));
        QCOMPARE(SecureStorage::shared().loadJson(ChatCache::storageKey(ChatCache::Friends)), encodeJson(expected.friends()));
    }

    void cacheOpenedAtStartIsPublishedBeforeTheFirstHello()
    {
        ChatFixture f;
        f.make(QStringLiteral("me"));
        f.deliver("{'type':'hello','globalMsgs':[{'id':'old','from':'b','content':'x','time':1}],"
                  "'dmRooms':{'b_me':[{'id':'d1','from':'b','content':'x','time':1}]}}");
        f.chat.reset();

        // The next start: the hello of the new connection arrives while the cache is still being opened.
        f.chat = std::make_unique<ChatViewModel>(f.services());
        ChatViewModel &chat = *f.chat;
        QVERIFY(chat.isLoadingCache());
        f.deliver("{'type':'hello','globalMsgs':[{'id':'new','from':'b','content':'x','time':2}],"
                  "'dmRooms':{'c_me':[{'id':'d2','from':'c','content':'x','time':2}]}}");
        f.ws->handleMessage(live("global", QStringLiteral("live")));
        QVERIFY(f.settle());
        // The snapshot replaced the cached hall and was merged into the cached direct rooms.
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("new"), QStringLiteral("live")}));
        QCOMPARE(chat.dmMessages().size(), 2);
        QCOMPARE(stored<QList<ChatMessage>>(ChatCache::GlobalMessages), chat.globalMessages());
        QCOMPARE(stored<MessageStore::MessageMap>(ChatCache::DmMessages), chat.dmMessages());
    }

    void signOutWithSavesInFlightLeavesNothingOnDisk()
    {
        // A save being encoded on the writer thread when the user signs out.
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        QSemaphore encoding, proceed;
        ChatCache cache([&](ChatCache::Key) -> ChatCacheWriter::Encode {
            return [&] {
                encoding.release();
                proceed.acquire();
                return QByteArray("[]");
            };
        });
        cache.requestSave();
        QCoreApplication::processEvents();
        QVERIFY(encoding.tryAcquire(1, 5000));
        cache.forgetStored();
        proceed.release(ChatCache::KeyCount);
        QTRY_VERIFY(!cache.isWriting());
        QCOMPARE(cache.writes(), 0);
        QVERIFY(!ChatCache::anyStored());
    }

    void signOutDropsAHelloStillBeingDecoded()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        f.ws->handleMessage(largeHello());
        f.ws->disconnectFromServer();
        NotificationCenter::shared().post(QStringLiteral("userLoggedOut"));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(!chat.cache().savePending());
    }

    void savesOfOneKeyLandInOrder()
    {
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        const QString key = ChatCache::storageKey(ChatCache::Friends);
        const auto json = [](const char *text) { return [bytes = QByteArray(text)] { return bytes; }; };
        std::atomic<int> released = 0;
        ChatCacheWriter writer([](int, quint64) {}, [&released](int) { ++released; });
        // The newer save is written first; the older one, handed over late, never overwrites it.
        writer.enqueue(ChatCache::Friends, key, 2, json("[2]"));
        writer.waitUntilIdle();
        writer.enqueue(ChatCache::Friends, key, 1, json("[1]"));
        writer.waitUntilIdle();
        QCOMPARE(SecureStorage::shared().loadJson(key), QByteArray("[2]"));
        QCOMPARE(writer.writes(), 1);

        // While the writer is busy, a queued save is replaced by a newer one of its key only.
        QSemaphore busy, proceed;
        writer.enqueue(ChatCache::Groups, ChatCache::storageKey(ChatCache::Groups), 3, [&] {
            busy.release();
            proceed.acquire();
            return QByteArray("[]");
        });
        QVERIFY(busy.tryAcquire(1, 5000));
        QVERIFY(writer.holdsCopy(ChatCache::Groups));
        QVERIFY(!writer.holdsCopy(ChatCache::Friends));
        // The copies a replaced save holds are released on the writer thread, not the caller's.
        std::atomic<QThread *> releasedOn = nullptr;
        std::shared_ptr<int> copy(new int, [&releasedOn](int *p) { releasedOn = QThread::currentThread(); delete p; });
        writer.enqueue(ChatCache::Friends, key, 5, json("[5]"));
        writer.enqueue(ChatCache::Friends, key, 4, [copy = std::move(copy)] { return QByteArray("[4]"); });
        QVERIFY(writer.holdsCopy(ChatCache::Friends));
        proceed.release();
        writer.waitUntilIdle();
        QCOMPARE(SecureStorage::shared().loadJson(key), QByteArray("[5]"));
        QCOMPARE(writer.writes(), 3);
        QTRY_VERIFY(releasedOn.load());
        QVERIFY(releasedOn.load() != QThread::currentThread());
        QTRY_COMPARE(released.load(), 4);
    }
};

QTEST_GUILESS_MAIN(TestChatCache)
#include "TestChatCache.moc"
