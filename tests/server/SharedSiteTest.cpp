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

using namespace Qt::StringLiterals;

namespace {
const QString TinyGif = u"R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"_s;

// A dead node is noticed within a second; commands are not rate-limited, so that traffic can be dense.
const QStringList NodeArguments = {u"--limit"_s, u"nodeTimeoutMs=1000"_s, u"--limit"_s, u"commandBurst=1000"_s, u"--limit"_s, u"commandsPerSecond=1000"_s};

// Waits for the presence event whose list of user ids passes the check (earlier ones may still be on the way).
bool hearsPresence(WsProbe &probe, const std::function<bool(const QStringList &)> &check)
{
    for (QJsonObject presence = probe.waitFor(u"presence"_s, 8000); !presence.isEmpty(); presence = probe.waitFor(u"presence"_s, 8000)) {
        QStringList ids;
        for (const QJsonValue &user : presence.value(u"online"_s).toArray())
            ids << user.toObject().value(u"id"_s).toString();
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
    return object.value(u"id"_s).toString();
}

QJsonObject hallMessage(const QString &text)
{
    return frame(u"global"_s, {{u"content"_s, text}});
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
        auto probe = WsProbe::signedIn(node.socketURL(), account.token);
        if (!probe)
            qFatal("%s could not sign in", qPrintable(account.name));
        return probe;
    }

    // Two friends, one signed in on each node, and an administrator on node A.
    struct Friends
    {
        SeededAccounts::Account first, second;
        std::unique_ptr<WsProbe> admin, onA, onB;
    };
    Friends friends(const QString &first, const QString &second)
    {
        Friends made{m_site->add(first), m_site->add(second), {}, {}, {}};
        m_site->befriend(made.first, made.second);
        made.admin = signedIn(m_a, m_site->add(u"root"_s + first, true));
        made.onA = signedIn(m_a, made.first);
        made.onB = signedIn(*m_b, made.second);
        return made;
    }

    // The event table takes no more rows (as when a node fails between writing a change and its
    // event), or takes them again.
    bool blockEvents(bool blocked)
    {
        return m_site->database().exec(blocked ? u"SELECT setval(pg_get_serial_sequence('events', 'seq'), 9223372036854775807)"_s
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
        const auto alice = m_site->add(u"alice"_s);
        RestProbe throughA(QUrl(m_a.baseURL()));
        RestProbe throughB(QUrl(m_b->baseURL()));
        const RestReply stored = throughA.post(u"/api/upload-msg-image"_s, {{u"token"_s, alice.token}, {u"data"_s, TinyGif}});
        QCOMPARE(stored.status, 200);
        const RestReply served = throughB.get(stored.json.value(u"url"_s).toString());
        QCOMPARE(served.status, 200);
        QCOMPARE(served.body, QByteArray::fromBase64(TinyGif.toLatin1()));

        // Guesses through one node count on the other: spreading them over nodes gains nothing.
        for (int i = 0; i < Limits().failedLoginsPerName; ++i)
            QCOMPARE((i % 2 ? throughA : throughB).login(alice.name, u"guess"_s).status, 401);
        QCOMPARE(throughB.login(alice.name, SeededAccounts::password()).status, 429);
        QCOMPARE(throughA.login(alice.name, SeededAccounts::password()).status, 429);
    }

    void eventsThroughOneNodeReachTheOthersConnectionsOnceInOrder()
    {
        const Friends site = friends(u"ann"_s, u"ben"_s);
        const auto &[ann, ben, admin, onA, onB] = site;

        const QStringList texts = {u"一"_s, u"二"_s, u"三"_s};
        for (const QString &text : texts)
            onA->send(hallMessage(text));
        onA->send(frame(u"dm"_s, {{u"to"_s, ben.id}, {u"content"_s, u"私聊"_s}}));
        for (const QString &text : texts)
            QCOMPARE(onB->waitFor(u"global"_s).value(u"content"_s).toString(), text);
        QCOMPARE(onB->waitFor(u"dm"_s).value(u"content"_s).toString(), u"私聊"_s);
        const QString gid = ServerFixture::createGroup(*onA, u"徒步"_s, {ben.id});
        QVERIFY(!gid.isEmpty());
        onA->send(frame(u"group"_s, {{u"gid"_s, gid}, {u"content"_s, u"群聊"_s}}));
        QCOMPARE(onB->waitFor(u"group"_s).value(u"content"_s).toString(), u"群聊"_s);
        QVERIFY(onB->quietFor(u"global"_s, 300)); // each once

        // Every database connection of both nodes drops, as when the database restarts: the nodes
        // reconnect, and what was published meanwhile still arrives.
        QVERIFY(m_site->database().exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                       "WHERE datname = current_database() AND pid <> pg_backend_pid()")));
        onA->send(hallMessage(u"断线后"_s));
        QCOMPARE(onB->waitFor(u"global"_s, 10000).value(u"content"_s).toString(), u"断线后"_s);
        onB->send(hallMessage(u"回来了"_s));
        for (const QString &text : texts + QStringList{u"断线后"_s, u"回来了"_s})
            QCOMPARE(onA->waitFor(u"global"_s, 10000).value(u"content"_s).toString(), text);

        admin->send(frame(u"ban-user"_s, {{u"username"_s, u"ben"_s}}));
        QCOMPARE(errorOf(onB->waitFor(u"banned"_s)), u"账号已被封禁"_s);
        QVERIFY(onB->waitClosed());
    }

