// Several server nodes on one PostgreSQL database: what one node stores, every other node sees.
#include "SeededAccounts.h"
#include "ServerFixture.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "storage/Database.h"
#include "storage/HallSettings.h"

#include <QJsonArray>

#include <QtTest>

namespace {
const QString TinyGif = QStringLiteral("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

// Waits for the presence event that lists exactly these users (earlier ones may still be on the way).
bool seesOnline(WsProbe &probe, const QStringList &expected)
{
    for (QJsonObject presence = probe.waitFor(QStringLiteral("presence"), 8000); !presence.isEmpty();
         presence = probe.waitFor(QStringLiteral("presence"), 8000)) {
        QStringList ids;
        for (const QJsonValue &user : presence.value(QStringLiteral("online")).toArray())
            ids << user.toObject().value(QStringLiteral("id")).toString();
        if (ids == expected)
            return true;
    }
    return false;
}

QJsonObject credentials(const QString &password)
{
    return {{QStringLiteral("username"), QStringLiteral("alice")}, {QStringLiteral("password"), password}};
}
} // namespace

class SharedSiteTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void uploadsAndSignInFailuresAreSharedByEveryNode()
    {
        ServerFixture a;
        ServerFixture b(ServerFixture::testLimits(), a.databaseUrl());
        QVERIFY(a.started() && b.started());
        const auto alice = a.signUp(QStringLiteral("alice"));
        RestProbe throughA(a.baseUrl());
        RestProbe throughB(b.baseUrl());

