// Two zephlin-server processes on one PostgreSQL database: what one node stores, every other node sees,
// and what happens through one reaches the connections of the other once, in order.
#include "RestProbe.h"
#include "SeededAccounts.h"
#include "ServerFixture.h"
#include "ServerProcess.h"
#include "WsProbe.h"
#include "core/Limits.h"
#include "storage/HallSettings.h"

#include <QJsonArray>

#include <QtTest>

namespace {
const QString TinyGif = QStringLiteral("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

// A dead node is noticed within a second; commands are not rate-limited, so that traffic can be dense.
const QStringList NodeArguments = {QStringLiteral("--limit"), QStringLiteral("nodeTimeoutMs=1000"),
                                   QStringLiteral("--limit"), QStringLiteral("commandBurst=1000"),
                                   QStringLiteral("--limit"), QStringLiteral("commandsPerSecond=1000")};

// Waits for the presence event whose list of user ids passes the check (earlier ones may still be on the way).
bool hearsPresence(WsProbe &probe, const std::function<bool(const QStringList &)> &check)
{
    for (QJsonObject presence = probe.waitFor(QStringLiteral("presence"), 8000); !presence.isEmpty();
         presence = probe.waitFor(QStringLiteral("presence"), 8000)) {
        QStringList ids;
        for (const QJsonValue &user : presence.value(QStringLiteral("online")).toArray())
            ids << user.toObject().value(QStringLiteral("id")).toString();
        if (check(ids))
            return true;
    }
    return false;
}

bool seesOnline(WsProbe &probe, const QStringList &expected)
{
    return hearsPresence(probe, [&](const QStringList &ids) { return ids == expected; });
}

QString idOf(const QJsonObject &object)
{
    return object.value(QStringLiteral("id")).toString();
}

QJsonObject hallMessage(const QString &text)
{
    return frame(QStringLiteral("global"), {{QStringLiteral("content"), text}});
}
} // namespace

class SharedSiteTest : public QObject
{
    Q_OBJECT

    // The site every case shares: node A, node B on A's database, and a connection of our own to it.
    ServerProcess m_a;
    std::unique_ptr<ServerProcess> m_b;
    std::unique_ptr<SeededAccounts> m_site;

    // An open socket to the node, signed in as the account.
    static std::unique_ptr<WsProbe> signedIn(const ServerProcess &node, const SeededAccounts::Account &account)
    {
        auto probe = std::make_unique<WsProbe>(node.socketURL());
        if (!probe->open() || probe->signIn(account.token).isEmpty())
            qFatal("%s could not sign in", qPrintable(account.name));
        return probe;
    }

    // Two friends, one signed in on each node, and an administrator on node A.
    struct Friends
    {
        SeededAccounts::Account first;
        SeededAccounts::Account second;
        std::unique_ptr<WsProbe> admin;
        std::unique_ptr<WsProbe> onA;
        std::unique_ptr<WsProbe> onB;
    };
    Friends friends(const QString &first, const QString &second)
    {
        Friends made{m_site->add(first), m_site->add(second), {}, {}, {}};
        m_site->befriend(made.first, made.second);
        made.admin = signedIn(m_a, m_site->add(QStringLiteral("root") + first, true));
        made.onA = signedIn(m_a, made.first);
        made.onB = signedIn(*m_b, made.second);
        return made;
    }

    // The event table takes no more rows (as when a node fails between writing a change and its
    // event), or takes them again.
    bool blockEvents(bool blocked)
    {
        return m_site->database().exec(blocked ? QStringLiteral("SELECT setval(pg_get_serial_sequence('events', 'seq'), 9223372036854775807)")
                                               : QStringLiteral("SELECT setval(pg_get_serial_sequence('events', 'seq'), "
                                                                "(SELECT COALESCE(MAX(seq), 0) + 1 FROM events), false)"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_a.start(NodeArguments));
        m_b = std::make_unique<ServerProcess>(m_a.databaseUrl());
        QVERIFY(m_b->start(NodeArguments));
        m_site = std::make_unique<SeededAccounts>(m_a.dataPath());
    }

    void uploadsAndSignInFailuresAreSharedByEveryNode()
    {
        const auto alice = m_site->add(QStringLiteral("alice"));
        RestProbe throughA(QUrl(m_a.baseURL()));
        RestProbe throughB(QUrl(m_b->baseURL()));
        const RestReply stored = throughA.post(QStringLiteral("/api/upload-msg-image"),
                                               {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), TinyGif}});
        QCOMPARE(stored.status, 200);
        const RestReply served = throughB.get(stored.json.value(QStringLiteral("url")).toString());
        QCOMPARE(served.status, 200);
        QCOMPARE(served.body, QByteArray::fromBase64(TinyGif.toLatin1()));

