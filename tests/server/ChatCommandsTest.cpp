// The WebSocket side: sign-in rules, the hello snapshot, messages in the hall, direct rooms and groups,
// recalls and their window, limits, presence and the online limit.
#include "ServerFixture.h"

#include "live/ChatHub.h"
#include "storage/Database.h"
#include "storage/GroupStore.h"
#include "storage/HallSettings.h"
#include "HelloMessage.h"
#include "storage/MessageStore.h"

#include <QJsonArray>
#include <QSslSocket>
#include <QtTest>


namespace {
// A masked client text frame (payloads under 126 bytes), for a socket that speaks WebSocket by hand.
QByteArray clientFrame(const QByteArray &payload)
{
    const QByteArray mask = QByteArrayLiteral("\x12\x34\x56\x78");
    QByteArray frame;
    frame.append(char(0x81)).append(char(0x80 | payload.size())).append(mask);
    for (qsizetype i = 0; i < payload.size(); ++i)
        frame.append(char(payload.at(i) ^ mask.at(i % 4)));
    return frame;
}
} // namespace

class ChatCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void authenticationMustComeFirstAndInTime()
    {
        ServerFixture server;
        QVERIFY(server.started());
        const auto alice = server.signUp(QStringLiteral("alice"));

        WsProbe silent(server.wsUrl());
        QVERIFY(silent.open());
        QCOMPARE(errorOf(silent.waitFor(QStringLiteral("error"))), QStringLiteral("认证超时，请重新连接"));
        QVERIFY(silent.waitClosed());

        WsProbe impatient(server.wsUrl());
        QVERIFY(impatient.open());
        impatient.send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("hi")}}));
        QCOMPARE(errorOf(impatient.waitFor(QStringLiteral("error"))), QStringLiteral("请先登录"));
        QVERIFY(impatient.waitClosed());

        WsProbe forged(server.wsUrl());
        QVERIFY(forged.open());
        forged.send(frame(QStringLiteral("auth"), {{QStringLiteral("token"), QStringLiteral("not-a-token")}}));
        QCOMPARE(errorOf(forged.waitFor(QStringLiteral("kicked"))), QStringLiteral("登录已失效，请重新登录"));
        QVERIFY(forged.waitClosed());

        WsProbe good(server.wsUrl());
        QVERIFY(good.open());
        QVERIFY(!good.signIn(alice.token).isEmpty());
        QTest::qWait(1200); // past the sign-in deadline: a signed-in socket stays open
        QVERIFY(good.isOpen());
    }

    void helloCarriesTheWholeSnapshot()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("hall hi")}}));
        a->send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), bob.id}, {QStringLiteral("content"), QStringLiteral("psst")}}));
        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("徒步")},
                                                       {QStringLiteral("members"), QJsonArray{bob.id}}}));
        const QString gid = a->waitFor(QStringLiteral("group-created")).value(QStringLiteral("group")).toObject()
                                .value(QStringLiteral("id")).toString();
        QVERIFY(!gid.isEmpty());
        a->send(frame(QStringLiteral("group"), {{QStringLiteral("gid"), gid}, {QStringLiteral("content"), QStringLiteral("g hi")}}));
        QVERIFY(!b->waitFor(QStringLiteral("group")).isEmpty());

        WsProbe again(server.wsUrl());
        QVERIFY(again.open());
        const QJsonObject helloFrame = again.signIn(bob.token);
        const Result<HelloMessage> hello = fromJson<HelloMessage>(helloFrame);
        QVERIFY2(hello.ok(), qPrintable(hello.error()));
        QCOMPARE(hello->selfUser->id, bob.id);
        QCOMPARE(hello->isAdmin, std::optional<bool>(false));
        QCOMPARE(hello->hallName, std::optional<QString>(QStringLiteral("公共大厅")));
        QVERIFY(hello->maxOnline.value_or(0) > 0);
        QCOMPARE(hello->globalMsgs->size(), 1);
        QCOMPARE(hello->globalMsgs->first().fromName, std::optional<QString>(QStringLiteral("alice")));
        QCOMPARE(hello->friends->size(), 1);
        QCOMPARE(hello->friends->first().id, alice.id);
        const QString roomKey = alice.id < bob.id ? alice.id + u'_' + bob.id : bob.id + u'_' + alice.id;
        QCOMPARE(hello->dmRooms->value(roomKey).size(), 1);
        QCOMPARE(hello->dmRooms->value(roomKey).first().content, QStringLiteral("psst"));
        QCOMPARE(hello->groups->size(), 1);
        QCOMPARE(hello->groups->first().memberNames, std::optional<QStringList>({QStringLiteral("alice"), QStringLiteral("bob")}));
        QCOMPARE(hello->groupMsgs->value(gid).size(), 1);
        QVERIFY(hello->pendingRequests->isEmpty());
        QVERIFY(hello->moments->isEmpty());
    }

    void hallMessagesEchoToTheSenderAndReachEveryone()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("大家好")}}));
        const QJsonObject echo = a->waitFor(QStringLiteral("global"));
        const QJsonObject seen = b->waitFor(QStringLiteral("global"));
        const Result<ChatMessage> message = fromJson<ChatMessage>(echo);
        QVERIFY(message.ok());
        QVERIFY(message->id.startsWith(u'm'));
        QCOMPARE(message->from, alice.id);
        QCOMPARE(message->fromName, std::optional<QString>(QStringLiteral("alice")));
        QCOMPARE(message->content, QStringLiteral("大家好"));
        QVERIFY(!echo.contains(QStringLiteral("images")));
        QCOMPARE(seen.value(QStringLiteral("id")), echo.value(QStringLiteral("id")));
        // Committed before anyone was told.
        MessageStore store(server.core().database());
        QCOMPARE(store.count(MessageStore::hallRoom()), 1);

        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("   ")}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("消息内容不能为空"));
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QString()},
                                                 {QStringLiteral("images"), QJsonArray{QStringLiteral("https://evil.example/x.png")}}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("图片无效，请重新上传"));
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QString(5000, u'x')}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("消息太长了"));
        QVERIFY(b->quietFor(QStringLiteral("global")));
    }

    void directMessagesNeedFriendshipAndReachOnlyThePair()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        const auto carol = server.signUp(QStringLiteral("carol"));
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        auto c = server.connect(carol);
        a->send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), bob.id}, {QStringLiteral("content"), QStringLiteral("hi")}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("对方不是你的好友，无法发送消息"));

        server.befriend(alice, bob);
        a->send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), bob.id}, {QStringLiteral("content"), QStringLiteral("hi")}}));
        const QJsonObject echo = a->waitFor(QStringLiteral("dm"));
        const QJsonObject received = b->waitFor(QStringLiteral("dm"));
        QCOMPARE(echo.value(QStringLiteral("to")).toString(), bob.id);
        QCOMPARE(received.value(QStringLiteral("from")).toString(), alice.id);
        QCOMPARE(received.value(QStringLiteral("id")), echo.value(QStringLiteral("id")));
        QVERIFY(c->quietFor(QStringLiteral("dm")));
    }

    void groupMessagesAreForMembersOnly()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        const auto carol = server.signUp(QStringLiteral("carol"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        auto c = server.connect(carol);
        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("g")},
                                                       {QStringLiteral("members"), QJsonArray{bob.id}}}));
        const QString gid = a->waitFor(QStringLiteral("group-created")).value(QStringLiteral("group")).toObject()
                                .value(QStringLiteral("id")).toString();
        c->send(frame(QStringLiteral("group"), {{QStringLiteral("gid"), gid}, {QStringLiteral("content"), QStringLiteral("let me in")}}));
        QCOMPARE(errorOf(c->waitFor(QStringLiteral("error"))), QStringLiteral("你不是该群成员，无法发送消息"));
        b->send(frame(QStringLiteral("group"), {{QStringLiteral("gid"), gid}, {QStringLiteral("content"), QStringLiteral("hey")}}));
        QCOMPARE(a->waitFor(QStringLiteral("group")).value(QStringLiteral("gid")).toString(), gid);
        QCOMPARE(b->waitFor(QStringLiteral("group")).value(QStringLiteral("content")).toString(), QStringLiteral("hey"));
        QVERIFY(c->quietFor(QStringLiteral("group")));
    }

    void aRepeatedClientIdAnswersOnlyTheSender_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("hall") << QStringLiteral("global");
        QTest::newRow("direct") << QStringLiteral("dm");
    }

    void aRepeatedClientIdAnswersOnlyTheSender()
    {
        QFETCH(QString, type);
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        QJsonObject send = frame(type, {{QStringLiteral("content"), QStringLiteral("once")},
                                        {QStringLiteral("clientId"), QStringLiteral("C-1")}});
        if (type == QLatin1String("dm"))
            send.insert(QStringLiteral("to"), bob.id);
        a->send(send);
        const QJsonObject echo = a->waitFor(type);
        QCOMPARE(echo.value(QStringLiteral("clientId")).toString(), QStringLiteral("C-1"));
        QCOMPARE(b->waitFor(type).value(QStringLiteral("clientId")), echo.value(QStringLiteral("clientId")));

        // Sent again (the echo was lost): alice gets the stored message back, bob hears nothing.
        auto again = server.connect(alice);
        again->send(send);
        QCOMPARE(again->waitFor(type), echo);
        QVERIFY(b->quietFor(type));
        // Another sender's same id makes a message of its own.
        send.insert(QStringLiteral("to"), alice.id);
        b->send(send);
        QVERIFY(b->waitFor(type).value(QStringLiteral("id")) != echo.value(QStringLiteral("id")));
        const QString room = type == QLatin1String("dm") ? MessageStore::directRoom(alice.id, bob.id) : MessageStore::hallRoom();
        QCOMPARE(MessageStore(server.core().database()).count(room), 2);

        // Recalled since, a stale copy sent again stays gone: only the sender hears of the recall.
        a->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), type}, {QStringLiteral("id"), echo.value(QStringLiteral("id"))},
                                                 {QStringLiteral("to"), bob.id}}));
        QCOMPARE(b->waitFor(QStringLiteral("recalled")).value(QStringLiteral("id")), echo.value(QStringLiteral("id")));
        send.insert(QStringLiteral("to"), bob.id);
        again->send(send);
        QVERIFY(!again->waitFor(QStringLiteral("recalled")).isEmpty()); // the recall itself
        const QJsonObject answer = again->waitFor(QStringLiteral("recalled"));
        QCOMPARE(answer.value(QStringLiteral("id")), echo.value(QStringLiteral("id")));
        QCOMPARE(answer.value(QStringLiteral("clientId")).toString(), QStringLiteral("C-1"));
        QVERIFY(b->quietFor(type) && b->quietFor(QStringLiteral("recalled")));
        QCOMPARE(MessageStore(server.core().database()).count(room), 1);
    }

    void recallIsTheSendersWithinTwoMinutes()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        const auto send = [&](const QJsonObject &command, const QString &type) {
            a->send(command);
            b->waitFor(type);
            return a->waitFor(type).value(QStringLiteral("id")).toString();
        };
        const QString first = send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("1")}}), QStringLiteral("global"));
        const QString second = send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("2")}}), QStringLiteral("global"));

        b->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), QStringLiteral("global")}, {QStringLiteral("id"), first}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("只能撤回自己的消息"));

        server.clock().advance(120'000); // exactly two minutes old: still allowed
        a->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), QStringLiteral("global")}, {QStringLiteral("id"), first}}));
        const QJsonObject recalled = b->waitFor(QStringLiteral("recalled"));
        QCOMPARE(recalled.value(QStringLiteral("room")).toString(), QStringLiteral("global"));
        QCOMPARE(recalled.value(QStringLiteral("id")).toString(), first);
        QVERIFY(!a->waitFor(QStringLiteral("recalled")).isEmpty());

        server.clock().advance(1);
        a->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), QStringLiteral("global")}, {QStringLiteral("id"), second}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("超过2分钟的消息无法撤回"));
        a->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), QStringLiteral("global")}, {QStringLiteral("id"), first}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("消息不存在或已撤回"));
        MessageStore store(server.core().database());
        QCOMPARE(store.count(MessageStore::hallRoom()), 1);

        // In a direct room each side is told the other party under "to".
        const QString direct = send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), bob.id}, {QStringLiteral("content"), QStringLiteral("oops")}}),
                                    QStringLiteral("dm"));
        a->send(frame(QStringLiteral("recall"), {{QStringLiteral("room"), QStringLiteral("dm")}, {QStringLiteral("id"), direct},
                                                 {QStringLiteral("to"), bob.id}}));
        QCOMPARE(a->waitFor(QStringLiteral("recalled")).value(QStringLiteral("to")).toString(), bob.id);
        QCOMPARE(b->waitFor(QStringLiteral("recalled")).value(QStringLiteral("to")).toString(), alice.id);
    }

    void malformedUnknownAndTooFrequentCommandsAreRefused()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        auto a = server.connect(alice);
        a->send(QJsonObject{{QStringLiteral("content"), QStringLiteral("no type")}});
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("消息格式错误"));
        a->send(frame(QStringLiteral("teleport")));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("不支持的操作"));

        // The clock stands still, so the allowance of 20 is not refilled: the malformed frame and
        // "teleport" used two, 18 messages pass and 7 are refused.
        a->waitFor(QStringLiteral("presence"));
        a->frames().clear();
        for (int i = 0; i < 25; ++i)
            a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QString::number(i)}}));
        QTRY_COMPARE_WITH_TIMEOUT(a->frames().size(), 25, 5000);
        int refused = 0;
        for (const QJsonObject &event : a->frames())
            refused += errorOf(event) == QStringLiteral("操作太频繁，请稍后再试");
        QCOMPARE(refused, 7);
        a->frames().clear();
        server.clock().advance(1000);
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("later")}}));
        QCOMPARE(a->waitFor(QStringLiteral("global")).value(QStringLiteral("content")).toString(), QStringLiteral("later"));
    }

    void oversizedFramesCloseTheConnection()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        auto a = server.connect(alice);
        a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QString(70 * 1024, u'x')}}));
        QVERIFY(a->waitClosed());
        auto b = server.connect(alice);
        QVERIFY(b->isOpen());
    }

    void readersThatStopReadingAreDropped()
    {
        Limits limits = ServerFixture::testLimits();
        limits.maxQueuedBytesPerSocket = 256 * 1024;
        ServerFixture server(limits);
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        auto a = server.connect(alice);

        // Bob's socket signs in by hand and then reads no more than 4 KiB.
        QSslSocket slow;
        QSignalSpy encrypted(&slow, &QSslSocket::encrypted);
        slow.connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(server.baseUrl().port()));
        QVERIFY(encrypted.wait(10000));
        slow.write(QStringLiteral("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                       .arg(server.baseUrl().port()).toLatin1());
        QSignalSpy upgraded(&slow, &QSslSocket::readyRead);
        QVERIFY(upgraded.wait(10000));
        QVERIFY(slow.readAll().startsWith("HTTP/1.1 101"));
        slow.write(clientFrame(QStringLiteral("{\"type\":\"auth\",\"token\":\"%1\"}").arg(bob.token).toLatin1()));
        QTRY_VERIFY_WITH_TIMEOUT(server.core().hub().isOnline(bob.id), 10000);
        slow.setReadBufferSize(4096); // set once connected, so that it reaches the socket under TLS too

        const QString longText(4000, QChar(0x4e2d)); // 12 KB of UTF-8
        for (int round = 0; round < 200 && server.core().hub().isOnline(bob.id); ++round) {
            for (int i = 0; i < 20; ++i)
                a->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), longText}}));
            for (int i = 0; i < 20; ++i)
                QVERIFY(!a->waitFor(QStringLiteral("global")).isEmpty());
            server.clock().advance(5000); // refills the command allowance
        }
        QVERIFY(!server.core().hub().isOnline(bob.id));
        QVERIFY(a->isOpen());
    }

    void presenceFollowsJoinsAndLeaves()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        auto a = server.connect(alice);
        // Joins and leaves close together share one broadcast, so wait for the list to settle.
        const auto onlineSize = [&a](int expected) {
            for (int i = 0; i < 100; ++i) {
                const QJsonObject presence = a->waitFor(QStringLiteral("presence"), 50);
                if (presence.value(QStringLiteral("online")).toArray().size() == expected)
                    return presence.value(QStringLiteral("online")).toArray();
            }
            return QJsonArray();
        };
        QCOMPARE(onlineSize(1), (QJsonArray{QJsonObject{{QStringLiteral("id"), alice.id}}}));
        {
            auto b = server.connect(bob);
            QCOMPARE(onlineSize(2).size(), 2);
        }
        const QJsonArray online = onlineSize(1);
        QCOMPARE(online.size(), 1);
        QCOMPARE(online.first().toObject().value(QStringLiteral("id")).toString(), alice.id);
    }

    void onlineLimitTurnsAwayNewUsersButNotAdministrators()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        const auto root = server.signUp(QStringLiteral("root"), true);
        HallSettings(server.core().database()).setMaxOnline(1);
        auto a = server.connect(alice);
        auto second = server.connect(alice); // the same user on a second device counts once
        QVERIFY(second->isOpen());
        WsProbe b(server.wsUrl());
        QVERIFY(b.open());
        b.send(frame(QStringLiteral("auth"), {{QStringLiteral("token"), bob.token}}));
        QCOMPARE(errorOf(b.waitFor(QStringLiteral("error"))), QStringLiteral("在线人数已达上限，请稍后再试"));
        QVERIFY(b.waitClosed());
        auto admin = server.connect(root);
        QVERIFY(admin->isOpen());
        QCOMPARE(server.core().hub().onlineUsers().size(), 2);
    }
};

QTEST_GUILESS_MAIN(ChatCommandsTest)
#include "ChatCommandsTest.moc"