    void aChangeAndItsEventsCommitTogetherOrNotAtAll()
    {
        const Friends site = friends(u"cid"_s, u"dan"_s);
        const auto &[cid, dan, admin, onA, onB] = site;
        Database &db = m_site->database();
        const struct
        {
            WsProbe *sender;
            QJsonObject command;
            QString changed; // counts the rows of the change
            QString event; // what dan's connection on the other node hears of it
        } cases[] = {
            {onA.get(), hallMessage(u"大厅"_s), u"SELECT COUNT(*) FROM messages WHERE content = '大厅'"_s, u"global"_s},
            {onA.get(), frame(u"dm"_s, {{u"to"_s, dan.id}, {u"content"_s, u"私聊2"_s}}),
             u"SELECT COUNT(*) FROM messages WHERE content = '私聊2'"_s, u"dm"_s},
            {admin.get(), frame(u"ban-user"_s, {{u"username"_s, u"dan"_s}}),
             u"SELECT COUNT(*) FROM users WHERE username = 'dan' AND banned = 1"_s, u"banned"_s},
        };
        for (const auto &step : cases) {
            QVERIFY(blockEvents(true));
            QCOMPARE(step.sender->refused(step.command), u"操作失败，请重试"_s);
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
        const QJsonObject change{{u"token"_s, throughB.login(cid.name, SeededAccounts::password()).json.value(u"token"_s)},
                                 {u"oldPassword"_s, SeededAccounts::password()}, {u"newPassword"_s, u"pass5678"_s}, {u"newPassword2"_s, u"pass5678"_s}};
        const auto eli = m_site->add(u"eli"_s);
        QVERIFY(blockEvents(true));
        QCOMPARE(throughB.post(u"/api/change-password"_s, change).status, 500);
        QVERIFY(onA->quietFor(u"kicked"_s, 300));
        WsProbe arriving(m_b->socketURL());
        QVERIFY(arriving.open());
        QCOMPARE(arriving.refused(frame(u"auth"_s, {{u"token"_s, eli.token}})), u"操作失败，请重试"_s);
        QVERIFY(!db.scalar(u"SELECT 1 FROM presence WHERE user_id = ?"_s, {eli.id}).isValid());
        QVERIFY(blockEvents(false));
        QCOMPARE(throughB.post(u"/api/change-password"_s, change).status, 200);
        QCOMPARE(errorOf(onA->waitFor(u"kicked"_s)), u"密码已修改，请重新登录"_s);

        // A departure that could not be stored keeps the user listed only until the node's next
        // heartbeat once the database takes events again, which drops the row and tells every node.
        const auto fin = m_site->add(u"fin"_s);
        auto leaving = signedIn(*m_b, fin);
        const auto listed = [&](const QStringList &ids) { return ids.contains(fin.id); };
        QVERIFY(hearsPresence(*admin, listed));
        QVERIFY(blockEvents(true));
        leaving.reset();
        QTest::qWait(500);
        QVERIFY(db.scalar(u"SELECT 1 FROM presence WHERE user_id = ?"_s, {fin.id}).isValid());
        QVERIFY(blockEvents(false));
        QVERIFY(hearsPresence(*admin, std::not_fn(listed)));
        QVERIFY(!db.scalar(u"SELECT 1 FROM presence WHERE user_id = ?"_s, {fin.id}).isValid());
    }

    // Last: node A does not come back.
    void presenceAndTheOnlineLimitSpanNodesAndOutliveADeadNode()
    {
        const auto eve = m_site->add(u"eve"_s), fay = m_site->add(u"fay"_s), gus = m_site->add(u"gus"_s), hal = m_site->add(u"hal"_s);
        const auto onA = signedIn(m_a, eve);
        const auto alsoOnA = signedIn(m_a, fay);
        const auto onB = signedIn(*m_b, gus);
        QVERIFY(seesOnline(*onB, {eve.id, fay.id, gus.id}));
        QVERIFY(seesOnline(*onA, {eve.id, fay.id, gus.id}));
        QVERIFY(HallSettings(m_site->database()).setMaxOnline(3));
        WsProbe beyond(m_b->socketURL());
        QVERIFY(beyond.open());
        QCOMPARE(beyond.refused(frame(u"auth"_s, {{u"token"_s, hal.token}})), u"在线人数已达上限，请稍后再试"_s);

        // Killed (SIGKILL) mid-traffic, node A cleans nothing up.
        int sent = 0;
        QTimer traffic;
        traffic.callOnTimeout([&] { onA->send(hallMessage(u"kill %1"_s.arg(sent++))); });
        traffic.start(5);
        QStringList confirmed;
        for (QJsonObject echo = onA->waitFor(u"global"_s, 2000); !echo.isEmpty() && confirmed.size() < 10; echo = onA->waitFor(u"global"_s, 2000))
            confirmed << idOf(echo);
        QCOMPARE(confirmed.size(), 10);
        m_a.stop();
        traffic.stop();

        // Eve comes back through B at once (still counted online, so the limit lets her in) and finds
        // every message A committed, each once: those A confirmed and any it had no time to.
        WsProbe back(m_b->socketURL());
        QVERIFY(back.open());
        QStringList committed;
        for (const QJsonValue &message : back.signIn(eve.token).value(u"globalMsgs"_s).toArray())
            if (message.toObject().value(u"content"_s).toString().startsWith(u"kill "_s))
                committed << idOf(message.toObject());
        QVERIFY(committed.size() >= confirmed.size());
        QCOMPARE(committed.mid(0, confirmed.size()), confirmed);
        // Gus on B heard those, in order, each once, while A died.
        for (const QString &id : std::as_const(committed))
            QCOMPARE(idOf(onB->waitFor(u"global"_s)), id);
        QVERIFY(onB->quietFor(u"global"_s, 300));

        // Once A's heartbeat is overdue, B announces its users gone, and they no longer count.
        QVERIFY(seesOnline(*onB, {gus.id, eve.id}));
        WsProbe later(m_b->socketURL());
        QVERIFY(later.open());
        QVERIFY(!later.signIn(hal.token).isEmpty());
    }
};

QTEST_GUILESS_MAIN(SharedSiteTest)
#include "SharedSiteTest.moc"
