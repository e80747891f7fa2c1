// The WebSocket side: sign-in rules, who hears which message and what the hello snapshot then holds,
// repeated client ids, recalls and their window, limits, presence and the online limit.
#include "ServerFixture.h"

#include "live/ChatHub.h"
#include "storage/Database.h"
#include "storage/HallSettings.h"
#include "HelloMessage.h"
#include "storage/MessageStore.h"

#include <QJsonArray>
#include <QSslSocket>
#include <QtTest>

using namespace Qt::StringLiterals;

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
        const auto alice = server.signUp(u"alice"_s);
        // Silent, a command first, a forged token: each told why, then closed.
        using Refusal = std::tuple<QJsonObject, QString, QString>;
        const Refusal refusals[] = {{{}, u"error"_s, u"认证超时，请重新连接"_s},
                                    {frame(u"global"_s, {{u"content"_s, u"hi"_s}}), u"error"_s, u"请先登录"_s},
                                    {frame(u"auth"_s, {{u"token"_s, u"not-a-token"_s}}), u"kicked"_s, u"登录已失效，请重新登录"_s}};
        for (const auto &[command, reply, text] : refusals) {
            WsProbe probe(server.wsUrl());
            QVERIFY(probe.open());
            if (!command.isEmpty())
                probe.send(command);
            QCOMPARE(errorOf(probe.waitFor(reply)), text);
            QVERIFY(probe.waitClosed());
        }
        const auto good = server.connect(alice);
        QTest::qWait(1200); // past the sign-in deadline: a signed-in socket stays open
        QVERIFY(good->isOpen());
    }

    // Hall messages reach everyone, direct ones the pair of friends, group ones the members; what
    // is refused reaches nobody, and a later hello holds exactly what was said.
    void messagesReachTheirAudienceAndTheNextHello()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        const auto carol = server.signUp(u"carol"_s);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        auto c = server.connect(carol);

        // The others' copies of each kind of message are the end-to-end tests' (delivery: hall and
        // direct; contacts: group, and in its chat screen case the echo's members).
        const QJsonObject echo = a->ask(frame(u"global"_s, {{u"content"_s, u"大家好"_s}}), u"global"_s);
        QVERIFY(!echo.contains(u"images"_s));
        QCOMPARE(c->waitFor(u"global"_s).value(u"id"_s), echo.value(u"id"_s));
        // Committed before anyone was told.
        QCOMPARE(MessageStore(server.core().database()).count(MessageStore::hallRoom()), 1);
        QCOMPARE(a->refused(frame(u"global"_s, {{u"content"_s, u"   "_s}})), u"消息内容不能为空"_s);
        QCOMPARE(a->refused(frame(u"global"_s, {{u"content"_s, QString()}, {u"images"_s, QJsonArray{u"https://evil.example/x.png"_s}}})),
                 u"图片无效，请重新上传"_s);
        QCOMPARE(a->refused(frame(u"global"_s, {{u"content"_s, QString(5000, u'x')}})), u"消息太长了"_s);

        const QJsonObject direct = frame(u"dm"_s, {{u"to"_s, bob.id}, {u"content"_s, u"psst"_s}});
        QCOMPARE(a->refused(direct), u"对方不是你的好友，无法发送消息"_s);
        server.befriend(alice, bob);
        QCOMPARE(a->ask(direct, u"dm"_s).value(u"to"_s).toString(), bob.id);

        const QString gid = ServerFixture::createGroup(*a, u"徒步"_s, {bob.id});
        QCOMPARE(c->refused(frame(u"group"_s, {{u"gid"_s, gid}, {u"content"_s, u"let me in"_s}})), u"你不是该群成员，无法发送消息"_s);
        b->ask(frame(u"group"_s, {{u"gid"_s, gid}, {u"content"_s, u"hey"_s}}), u"group"_s);
        QVERIFY(c->quietFor(u"dm"_s) && c->quietFor(u"group"_s) && c->quietFor(u"global"_s, 0));

        WsProbe again(server.wsUrl());
        QVERIFY(again.open());
        const Result<HelloMessage> hello = fromJson<HelloMessage>(again.signIn(bob.token));
        QVERIFY2(hello.ok(), qPrintable(hello.error()));
        QCOMPARE(hello->selfUser->id, bob.id);
        QCOMPARE(hello->isAdmin, std::optional<bool>(false)); // the hall's settings are the social commands test's
        QCOMPARE(hello->globalMsgs->size(), 1);
        QCOMPARE(hello->globalMsgs->first().fromName, std::optional<QString>(u"alice"_s));
        QCOMPARE(hello->friends->size(), 1);
        QCOMPARE(hello->friends->first().id, alice.id);
        const QString roomKey = alice.id < bob.id ? alice.id + u'_' + bob.id : bob.id + u'_' + alice.id;
        QCOMPARE(hello->dmRooms->value(roomKey).size(), 1);
        QCOMPARE(hello->dmRooms->value(roomKey).first().content, u"psst"_s);
        QCOMPARE(hello->groups->size(), 1);
        QCOMPARE(hello->groups->first().memberNames, std::optional<QStringList>({u"alice"_s, u"bob"_s}));
        QCOMPARE(hello->groupMsgs->value(gid).size(), 1);
        QVERIFY(hello->pendingRequests->isEmpty() && hello->moments->isEmpty());
    }

    // Recalls are the sender's, within two minutes; a repeated client id answers only the sender (in the
    // hall, a resend after a lost echo is the delivery end-to-end test's).
    void recallsAndRepeatedClientIds()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        const auto send = [&](const QJsonObject &command) {
            const QString type = command.value(u"type"_s).toString();
            const QString id = a->ask(command, type).value(u"id"_s).toString();
            b->waitFor(type);
            return id;
        };
        const auto recall = [](const QString &id) { return frame(u"recall"_s, {{u"room"_s, u"global"_s}, {u"id"_s, id}}); };
        const QString first = send(frame(u"global"_s, {{u"content"_s, u"1"_s}}));
        const QString second = send(frame(u"global"_s, {{u"content"_s, u"2"_s}}));
        QCOMPARE(b->refused(recall(first)), u"只能撤回自己的消息"_s);

        // Exactly two minutes old: still allowed (what the others are told is the contacts end-to-end test's).
        server.clock().advance(120'000);
        QCOMPARE(a->ask(recall(first), u"recalled"_s).value(u"id"_s).toString(), first);
        QVERIFY(!b->waitFor(u"recalled"_s).isEmpty());

        server.clock().advance(1);
        QCOMPARE(a->refused(recall(second)), u"超过2分钟的消息无法撤回"_s);
        QCOMPARE(a->refused(recall(first)), u"消息不存在或已撤回"_s);
        QCOMPARE(MessageStore(server.core().database()).count(MessageStore::hallRoom()), 1);

        // In a direct room each side is told the other party under "to".
        const QString direct = send(frame(u"dm"_s, {{u"to"_s, bob.id}, {u"content"_s, u"oops"_s}}));
        a->send(frame(u"recall"_s, {{u"room"_s, u"dm"_s}, {u"id"_s, direct}, {u"to"_s, bob.id}}));
        QCOMPARE(a->waitFor(u"recalled"_s).value(u"to"_s).toString(), bob.id);
        QCOMPARE(b->waitFor(u"recalled"_s).value(u"to"_s).toString(), alice.id);

        const QString type = u"dm"_s;
        QJsonObject repeated = frame(type, {{u"content"_s, u"once"_s}, {u"clientId"_s, u"C-1"_s}, {u"to"_s, bob.id}});
        const QJsonObject echo = a->ask(repeated, type);
        QCOMPARE(echo.value(u"clientId"_s).toString(), u"C-1"_s);
        QCOMPARE(b->waitFor(type).value(u"clientId"_s), echo.value(u"clientId"_s));

        // Sent again (the echo was lost): alice gets the stored message back, bob hears nothing.
        auto again = server.connect(alice);
        QCOMPARE(again->ask(repeated, type), echo);
        QVERIFY(b->quietFor(type));
        // Another sender's same id makes a message of its own.
        repeated.insert(u"to"_s, alice.id);
        QVERIFY(b->ask(repeated, type).value(u"id"_s) != echo.value(u"id"_s));
        const QString room = MessageStore::directRoom(alice.id, bob.id);
        QCOMPARE(MessageStore(server.core().database()).count(room), 2);

        // Recalled since, a stale copy sent again stays gone: only the sender hears of the recall.
        a->send(frame(u"recall"_s, {{u"room"_s, type}, {u"id"_s, echo.value(u"id"_s)}, {u"to"_s, bob.id}}));
        QCOMPARE(b->waitFor(u"recalled"_s).value(u"id"_s), echo.value(u"id"_s));
        repeated.insert(u"to"_s, bob.id);
        again->send(repeated);
        QVERIFY(!again->waitFor(u"recalled"_s).isEmpty()); // the recall itself
        const QJsonObject answer = again->waitFor(u"recalled"_s);
        QCOMPARE(answer.value(u"id"_s), echo.value(u"id"_s));
        QCOMPARE(answer.value(u"clientId"_s).toString(), u"C-1"_s);
        QVERIFY(b->quietFor(type) && b->quietFor(u"recalled"_s));
        QCOMPARE(MessageStore(server.core().database()).count(room), 1);
    }

    void malformedUnknownTooFrequentAndOversizedCommandsAreRefused()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        auto a = server.connect(alice);
        QCOMPARE(a->refused(QJsonObject{{u"content"_s, u"no type"_s}}), u"消息格式错误"_s);
        QCOMPARE(a->refused(frame(u"teleport"_s)), u"不支持的操作"_s);

        // The clock stands still, so the allowance of 20 is not refilled: the malformed frame and
        // "teleport" used two, 18 messages pass and 7 are refused.
        a->waitFor(u"presence"_s); // the list at sign-in
        a->waitFor(u"presence"_s); // the broadcast of her arrival
        a->frames().clear();
        for (int i = 0; i < 25; ++i)
            a->send(frame(u"global"_s, {{u"content"_s, QString::number(i)}}));
        QTRY_COMPARE_WITH_TIMEOUT(a->frames().size(), 25, 5000);
        int refused = 0;
        for (const QJsonObject &event : a->frames())
            refused += errorOf(event) == u"操作太频繁，请稍后再试"_s;
        QCOMPARE(refused, 7);
        a->frames().clear();
        server.clock().advance(1000);
        QCOMPARE(a->ask(frame(u"global"_s, {{u"content"_s, u"later"_s}}), u"global"_s).value(u"content"_s).toString(), u"later"_s);

        // A frame past the size limit closes that connection only.
        a->send(frame(u"global"_s, {{u"content"_s, QString(70 * 1024, u'x')}}));
        QVERIFY(a->waitClosed());
        QVERIFY(server.connect(alice)->isOpen());
    }

    void readersThatStopReadingAreDropped()
    {
        Limits limits = ServerFixture::testLimits();
        limits.maxQueuedBytesPerSocket = 256 * 1024;
        ServerFixture server(limits);
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        auto a = server.connect(alice);

        // Bob's socket signs in by hand and then reads no more than 4 KiB.
        QSslSocket slow;
        QSignalSpy encrypted(&slow, &QSslSocket::encrypted);
        slow.connectToHostEncrypted(u"127.0.0.1"_s, quint16(server.baseUrl().port()));
        QVERIFY(encrypted.wait(10000));
        slow.write(QStringLiteral("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:%1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
                       .arg(server.baseUrl().port()).toLatin1());
        QSignalSpy upgraded(&slow, &QSslSocket::readyRead);
        QVERIFY(upgraded.wait(10000));
        QVERIFY(slow.readAll().startsWith("HTTP/1.1 101"));
        slow.write(clientFrame(u"{\"type\":\"auth\",\"token\":\"%1\"}"_s.arg(bob.token).toLatin1()));
        QTRY_VERIFY_WITH_TIMEOUT(server.core().hub().isOnline(bob.id), 10000);
        slow.setReadBufferSize(4096); // set once connected, so that it reaches the socket under TLS too

        const QString longText(4000, QChar(0x4e2d)); // 12 KB of UTF-8
        for (int round = 0; round < 200 && server.core().hub().isOnline(bob.id); ++round) {
            for (int i = 0; i < 20; ++i)
                a->send(frame(u"global"_s, {{u"content"_s, longText}}));
            for (int i = 0; i < 20; ++i)
                QVERIFY(!a->waitFor(u"global"_s).isEmpty());
            server.clock().advance(5000); // refills the command allowance
        }
        QVERIFY(!server.core().hub().isOnline(bob.id));
        QVERIFY(a->isOpen());
    }

    void presenceAndTheOnlineLimit()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        const auto root = server.signUp(u"root"_s, true);
        auto a = server.connect(alice);
        // Joins and leaves close together share one broadcast, so wait for the list to settle.
        const auto onlineSize = [&a](int expected) {
            for (int i = 0; i < 100; ++i) {
                const QJsonArray online = a->waitFor(u"presence"_s, 50).value(u"online"_s).toArray();
                if (online.size() == expected)
                    return online;
            }
            return QJsonArray();
        };
        QCOMPARE(onlineSize(1), (QJsonArray{QJsonObject{{u"id"_s, alice.id}}}));
        {
            auto b = server.connect(bob);
            QCOMPARE(onlineSize(2).size(), 2);
        }
        QCOMPARE(onlineSize(1), (QJsonArray{QJsonObject{{u"id"_s, alice.id}}}));

        // A full hall turns new users away, but not a second device of one inside, nor an administrator.
        HallSettings(server.core().database()).setMaxOnline(1);
        auto second = server.connect(alice);
        QVERIFY(second->isOpen());
        WsProbe b(server.wsUrl());
        QVERIFY(b.open());
        QCOMPARE(b.refused(frame(u"auth"_s, {{u"token"_s, bob.token}})), u"在线人数已达上限，请稍后再试"_s);
        QVERIFY(b.waitClosed());
        auto admin = server.connect(root);
        QVERIFY(admin->isOpen());
        QCOMPARE(server.core().hub().onlineUsers().size(), 2);
    }

    // Every broadcast of who is online goes to everyone, a cost that grows with the square of the users.
    void presenceBroadcastsKeepToTheByteBudgetButANewConnectionHearsAtOnce()
    {
        Limits limits = ServerFixture::testLimits();
        limits.presenceBytesPerSecond = 20; // one short list to one connection: the next broadcast ~4 s later
        ServerFixture server(limits);
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        const auto listed = [](WsProbe &probe, int timeoutMs) {
            return probe.waitFor(u"presence"_s, timeoutMs).value(u"online"_s).toArray().size();
        };
        auto a = server.connect(alice);
        QCOMPARE(listed(*a, 1000), 1); // at sign-in
        QCOMPARE(listed(*a, 1000), 1); // the broadcast of her arrival: nothing before it to space it from
        auto b = server.connect(bob);
        QCOMPARE(listed(*b, 1000), 2);
        QVERIFY(a->quietFor(u"presence"_s, 2000));
        QCOMPARE(listed(*a, 8000), 2);
    }
};

QTEST_GUILESS_MAIN(ChatCommandsTest)
#include "ChatCommandsTest.moc"
