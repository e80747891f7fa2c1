// Sending, recalling and removing messages, group search and join applications, against a real
// TLS WebSocket server on loopback that records the frames the chat state sends.
#include "ChatFixture.h"

#include <QTest>

using loopback::json;

class TestChatActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sendGateUsesTheClockAndOptimisticMessagesLookRight()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        f.connectTo();
        chat.sendMessage(QStringLiteral("nowhere"));
        QVERIFY(chat.globalMessages().isEmpty()); // no open room

        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QString(), {});
        QVERIFY(chat.globalMessages().isEmpty()); // nothing to send

        chat.sendMessage(QStringLiteral("one"));
        f.now += 200;
        chat.sendMessage(QStringLiteral("two"));
        QCOMPARE(chat.globalMessages().size(), 1);
        QVERIFY(!chat.hasToast());
        f.now += 150; // 350 ms after the first accepted send
        chat.sendMessage(QString(), {QStringLiteral("/i/1.jpg")});
        QCOMPARE(chat.globalMessages().size(), 2);
        f.now -= 1000; // a clock that went back refuses too
        chat.sendMessage(QStringLiteral("back"));
        QCOMPARE(chat.globalMessages().size(), 2);

        const ChatMessage &text = chat.globalMessages().at(0);
        QCOMPARE(text.id, QStringLiteral("temp_00000000-0000-4000-8000-000000000001"));
        QCOMPARE(text.from, QStringLiteral("me"));
        QCOMPARE(text.fromName, QStringLiteral("我"));
        QCOMPARE(text.content, QStringLiteral("one"));
        QCOMPARE(text.time, ChatFixture::startMs);
        QVERIFY(text.isFromMe);
        QCOMPARE(text.clientId, text.id.mid(5));
        QCOMPARE(chat.globalMessages().at(1).images, QStringList{QStringLiteral("/i/1.jpg")});
        QVERIFY(chat.cache().savePending()); // what the user wrote is saved at once

        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'one','clientId':'00000000-0000-4000-8000-000000000001'}"));
        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'','images':['/i/1.jpg'],'clientId':'00000000-0000-4000-8000-000000000002'}"));
    }

    void sendsWaitForTheHelloAndOfflineOnesStayPending()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QStringLiteral("offline"));
        QVERIFY(!chat.hasToast());
        QCOMPARE(chat.globalMessages().size(), 1);

        // Connected but before the hello, a frame could overtake the authentication: it waits.
        loopback::setServer(f.server().baseURL());
        f.ws->connectToServer(QStringLiteral("tok"));
        f.now += 400;
        chat.sendMessage(QStringLiteral("early"));
        QTRY_COMPARE(f.server().received.size(), 1);
        QCOMPARE(loopback::parsed(f.server().received.takeFirst()).value(QStringLiteral("type")), QStringLiteral("auth"));
        QTest::qWait(50);
        QVERIFY(f.server().received.isEmpty());
        f.deliver("{'type':'hello'}");
        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'offline','clientId':'00000000-0000-4000-8000-000000000001'}"));
        QCOMPARE(f.nextFrame(), json("{'type':'global','content':'early','clientId':'00000000-0000-4000-8000-000000000002'}"));
        QCOMPARE(chat.globalMessages().size(), 2);
    }

    void unconfirmedMessagesAreMarkedFailedAndResentOnRequest()
    {
        ChatFixture f;
        f.confirmTimeout = 100ms;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        f.connectTo();
        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QStringLiteral("refused"));
        const auto failed = [&chat](int row) { return chat.globalMessages().at(row).failed.value_or(false); };
        QTRY_VERIFY(failed(0));
        QVERIFY(chat.currentMessages()->data(chat.currentMessages()->index(0), MessageListModel::IsFailedRole).toBool());
        QVERIFY(f.settle());
        f.server().received.clear();
        // Its temporary id is unknown to the server: no recall goes out, and the message stays.
        chat.recallMessageWithId(chat.globalMessages().at(0).id);
        QCOMPARE(chat.globalMessages().size(), 1);

        // A drop before the timeout is no failure: the message goes again after the next hello.
        f.now += 300;
        chat.sendMessage(QStringLiteral("dropped"));
        f.ws->disconnectFromServer();
        QTest::qWait(300);
        QVERIFY(!failed(1));
        chat.resendMessageWithId(chat.globalMessages().at(0).id);
        QVERIFY(!failed(0));
        f.server().received.clear();
        f.connectTo();
        QCOMPARE(f.nextFrame().value(QStringLiteral("content")), QStringLiteral("refused"));
        QCOMPARE(f.nextFrame().value(QStringLiteral("content")), QStringLiteral("dropped"));
        // An echo answers the message of its client id only.
        f.deliver("{'type':'global','id':'s1','from':'me','content':'refused','time':1,'clientId':'00000000-0000-4000-8000-000000000001'}");
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("temp_00000000-0000-4000-8000-000000000002"), QStringLiteral("s1")}));
        // Recalled from another device meanwhile: the server answers the stale copy with the recall.
        f.deliver("{'type':'recalled','room':'global','id':'s2','clientId':'00000000-0000-4000-8000-000000000002'}");
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), QStringList{QStringLiteral("s1")});
    }

    void recallWindowEdgesAndTheRoomOfTheFrame()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        // Sent 120,000 ms, 120,001 ms and -5,000 ms before the injected clock's now (1,700,000,000,000).
        f.deliver("{'type':'hello','dmRooms':{'b_me':[{'id':'edge','from':'me','content':'','time':1699999880000},"
                  "{'id':'old','from':'me','content':'','time':1699999879999},"
                  "{'id':'future','from':'me','content':'','time':1700000005000}]}}");
        const QList<ChatMessage> sent = chat.dmMessages().value(QStringLiteral("b_me"));
        const ChatMessage &edge = sent.at(0);
        const ChatMessage &old = sent.at(1);
        const ChatMessage &future = sent.at(2);

        chat.recallMessage(edge);
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3); // no open room

        chat.setCurrentRoom(RoomType::dm(QStringLiteral("b"), QStringLiteral("B")));
        chat.recallMessage(edge);
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，撤回失败"));
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3);

        f.connectTo();
        chat.recallMessage(old);
        QCOMPARE(chat.toast(), QStringLiteral("超过2分钟的消息无法撤回"));
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3);

        chat.recallMessage(edge);
        chat.recallMessageWithId(QStringLiteral("future"));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("b_me"))), QStringList{QStringLiteral("old")});
        // The peer comes from the open room, although the message carries no "to".
        QCOMPARE(f.nextFrame(), json("{'type':'recall','room':'dm','id':'edge','to':'b'}"));
        QCOMPARE(f.nextFrame().value(QStringLiteral("id")).toString(), future.id);

        chat.setCurrentRoom(RoomType::group(QStringLiteral("g"), QString()));
        chat.recallMessage(future);
        QCOMPARE(f.nextFrame(), json("{'type':'recall','room':'group','id':'future','gid':'g'}"));
        chat.setCurrentRoom(RoomType::global());
        chat.recallMessage(future);
        QCOMPARE(f.nextFrame(), json("{'type':'recall','room':'global','id':'future'}"));
    }

    void localRemovalReachesEveryRoom()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("a"));
        f.deliver("{'type':'hello','globalMsgs':[{'id':'x','from':'b','content':'','time':1},{'id':'y','from':'b','content':'','time':1}],"
                  "'dmRooms':{'a_b':[{'id':'x','from':'b','content':'','time':1}]},"
                  "'groupMsgs':{'g':[{'id':'x','from':'b','content':'','time':1}]}}");
        chat.removeMessageLocally(chat.globalMessages().first());
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), QStringList{QStringLiteral("y")});
        QVERIFY(chat.dmMessages().contains(QStringLiteral("a_b")));
        QVERIFY(chat.dmMessages().value(QStringLiteral("a_b")).isEmpty());
        QVERIFY(chat.groupMessages().value(QStringLiteral("g")).isEmpty());

        // The chat screen's delete action names a message of the open room.
        chat.removeMessageWithId(QStringLiteral("y"));
        QCOMPARE(chat.globalMessages().size(), 1);
        chat.setCurrentRoom(RoomType::global());
        chat.removeMessageWithId(QStringLiteral("y"));
        QVERIFY(chat.globalMessages().isEmpty());
    }

    void groupSearchFillsResultsAndKeepsThemOnFailure()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        chat.searchGroups(QStringLiteral("茶"));
        QVERIFY(chat.isSearching());
        QCOMPARE(f.searchedKeywords, QStringList{QStringLiteral("茶")});
        f.pendingSearch(QList<SearchGroup>{SearchGroup{QStringLiteral("g"), QStringLiteral("茶馆")}});
        QVERIFY(!chat.isSearching());
        QCOMPARE(chat.searchResults().size(), 1);

        chat.searchGroups(QStringLiteral("x"));
        f.pendingSearch(Result<QList<SearchGroup>>::failure(QStringLiteral("HTTP错误 500")));
        QVERIFY(!chat.isSearching());
        QCOMPARE(chat.searchResults().size(), 1);
        QCOMPARE(chat.toast(), QStringLiteral("搜索失败: HTTP错误 500"));

        // An empty keyword clears the results without asking the server.
        chat.searchGroups(QString());
        QVERIFY(chat.searchResults().isEmpty());
        QCOMPARE(f.searchedKeywords.size(), 2);
        QVERIFY(!chat.isSearching());
    }

    void joinApplicationsAndAnswers()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliver("{'type':'hello','groupApplyRequests':[{'id':'ap','gid':'g','from':'c','time':1}]}");

        chat.applyToGroup(QStringLiteral("g"));
        QCOMPARE(chat.toast(), QStringLiteral("连接未就绪，请稍后重试"));
        chat.respondToGroupRequest(QStringLiteral("ap"), QStringLiteral("accept"));
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，操作失败"));
        QCOMPARE(chat.groupRequests().size(), 1);

        f.connectTo();
        chat.applyToGroup(QStringLiteral("g"));
        QCOMPARE(f.nextFrame(), json("{'type':'group-apply','gid':'g'}"));
        chat.respondToGroupRequest(QStringLiteral("ap"), QStringLiteral("deny"));
        QVERIFY(chat.groupRequests().isEmpty());
        QCOMPARE(f.nextFrame(), json("{'type':'group-apply-respond','applyId':'ap','action':'deny'}"));
    }
};

QTEST_GUILESS_MAIN(TestChatActions)
#include "TestChatActions.moc"
