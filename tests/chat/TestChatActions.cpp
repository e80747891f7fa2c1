// Sending, recalling and removing messages, group search and join applications, against a real
// TLS WebSocket server on loopback that records the frames the chat state sends.
#include "ChatFixture.h"
#include "TlsTrust.h"
#include "WebSocketTestServer.h"

#include <QTest>

namespace {
QJsonObject parsed(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}
} // namespace

class TestChatActions : public QObject
{
    Q_OBJECT

    std::optional<DevCertificates> m_certificates;
    std::unique_ptr<WebSocketTestServer> m_server;

    // Connects the fixture's client and waits until the server holds the authenticated socket.
    void connect(ChatFixture &f)
    {
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), m_server->baseURL());
        f.ws->connectToServer(QStringLiteral("tok"));
        QTRY_COMPARE(m_server->received.size(), 1);
        m_server->received.clear();
    }

    QJsonObject nextFrame()
    {
        [&] { QTRY_VERIFY(!m_server->received.isEmpty()); }();
        return m_server->received.isEmpty() ? QJsonObject() : parsed(m_server->received.takeFirst());
    }

private Q_SLOTS:
    void initTestCase()
    {
        Result<DevCertificates> certificates = DevCertificates::generate();
        QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
        m_certificates = certificates.value();
        TlsTrust::addCaCertificates({m_certificates->caCertificate});
    }

    void init()
    {
        m_server = std::make_unique<WebSocketTestServer>(*m_certificates);
        QVERIFY(m_server->listen() != 0);
    }

    void cleanup() { m_server.reset(); }

    void sendGateUsesTheClockAndOptimisticMessagesLookRight()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        connect(f);
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
        QCOMPARE(text.id.size(), 5 + 36);
        QCOMPARE(text.from, QStringLiteral("me"));
        QCOMPARE(text.fromName, QStringLiteral("我"));
        QCOMPARE(text.content, QStringLiteral("one"));
        QVERIFY(!text.images);
        QCOMPARE(text.time, ChatFixture::startMs);
        QVERIFY(text.isFromMe);
        QCOMPARE(chat.globalMessages().at(1).images, QStringList{QStringLiteral("/i/1.jpg")});
        QVERIFY(!chat.cache().savePending()); // optimistic sends are not saved

        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("global")}, {QStringLiteral("content"), QStringLiteral("one")}}));
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("global")}, {QStringLiteral("content"), QString()},
                                           {QStringLiteral("images"), QJsonArray{QStringLiteral("/i/1.jpg")}}}));

        // The echo of the first send replaces both optimistic messages.
        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("srv1"), QStringLiteral("me"), QStringLiteral("one"), 1));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), QStringList{QStringLiteral("srv1")});
    }

    void offlineSendShowsToastButStillStartsTheGate()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QStringLiteral("x"));
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，消息发送失败"));
        QVERIFY(chat.globalMessages().isEmpty());
        // Set directly: no timer clears it.
        QTest::qWait(80);
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，消息发送失败"));

        connect(f);
        f.now += 100;
        chat.sendMessage(QStringLiteral("too soon"));
        QVERIFY(chat.globalMessages().isEmpty());
        f.now += 200;
        chat.sendMessage(QStringLiteral("ok"));
        QCOMPARE(chat.globalMessages().size(), 1);
    }

    void groupAndDirectSendsCreateTheirRoom()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        connect(f);
        chat.setCurrentRoom(RoomType::group(QStringLiteral("g"), QStringLiteral("G")));
        chat.sendMessage(QStringLiteral("hi group"));
        f.now += 300;
        chat.setCurrentRoom(RoomType::dm(QStringLiteral("a"), QStringLiteral("A")));
        chat.sendMessage(QStringLiteral("hi a"));
        QCOMPARE(chat.groupMessages().value(QStringLiteral("g")).size(), 1);
        QCOMPARE(chat.dmMessages().value(QStringLiteral("a_me")).size(), 1);
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("group")}, {QStringLiteral("gid"), QStringLiteral("g")},
                                           {QStringLiteral("content"), QStringLiteral("hi group")}}));
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("dm")}, {QStringLiteral("to"), QStringLiteral("a")},
                                           {QStringLiteral("content"), QStringLiteral("hi a")}}));
    }

    void theFiveHundredFirstOptimisticHallMessageDropsTheOldest()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        QJsonArray hall;
        for (int i = 0; i < 500; ++i)
            hall.append(ChatFixture::stored(QStringLiteral("m%1").arg(i), QStringLiteral("b")));
        f.deliver(ChatFixture::hello({{QStringLiteral("globalMsgs"), hall}}));
        connect(f);
        chat.setCurrentRoom(RoomType::global());
        chat.sendMessage(QStringLiteral("mine"));
        QCOMPARE(chat.globalMessages().size(), 500);
        QCOMPARE(chat.globalMessages().first().id, QStringLiteral("m1"));
        QVERIFY(chat.globalMessages().last().id.startsWith(QLatin1String("temp_")));
    }

    void recallWindowEdgesAndTheRoomOfTheFrame()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::hello({
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("b_me"), QJsonArray{
                ChatFixture::stored(QStringLiteral("edge"), QStringLiteral("me"), ChatFixture::startMs - 120000),
                ChatFixture::stored(QStringLiteral("old"), QStringLiteral("me"), ChatFixture::startMs - 120001),
                ChatFixture::stored(QStringLiteral("future"), QStringLiteral("me"), ChatFixture::startMs + 5000)}}}},
        }));
        const auto find = [&](const QString &id) {
            for (const ChatMessage &m : chat.dmMessages().value(QStringLiteral("b_me")))
                if (m.id == id)
                    return m;
            return ChatMessage();
        };
        const ChatMessage edge = find(QStringLiteral("edge"));
        const ChatMessage old = find(QStringLiteral("old"));
        const ChatMessage future = find(QStringLiteral("future"));

        chat.recallMessage(edge);
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3); // no open room

        chat.setCurrentRoom(RoomType::dm(QStringLiteral("b"), QStringLiteral("B")));
        chat.recallMessage(edge);
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，撤回失败"));
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3);

        connect(f);
        chat.recallMessage(old);
        QCOMPARE(chat.toast(), QStringLiteral("超过2分钟的消息无法撤回"));
        QCOMPARE(chat.dmMessages().value(QStringLiteral("b_me")).size(), 3);

        chat.recallMessage(edge);
        chat.recallMessageWithId(QStringLiteral("future"));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("b_me"))), QStringList{QStringLiteral("old")});
        // The peer comes from the open room, although the message carries no "to".
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("recall")}, {QStringLiteral("room"), QStringLiteral("dm")},
                                           {QStringLiteral("id"), QStringLiteral("edge")}, {QStringLiteral("to"), QStringLiteral("b")}}));
        QCOMPARE(nextFrame().value(QStringLiteral("id")).toString(), future.id);

        chat.setCurrentRoom(RoomType::group(QStringLiteral("g"), QString()));
        chat.recallMessage(future);
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("recall")}, {QStringLiteral("room"), QStringLiteral("group")},
                                           {QStringLiteral("id"), QStringLiteral("future")}, {QStringLiteral("gid"), QStringLiteral("g")}}));
        chat.setCurrentRoom(RoomType::global());
        chat.recallMessage(future);
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("recall")}, {QStringLiteral("room"), QStringLiteral("global")},
                                           {QStringLiteral("id"), QStringLiteral("future")}}));
    }

    void localRemovalReachesEveryRoom()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("a"));
        ChatViewModel &chat = f.make();
        const QJsonArray both{ChatFixture::stored(QStringLiteral("x"), QStringLiteral("b")), ChatFixture::stored(QStringLiteral("y"), QStringLiteral("b"))};
        f.deliver(ChatFixture::hello({
            {QStringLiteral("globalMsgs"), both},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("a_b"), QJsonArray{both.at(0)}}}},
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("g"), QJsonArray{both.at(0)}}}},
        }));
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
        const QJsonObject apply{{QStringLiteral("id"), QStringLiteral("ap")}, {QStringLiteral("gid"), QStringLiteral("g")},
                                {QStringLiteral("from"), QStringLiteral("c")}, {QStringLiteral("time"), 1}};
        f.deliver(ChatFixture::hello({{QStringLiteral("groupApplyRequests"), QJsonArray{apply}}}));

        chat.applyToGroup(QStringLiteral("g"));
        QCOMPARE(chat.toast(), QStringLiteral("连接未就绪，请稍后重试"));
        chat.respondToGroupRequest(QStringLiteral("ap"), QStringLiteral("accept"));
        QCOMPARE(chat.toast(), QStringLiteral("网络未连接，操作失败"));
        QCOMPARE(chat.groupRequests().size(), 1);

        connect(f);
        chat.applyToGroup(QStringLiteral("g"));
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("group-apply")}, {QStringLiteral("gid"), QStringLiteral("g")}}));
        chat.respondToGroupRequest(QStringLiteral("ap"), QStringLiteral("deny"));
        QVERIFY(chat.groupRequests().isEmpty());
        QCOMPARE(nextFrame(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("group-apply-respond")}, {QStringLiteral("applyId"), QStringLiteral("ap")},
                                           {QStringLiteral("action"), QStringLiteral("deny")}}));
    }
};

QTEST_GUILESS_MAIN(TestChatActions)
#include "TestChatActions.moc"