        const RestReply stored = throughA.post(QStringLiteral("/api/upload-msg-image"),
                                               {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), TinyGif}});
        QCOMPARE(stored.status, 200);
        const RestReply served = throughB.get(stored.json.value(QStringLiteral("url")).toString());
        QCOMPARE(served.status, 200);
        QCOMPARE(served.body, QByteArray::fromBase64(TinyGif.toLatin1()));

        // Guesses through one node count on the other: spreading them over nodes gains nothing.
        const int limit = ServerFixture::testLimits().failedLoginsPerName;
        for (int i = 0; i < limit; ++i)
            QCOMPARE((i % 2 ? throughA : throughB).post(QStringLiteral("/api/login"), credentials(QStringLiteral("guess"))).status, 401);
        QCOMPARE(throughB.post(QStringLiteral("/api/login"), credentials(QStringLiteral("pass1234"))).status, 429);
        QCOMPARE(throughA.post(QStringLiteral("/api/login"), credentials(QStringLiteral("pass1234"))).status, 429);
    }

    void eventsThroughOneNodeReachTheOthersConnectionsOnceInOrder()
    {
        ServerFixture a;
        ServerFixture b(ServerFixture::testLimits(), a.databaseUrl());
        const auto root = a.signUp(QStringLiteral("root"), true);
        const auto alice = a.signUp(QStringLiteral("alice"));
        const auto bob = b.signUp(QStringLiteral("bob"));
        a.befriend(alice, bob);
        auto admin = a.connect(root);
        auto onA = a.connect(alice);
        auto onB = b.connect(bob);

        const QStringList texts = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")};
        for (const QString &text : texts)
            onA->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), text}}));
        onA->send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), bob.id}, {QStringLiteral("content"), QStringLiteral("私聊")}}));
        for (const QString &text : texts)
            QCOMPARE(onB->waitFor(QStringLiteral("global")).value(QStringLiteral("content")).toString(), text);
        QCOMPARE(onB->waitFor(QStringLiteral("dm")).value(QStringLiteral("content")).toString(), QStringLiteral("私聊"));
        onA->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("徒步")},
                                                         {QStringLiteral("members"), QJsonArray{bob.id}}}));
        const QString gid = onA->waitFor(QStringLiteral("group-created")).value(QStringLiteral("group")).toObject()
                                .value(QStringLiteral("id")).toString();
        QVERIFY(!gid.isEmpty());
        onA->send(frame(QStringLiteral("group"), {{QStringLiteral("gid"), gid}, {QStringLiteral("content"), QStringLiteral("群聊")}}));
        QCOMPARE(onB->waitFor(QStringLiteral("group")).value(QStringLiteral("content")).toString(), QStringLiteral("群聊"));
        QVERIFY(onB->quietFor(QStringLiteral("global"), 300)); // each once

        // Every database connection of both nodes drops, as when the database restarts: the nodes
        // reconnect, and what was published meanwhile still arrives.
        QVERIFY(a.core().database().exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                        "WHERE datname = current_database() AND pid <> pg_backend_pid()")));
        onA->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("断线后")}}));
        QCOMPARE(onB->waitFor(QStringLiteral("global")).value(QStringLiteral("content")).toString(), QStringLiteral("断线后"));
        onB->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("回来了")}}));
        for (const QString &text : texts + QStringList{QStringLiteral("断线后"), QStringLiteral("回来了")})
            QCOMPARE(onA->waitFor(QStringLiteral("global"), 10000).value(QStringLiteral("content")).toString(), text);

        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(errorOf(onB->waitFor(QStringLiteral("banned"))), QStringLiteral("账号已被封禁"));
        QVERIFY(onB->waitClosed());
    }

    void presenceAndTheOnlineLimitSpanNodesAndOutliveNoDeadNode()
    {
        // Node A is the real server process, so that it can die without a word.
        ServerProcess a;
        Limits limits = ServerFixture::testLimits();
        limits.nodeTimeoutMs = 1000;
        QVERIFY(a.start({QStringLiteral("--limit"), QStringLiteral("nodeTimeoutMs=%1").arg(limits.nodeTimeoutMs)}));
        SeededAccounts seeded(a.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        const auto bob = seeded.add(QStringLiteral("bob"));
        const auto carol = seeded.add(QStringLiteral("carol"));
        QVERIFY(HallSettings(seeded.database()).setMaxOnline(2));
        ServerFixture b(limits, TestDatabase::urlFor(a.dataPath()));
        WsProbe onA(a.socketURL());
        QVERIFY(onA.open());
        QVERIFY(!onA.signIn(alice.token).isEmpty());
        WsProbe onB(b.wsUrl());
        QVERIFY(onB.open());
        QVERIFY(!onB.signIn(bob.token).isEmpty());
        QVERIFY(seesOnline(onB, {alice.id, bob.id}));
        QVERIFY(seesOnline(onA, {alice.id, bob.id}));

        WsProbe third(b.wsUrl());
        QVERIFY(third.open());
        third.send(frame(QStringLiteral("auth"), {{QStringLiteral("token"), carol.token}}));
        QCOMPARE(errorOf(third.waitFor(QStringLiteral("error"))), QStringLiteral("在线人数已达上限，请稍后再试"));

        // Killed mid-traffic, node A cleans nothing up: once its heartbeat is overdue, B announces its
        // users gone. Alice comes back through B and finds every message A confirmed, each once.
        QStringList confirmed;
        for (int i = 0; i < 20; ++i)
            onA.send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QString::number(i)}}));
        for (QJsonObject echo = onA.waitFor(QStringLiteral("global"), 1000); !echo.isEmpty() && confirmed.size() < 10;
             echo = onA.waitFor(QStringLiteral("global"), 1000))
            confirmed << echo.value(QStringLiteral("id")).toString();
        QCOMPARE(confirmed.size(), 10);
        a.stop();
        QVERIFY(seesOnline(onB, {bob.id}));
        WsProbe later(b.wsUrl());
        QVERIFY(later.open());
        QVERIFY(!later.signIn(carol.token).isEmpty()); // the dead node's users no longer count
        QVERIFY(HallSettings(seeded.database()).setMaxOnline(0));
        WsProbe back(b.wsUrl());
        QVERIFY(back.open());
        QStringList kept;
        for (const QJsonValue &message : back.signIn(alice.token).value(QStringLiteral("globalMsgs")).toArray())
            kept << message.toObject().value(QStringLiteral("id")).toString();
        for (const QString &id : std::as_const(confirmed))
            QCOMPARE(kept.count(id), 1);
        QCOMPARE(QSet<QString>(kept.begin(), kept.end()).size(), kept.size());
    }
};

QTEST_GUILESS_MAIN(SharedSiteTest)
#include "SharedSiteTest.moc"