        // Guesses through one node count on the other: spreading them over nodes gains nothing.
        for (int i = 0; i < Limits().failedLoginsPerName; ++i)
            QCOMPARE((i % 2 ? throughA : throughB).login(alice.name, QStringLiteral("guess")).status, 401);
        QCOMPARE(throughB.login(alice.name, SeededAccounts::password()).status, 429);
        QCOMPARE(throughA.login(alice.name, SeededAccounts::password()).status, 429);
    }

    void eventsThroughOneNodeReachTheOthersConnectionsOnceInOrder()
    {
        const Friends site = friends(QStringLiteral("ann"), QStringLiteral("ben"));
        const auto &[ann, ben, admin, onA, onB] = site;

        const QStringList texts = {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")};
        for (const QString &text : texts)
            onA->send(hallMessage(text));
        onA->send(frame(QStringLiteral("dm"), {{QStringLiteral("to"), ben.id}, {QStringLiteral("content"), QStringLiteral("私聊")}}));
        for (const QString &text : texts)
            QCOMPARE(onB->waitFor(QStringLiteral("global")).value(QStringLiteral("content")).toString(), text);
        QCOMPARE(onB->waitFor(QStringLiteral("dm")).value(QStringLiteral("content")).toString(), QStringLiteral("私聊"));
        const QString gid = ServerFixture::createGroup(*onA, QStringLiteral("徒步"), {ben.id});
        QVERIFY(!gid.isEmpty());
        onA->send(frame(QStringLiteral("group"), {{QStringLiteral("gid"), gid}, {QStringLiteral("content"), QStringLiteral("群聊")}}));
        QCOMPARE(onB->waitFor(QStringLiteral("group")).value(QStringLiteral("content")).toString(), QStringLiteral("群聊"));
        QVERIFY(onB->quietFor(QStringLiteral("global"), 300)); // each once

        // Every database connection of both nodes drops, as when the database restarts: the nodes
        // reconnect, and what was published meanwhile still arrives.
        QVERIFY(m_site->database().exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                       "WHERE datname = current_database() AND pid <> pg_backend_pid()")));
        onA->send(hallMessage(QStringLiteral("断线后")));
        QCOMPARE(onB->waitFor(QStringLiteral("global"), 10000).value(QStringLiteral("content")).toString(), QStringLiteral("断线后"));
        onB->send(hallMessage(QStringLiteral("回来了")));
        for (const QString &text : texts + QStringList{QStringLiteral("断线后"), QStringLiteral("回来了")})
            QCOMPARE(onA->waitFor(QStringLiteral("global"), 10000).value(QStringLiteral("content")).toString(), text);

        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("ben")}}));
        QCOMPARE(errorOf(onB->waitFor(QStringLiteral("banned"))), QStringLiteral("账号已被封禁"));
        QVERIFY(onB->waitClosed());
    }

    void aChangeAndItsEventsCommitTogetherOrNotAtAll()
    {
        const Friends site = friends(QStringLiteral("cid"), QStringLiteral("dan"));
        const auto &[cid, dan, admin, onA, onB] = site;
        Database &db = m_site->database();
        const struct
        {
            WsProbe *sender;
            QJsonObject command;
            QString changed; // counts the rows of the change
            QString event; // what dan's connection on the other node hears of it
        } cases[] = {
            {onA.get(), hallMessage(QStringLiteral("大厅")), QStringLiteral("SELECT COUNT(*) FROM messages WHERE content = '大厅'"),
             QStringLiteral("global")},
            {onA.get(), frame(QStringLiteral("dm"), {{QStringLiteral("to"), dan.id}, {QStringLiteral("content"), QStringLiteral("私聊2")}}),
             QStringLiteral("SELECT COUNT(*) FROM messages WHERE content = '私聊2'"), QStringLiteral("dm")},
            {admin.get(), frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("dan")}}),
             QStringLiteral("SELECT COUNT(*) FROM users WHERE username = 'dan' AND banned = 1"), QStringLiteral("banned")},
        };
        for (const auto &step : cases) {
            QVERIFY(blockEvents(true));
            QCOMPARE(step.sender->refused(step.command), QStringLiteral("操作失败，请重试"));
            QCOMPARE(db.scalar(step.changed).toInt(), 0);
            QVERIFY(onB->quietFor(step.event, 300));

            QVERIFY(blockEvents(false));
            step.sender->send(step.command);
            QVERIFY(!onB->waitFor(step.event).isEmpty());
            QCOMPARE(db.scalar(step.changed).toInt(), 1);
        }

        // So do a password change and the end of the user's other sessions, on any node, and a sign-in
        // and the presence it announces.
        RestProbe throughB(QUrl(m_b->baseURL()));
        const QJsonObject change{{QStringLiteral("token"), throughB.login(cid.name, SeededAccounts::password()).json.value(QStringLiteral("token"))},
                                 {QStringLiteral("oldPassword"), SeededAccounts::password()},
                                 {QStringLiteral("newPassword"), QStringLiteral("pass5678")},
                                 {QStringLiteral("newPassword2"), QStringLiteral("pass5678")}};
        const auto eli = m_site->add(QStringLiteral("eli"));
        QVERIFY(blockEvents(true));
        QCOMPARE(throughB.post(QStringLiteral("/api/change-password"), change).status, 500);
        QVERIFY(onA->quietFor(QStringLiteral("kicked"), 300));
        WsProbe arriving(m_b->socketURL());
        QVERIFY(arriving.open());
        QCOMPARE(arriving.refused(frame(QStringLiteral("auth"), {{QStringLiteral("token"), eli.token}})), QStringLiteral("操作失败，请重试"));
        QVERIFY(!db.scalar(QStringLiteral("SELECT 1 FROM presence WHERE user_id = ?"), {eli.id}).isValid());
        QVERIFY(blockEvents(false));
        QCOMPARE(throughB.post(QStringLiteral("/api/change-password"), change).status, 200);
        QCOMPARE(errorOf(onA->waitFor(QStringLiteral("kicked"))), QStringLiteral("密码已修改，请重新登录"));

        // A departure that could not be stored keeps the user listed only until the node's next
        // heartbeat once the database takes events again, which drops the row and tells every node.
        const auto fin = m_site->add(QStringLiteral("fin"));
        auto leaving = signedIn(*m_b, fin);
        const auto listed = [&](const QStringList &ids) { return ids.contains(fin.id); };
        QVERIFY(hearsPresence(*admin, listed));
        QVERIFY(blockEvents(true));
        leaving.reset();
        QTest::qWait(500);
        QVERIFY(db.scalar(QStringLiteral("SELECT 1 FROM presence WHERE user_id = ?"), {fin.id}).isValid());
        QVERIFY(blockEvents(false));
        QVERIFY(hearsPresence(*admin, std::not_fn(listed)));
        QVERIFY(!db.scalar(QStringLiteral("SELECT 1 FROM presence WHERE user_id = ?"), {fin.id}).isValid());
    }

    // Last: node A does not come back.
    void presenceAndTheOnlineLimitSpanNodesAndOutliveADeadNode()
    {
        const auto eve = m_site->add(QStringLiteral("eve"));
        const auto fay = m_site->add(QStringLiteral("fay"));
        const auto gus = m_site->add(QStringLiteral("gus"));
        const auto hal = m_site->add(QStringLiteral("hal"));
        const auto onA = signedIn(m_a, eve);
        const auto alsoOnA = signedIn(m_a, fay);
        const auto onB = signedIn(*m_b, gus);
        QVERIFY(seesOnline(*onB, {eve.id, fay.id, gus.id}));
        QVERIFY(seesOnline(*onA, {eve.id, fay.id, gus.id}));
        QVERIFY(HallSettings(m_site->database()).setMaxOnline(3));
        WsProbe beyond(m_b->socketURL());
        QVERIFY(beyond.open());
        QCOMPARE(beyond.refused(frame(QStringLiteral("auth"), {{QStringLiteral("token"), hal.token}})), QStringLiteral("在线人数已达上限，请稍后再试"));

        // Killed (SIGKILL) mid-traffic, node A cleans nothing up.
        int sent = 0;
        QTimer traffic;
        traffic.callOnTimeout([&] { onA->send(hallMessage(QStringLiteral("kill %1").arg(sent++))); });
        traffic.start(5);
        QStringList confirmed;
        for (QJsonObject echo = onA->waitFor(QStringLiteral("global"), 2000); !echo.isEmpty() && confirmed.size() < 10;
             echo = onA->waitFor(QStringLiteral("global"), 2000))
            confirmed << idOf(echo);
        QCOMPARE(confirmed.size(), 10);
        m_a.stop();
        traffic.stop();

        // Eve comes back through B at once (still counted online, so the limit lets her in) and finds
        // every message A committed, each once: those A confirmed and any it had no time to.
        WsProbe back(m_b->socketURL());
        QVERIFY(back.open());
        QStringList committed;
        for (const QJsonValue &message : back.signIn(eve.token).value(QStringLiteral("globalMsgs")).toArray()) {
            if (message.toObject().value(QStringLiteral("content")).toString().startsWith(QStringLiteral("kill ")))
                committed << idOf(message.toObject());
        }
        QVERIFY(committed.size() >= confirmed.size());
        QCOMPARE(committed.mid(0, confirmed.size()), confirmed);
        // Gus on B heard those, in order, each once, while A died.
        for (const QString &id : std::as_const(committed))
            QCOMPARE(idOf(onB->waitFor(QStringLiteral("global"))), id);
        QVERIFY(onB->quietFor(QStringLiteral("global"), 300));

        // Once A's heartbeat is overdue, B announces its users gone, and they no longer count.
        QVERIFY(seesOnline(*onB, {gus.id, eve.id}));
        WsProbe later(m_b->socketURL());
        QVERIFY(later.open());
        QVERIFY(!later.signIn(hal.token).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SharedSiteTest)
#include "SharedSiteTest.moc"
