// Attacks and careless clients against the real zephlin-server process over real TLS, one case per
// kind of attack: each must leave the server up, fair to everybody else and private. The sign-in
// bookkeeping that timing or a storage fault would betray is checked in-process, where it can be seen.
#include "ManualClock.h"
#include "RestProbe.h"
#include "SeededAccounts.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "WsProbe.h"
#include "accounts/AccountService.h"
#include "core/Limits.h"
#include "core/WorkerPool.h"
#include "storage/HallSettings.h"
#include "storage/UserStore.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSqlQuery>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QString TooFrequent = u"操作太频繁，请稍后再试"_s;

// A TLS connection that speaks whatever the test writes.
std::unique_ptr<QSslSocket> rawTls(const ServerProcess &server)
{
    auto socket = std::make_unique<QSslSocket>();
    socket->connectToHostEncrypted(u"127.0.0.1"_s, server.port());
    return socket->waitForEncrypted(10000) ? std::move(socket) : nullptr;
}

// Whatever the server answers on the connection within the timeout.
QByteArray answerOn(QSslSocket &socket, int timeoutMs = 5000)
{
    QByteArray answer;
    QElapsedTimer timer;
    timer.start();
    while (!answer.contains("\r\n\r\n{") && timer.elapsed() < timeoutMs && socket.waitForReadyRead(100))
        answer += socket.readAll();
    return answer + socket.readAll();
}

QString pngBase64(int width = 8, int height = 8)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// A small PNG whose header claims the given size: enough for the size check, never worth decoding.
QString claimedPngBase64(quint32 width, quint32 height)
{
    QByteArray png = QByteArray::fromBase64(pngBase64().toLatin1());
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    quint32 crc = 0xffffffffu; // over the IHDR type and data
    for (qsizetype i = 12; i < 29; ++i) {
        crc ^= quint8(png.at(i));
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    qToBigEndian(~crc, png.data() + 29);
    return QString::fromLatin1(png.toBase64());
}

// A request as it goes over the wire, for clients that leave before the answer.
QByteArray rawPost(const QString &path, const QJsonObject &body)
{
    const QByteArray json = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return "POST " + path.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\nContent-Length: "
        + QByteArray::number(json.size()) + "\r\n\r\n" + json;
}

QJsonObject credentials(const QString &name)
{
    return {{u"username"_s, name}, {u"password"_s, SeededAccounts::password()}};
}

int errorsLike(WsProbe &probe, const QString &text)
{
    int count = 0;
    for (const QJsonObject &event : probe.frames())
        count += errorOf(event) == text;
    return count;
}

// The real server with accounts written into its database, started with these limits; `rest` is one
// device's REST client.
struct Site
{
    bool start(std::initializer_list<const char *> limits = {})
    {
        QStringList arguments;
        for (const char *assignment : limits)
            arguments << u"--limit"_s << QString::fromLatin1(assignment);
        if (!server.start(arguments))
            return false;
        rest = std::make_unique<RestProbe>(QUrl(server.baseURL()));
        return true;
    }
    std::unique_ptr<WsProbe> signedIn(const SeededAccounts::Account &account) const { return WsProbe::signedIn(server.socketURL(), account.token); }

    ServerProcess server;
    SeededAccounts seeded{server.dataPath()};
    std::unique_ptr<RestProbe> rest;
};

// A database of its own, opened in-process.
bool openDatabase(Database &db, const QTemporaryDir &dir)
{
    return db.open(Database::location(dir.path(), TestDatabase::urlFor(dir.path())));
}
} // namespace

class HostileTrafficTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void acceptStormLeavesTheListenerAccepting()
    {
        Site site;
        QVERIFY(site.start({"handshakeTimeoutMs=1000"}));
        // Plain HTTP on the TLS port, connections dropped before their handshake ends, and silent ones.
        std::vector<std::unique_ptr<QTcpSocket>> storm;
        for (int i = 0; i < 60; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(u"127.0.0.1"_s, site.server.port());
            QVERIFY(socket->waitForConnected(5000));
            if (i % 3 == 0)
                socket->write("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
            else if (i % 3 == 1)
                socket->abort();
            storm.push_back(std::move(socket));
        }
        const auto open = [&storm] {
            return std::count_if(storm.cbegin(), storm.cend(), [](const auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(open(), 0, 5000); // silent ones are dropped after the handshake timeout
        QCOMPARE(site.rest->post(u"/api/me"_s, {}).status, 401);

        // A plain GET of the socket path is answered compactly, like every other answer.
        const RestReply plain = site.rest->get(u"/ws"_s);
        QCOMPARE(plain.status, 426);
        QCOMPARE(plain.body, QByteArray(R"({"error":"需要WebSocket连接"})"));
    }

    void slowAndHugeRequestsAreCutOff()
    {
        Site site;
        QVERIFY(site.start({"requestDeadlineMs=1500", "connectionsPerAddress=4"}));
        // One byte every 400 ms would keep an idle timer alive for ever; the request deadline does not move.
        auto trickle = rawTls(site.server);
        QVERIFY(trickle);
        trickle->write("POST /api/me HTTP/1.1\r\n");
        QElapsedTimer alive;
        alive.start();
        while (trickle->state() == QAbstractSocket::ConnectedState && alive.elapsed() < 6000) {
            trickle->write("X");
            trickle->waitForDisconnected(400);
        }
        QVERIFY2(alive.elapsed() < 4000, "a trickling request outlived its deadline");

        // A body announced larger than its route takes is refused before it is sent, let alone buffered;
        // the fifth connection from one address is turned away with a reason, the first four stay.
        const auto answered = [&site](const QByteArray &request, const QByteArray &status, const QByteArray &body) {
            auto socket = rawTls(site.server);
            socket->write(request);
            const QByteArray answer = answerOn(*socket);
            return answer.startsWith("HTTP/1.1 " + status) && answer.contains(body);
        };
        QVERIFY(answered("POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 12000000\r\n\r\n{", "413",
                         R"({"error":"请求内容太大"})"));
        QTest::qWait(200); // the server notices the closed connection
        std::vector<std::unique_ptr<QSslSocket>> held;
        for (int i = 0; i < 4; ++i) {
            held.push_back(rawTls(site.server));
            QVERIFY(held.back());
        }
        QVERIFY(answered({}, "503", R"({"error":"连接太多，请稍后再试"})"));
        held.clear();
        QTRY_COMPARE_WITH_TIMEOUT(site.rest->post(u"/api/me"_s, {}).status, 401, 5000);
    }

    void oneUserCannotFloodEveryone()
    {
        Site site;
        const auto flooder = site.seeded.add(u"flooder"_s);
        QVERIFY(site.start({"connectionsPerUser=3", "commandsPerSecond=1"}));

        // Ten sockets of one user share one allowance, and only three of them get in.
        std::vector<std::unique_ptr<WsProbe>> sockets;
        for (int i = 0; i < 3; ++i) {
            sockets.push_back(site.signedIn(flooder));
            QVERIFY(sockets.back());
        }
        WsProbe fourth(site.server.socketURL());
        QVERIFY(fourth.open());
        QCOMPARE(fourth.refused(frame(u"auth"_s, {{u"token"_s, flooder.token}})), u"同时在线的连接太多，请关闭其他设备后再试"_s);
        QVERIFY(fourth.waitClosed());
        for (int round = 0; round < 10; ++round)
            for (auto &socket : sockets)
                socket->send(frame(u"global"_s, {{u"content"_s, u"spam"_s}}));
        int refused = 0;
        QTRY_VERIFY_WITH_TIMEOUT((refused = errorsLike(*sockets[0], TooFrequent) + errorsLike(*sockets[1], TooFrequent)
                                            + errorsLike(*sockets[2], TooFrequent)) >= 8, 5000);
        QVERIFY2(refused <= 12, qPrintable(QString::number(refused))); // 20 at once, a few refilled meanwhile

        // A socket that has not signed in is closed on its first bad frame.
        WsProbe stranger(site.server.socketURL());
        QVERIFY(stranger.open());
        stranger.send({{u"no"_s, u"type"_s}});
        QVERIFY(stranger.waitClosed());
    }

    void feedsAndUploadsAreBoundedAndPrivate()
    {
        Site site;
        const auto alice = site.seeded.add(u"alice"_s);
        const auto bob = site.seeded.add(u"bob"_s);
        const auto eve = site.seeded.add(u"eve"_s);
        site.seeded.befriend(alice, bob);
        QVERIFY(site.start({"maxCommentsPerMoment=2", "momentActionBurst=4", "momentActionsPerSecond=0", "maxFeedBytes=2500", "uploadBurst=3",
                            "uploadsPerSecond=0"}));
        auto b = site.signedIn(bob);
        auto e = site.signedIn(eve);
        QVERIFY(b && e);
        QString newest;
        for (int i = 0; i < 3; ++i) {
            const RestReply posted = site.rest->post(u"/api/moment-post"_s, {{u"token"_s, alice.token}, {u"text"_s, QString(1000, QChar(u'a' + i))}});
            QCOMPARE(posted.status, 200);
            newest = posted.json.value(u"moment"_s).toObject().value(u"id"_s).toString();
        }
        // A friend gets the newest posts that fit the byte budget; a stranger gets nothing.
        QVERIFY(!b->waitFor(u"moments"_s).isEmpty());
        QVERIFY(e->quietFor(u"moments"_s, 500));
        for (const auto &[reader, count] : {std::pair{bob, 2}, std::pair{eve, 0}}) {
            WsProbe again(site.server.socketURL());
            QVERIFY(again.open());
            const QJsonArray feed = again.signIn(reader.token).value(u"moments"_s).toArray();
            QCOMPARE(feed.size(), count);
            if (count)
                QCOMPARE(feed.first().toObject().value(u"id"_s).toString(), newest);
        }

        // Strangers can neither like, comment on nor delete what they cannot see.
        for (const QString &type : {u"moment-like"_s, u"moment-comment"_s, u"moment-delete"_s})
            QCOMPARE(e->refused(frame(type, {{u"mid"_s, newest}, {u"text"_s, u"hi"_s}})), u"动态不存在或已删除"_s);
        // Comments per post and likes and comments per user are capped.
        for (int i = 0; i < 3; ++i)
            b->send(frame(u"moment-comment"_s, {{u"mid"_s, newest}, {u"text"_s, u"nice"_s}}));
        QCOMPARE(errorOf(b->waitFor(u"error"_s)), u"评论数量已达上限"_s);
        for (int i = 0; i < 3; ++i)
            b->send(frame(u"moment-like"_s, {{u"mid"_s, newest}}));
        QCOMPARE(errorOf(b->waitFor(u"error"_s)), TooFrequent);

        // Uploads are rate-limited per user (text-only posts take none of it), and sized honestly.
        const auto upload = [&](const QString &data) {
            return site.rest->post(u"/api/upload-msg-image"_s, {{u"token"_s, alice.token}, {u"data"_s, data}});
        };
        // 33 megapixels: more than Qt can decode, so "too large", never "corrupt".
        QCOMPARE(upload(claimedPngBase64(6000, 5500)).outcome(), u"413 图片尺寸过大"_s);
        QCOMPARE(upload(pngBase64()).status, 200);
        QCOMPARE(upload(pngBase64()).status, 200);
        QCOMPARE(upload(pngBase64()).outcome(), u"429 上传太频繁，请稍后再试"_s);
    }

    // What an administrator changes is announced only once it is stored, and a ban ends every session
    // for good.
    void adminChangesAreStoredFirstAndABanLasts()
    {
        Site site;
        const auto root = site.seeded.add(u"root"_s, true);
        const auto bob = site.seeded.add(u"bob"_s);
        QVERIFY(site.start());
        auto admin = site.signedIn(root);
        auto b = site.signedIn(bob);
        QVERIFY(admin && b);
        const auto told = [&admin](const QJsonObject &command) { return admin->ask(command, u"system"_s).value(u"content"_s).toString(); };
        // 0 lifts the online limit; a negative value is refused.
        QCOMPARE(told(frame(u"set-max-online"_s, {{u"value"_s, 1}})), u"在线人数上限已设为 1"_s);
        QCOMPARE(b->waitFor(u"max-online"_s).value(u"maxOnline"_s).toInt(), 1);
        QCOMPARE(told(frame(u"set-max-online"_s, {{u"value"_s, 0}})), u"已取消在线人数上限"_s);
        QCOMPARE(b->waitFor(u"max-online"_s).value(u"maxOnline"_s).toInt(-1), 0);
        QCOMPARE(admin->refused(frame(u"set-max-online"_s, {{u"value"_s, -1}})), u"在线人数上限需为0-100000的整数（0为不限）"_s);
        QVERIFY(site.signedIn(site.seeded.add(u"carol"_s)));

        // Another writer holds what the administrator would change: nothing can be stored, so nothing is
        // announced.
        Database &db = site.seeded.database();
        QVERIFY(db.transaction());
        QVERIFY(HallSettings(db).setHallName(u"别家"_s) && UserStore(db).setBanned(bob.id, false));
        admin->send(frame(u"rename-hall"_s, {{u"name"_s, u"黑店"_s}}));
        QCOMPARE(errorOf(admin->waitFor(u"error"_s, 15000)), u"保存失败，请重试"_s);
        const QJsonObject ban = frame(u"ban-user"_s, {{u"username"_s, u"bob"_s}});
        admin->send(ban);
        QCOMPARE(errorOf(admin->waitFor(u"error"_s, 15000)), u"服务器错误，请稍后再试"_s);
        db.rollback();
        QVERIFY(b->quietFor(u"hall-renamed"_s, 100));
        QVERIFY(b->isOpen());
        const auto me = [&site, &bob] { return site.rest->post(u"/api/me"_s, {{u"token"_s, bob.token}}).status; };
        QCOMPARE(me(), 200);

        // The stolen token stays dead after the ban is lifted.
        QCOMPARE(told(ban), u"已封禁用户 bob"_s);
        QCOMPARE(told(frame(u"unban-user"_s, {{u"username"_s, u"bob"_s}})), u"已解除封禁"_s);
        QCOMPARE(me(), 401);
        WsProbe socket(site.server.socketURL());
        QVERIFY(socket.open());
        QVERIFY(!socket.ask(frame(u"auth"_s, {{u"token"_s, bob.token}}), u"kicked"_s).isEmpty());
    }

    void slowWorkLeavesEveryoneElseServed()
    {
        Site site;
        const auto alice = site.seeded.add(u"alice"_s);
        const auto bob = site.seeded.add(u"bob"_s);
        QVERIFY(site.start({"uploadBurst=1000", "imageCheckQueue=1", "signInBurst=1000"}));
        // Nine images of nearly the pixel cap: each takes a worker a while to decode.
        QJsonArray nine;
        for (const QString large = pngBase64(5600, 5600); nine.size() < 9;)
            nine << large;
        QNetworkAccessManager uploads, passwords;
        const auto post = [&site](QNetworkAccessManager &manager, const QString &path, const QJsonObject &body) {
            QNetworkRequest request(QUrl(site.server.baseURL() + path));
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
            return manager.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        };
        const auto status = [](QNetworkReply *reply) { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
        QList<QNetworkReply *> moments, signIns;
        for (int i = 0; i < 2; ++i)
            moments << post(uploads, u"/api/moment-post"_s, {{u"token"_s, alice.token}, {u"images"_s, nine}});
        for (int i = 0; i < 4; ++i)
            signIns << post(passwords, u"/api/register"_s, credentials(u"new%1"_s.arg(i))) << post(passwords, u"/api/login"_s, credentials(alice.name));
        // Past the queue bound the answer comes at once; the other is being decoded meanwhile.
        const auto finished = [&moments] { return std::find_if(moments.cbegin(), moments.cend(), [](QNetworkReply *r) { return r->isFinished(); }); };
        QTRY_VERIFY_WITH_TIMEOUT(finished() != moments.cend(), 30000);
        QNetworkReply *refused = *finished();
        QCOMPARE(status(refused), 503);
        QCOMPARE(QJsonDocument::fromJson(refused->readAll()).object().value(u"error"_s).toString(), u"服务器繁忙，请稍后再试"_s);
        moments.removeOne(refused);

        // The live channel answers while the uploads are still at work.
        const std::unique_ptr<WsProbe> b = site.signedIn(bob);
        QVERIFY(b);
        QVERIFY(!b->ask(frame(u"global"_s, {{u"content"_s, u"还在吗"_s}}), u"global"_s).isEmpty());
        QVERIFY(!moments.first()->isFinished());

        for (QNetworkReply *reply : moments + signIns) {
            QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 60000);
            QCOMPARE(status(reply), 200);
        }
    }

    void clientsLeavingMidWorkLeaveTheServerWell()
    {
        Site site;
        const auto alice = site.seeded.add(u"alice"_s);
        QVERIFY(site.start({"uploadBurst=1000", "signInBurst=1000", "registrationsPerAddress=1000"}));
        const QString image = pngBase64(3000, 3000);
        // Each client sends its whole request and leaves before the worker is done with it.
        for (int round = 0; round < 20; ++round) {
            for (const QByteArray &request : {rawPost(u"/api/upload-msg-image"_s, {{u"token"_s, alice.token}, {u"data"_s, image}}),
                                              rawPost(u"/api/login"_s, credentials(alice.name)),
                                              rawPost(u"/api/register"_s, credentials(u"gone%1"_s.arg(round)))}) {
                const std::unique_ptr<QSslSocket> socket = rawTls(site.server);
                QVERIFY(socket);
                socket->write(request);
                while (socket->bytesToWrite() > 0)
                    QVERIFY(socket->waitForBytesWritten(5000));
                socket->abort();
            }
        }
        // Sign-ins still at work count against the address until they are verified.
        RestReply signIn;
        QTRY_COMPARE_WITH_TIMEOUT((signIn = site.rest->post(u"/api/login"_s, credentials(alice.name))).status, 200, 30000);
        const QJsonObject upload{{u"token"_s, signIn.json.value(u"token"_s)}, {u"data"_s, pngBase64()}};
        QTRY_COMPARE_WITH_TIMEOUT(site.rest->post(u"/api/upload-msg-image"_s, upload).status, 200, 30000);
    }

    void passwordGuessesAndSignInsAreThrottled()
    {
        Site site;
        const auto alice = site.seeded.add(u"alice"_s);
        const auto bob = site.seeded.add(u"bob"_s);
        QVERIFY(site.start({"sessionsPerUser=2"}));
        // Guessing the old password with a stolen token counts as failed sign-ins.
        const QJsonObject guess{{u"token"_s, alice.token}, {u"oldPassword"_s, u"guess"_s}, {u"newPassword"_s, u"new12345"_s},
                                {u"newPassword2"_s, u"new12345"_s}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(site.rest->post(u"/api/change-password"_s, guess).status, 400);
        QCOMPARE(site.rest->post(u"/api/change-password"_s, guess).status, 429);

        // A user keeps only the newest sessions (successful sign-ins per address are the REST endpoints
        // test's limits).
        QStringList tokens;
        for (int i = 0; i < 3; ++i)
            tokens << site.rest->post(u"/api/login"_s, credentials(bob.name)).json.value(u"token"_s).toString();
        const QList<QPair<QString, int>> sessions = {{bob.token, 401}, {tokens.at(0), 401}, {tokens.at(1), 200}, {tokens.at(2), 200}};
        for (const auto &[token, status] : sessions)
            QCOMPARE(site.rest->post(u"/api/me"_s, {{u"token"_s, token}}).status, status);
    }

    void requestsNeedJsonAndTheCookieOnlySignsOut()
    {
        Site site;
        const auto alice = site.seeded.add(u"alice"_s);
        QVERIFY(site.start());
        QNetworkRequest form(QUrl(site.server.baseURL() + u"/api/change-username"_s));
        form.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply *reply = site.rest->manager().post(form, R"({"token":")" + alice.token.toLatin1() + R"(","newUsername":"owned"})");
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 415);
        delete reply;

        // The cookie from a sign-in is no token for anything but signing out and the group search.
        QCOMPARE(site.rest->post(u"/api/login"_s, credentials(alice.name)).status, 200);
        QCOMPARE(site.rest->post(u"/api/change-username"_s, {{u"newUsername"_s, u"owned"_s}}).status, 401);
        QCOMPARE(site.rest->get(u"/api/search-groups?keyword=x"_s).json.value(u"ok"_s).toBool(), true);
    }

    void unknownNamesCostOneFullPasswordCheck()
    {
        QTemporaryDir dir;
        Database db;
        QVERIFY(openDatabase(db, dir));
        ManualClock clock;
        const Limits limits;
        QMutex lock;
        QStringList checked; // the stored hashes verified, in order
        const PasswordHasher hasher({1, 512, 1}, [&](const QString &encoded) {
            const QMutexLocker locked(&lock);
            checked << encoded;
        });
        AccountService accounts(db, clock, limits, hasher);
        QVERIFY(accounts.createUser(u"known"_s, SeededAccounts::password(), false));
        WorkerPool workers(1, 4);
        // Timing tells no names apart: an unknown name is checked against a hash of the same cost.
        for (const QString &name : {u"known"_s, u"ghost"_s}) {
            std::optional<Refusal> refusal;
            accounts.login(workers, name, u"wrong"_s, u"10.0.0.1"_s,
                           [&](const Outcome<AccountService::SignIn> &outcome) { refusal = outcome ? Refusal{200, {}} : outcome.refusal(); });
            QTRY_VERIFY(refusal);
            QCOMPARE(refusal->status, 401);
        }
        const QMutexLocker locked(&lock);
        QCOMPARE(checked.size(), 2);
        const auto cost = [](const QString &encoded) { return encoded.section(u'$', 0, 3); }; // $argon2id$v=…$m=…,t=…,p=…
        QCOMPARE(cost(checked.at(1)), cost(checked.at(0)));
        QVERIFY(checked.at(1) != checked.at(0));
    }

    void aWithdrawnSignInFailureIsAllOrNothing()
    {
        QTemporaryDir dir;
        Database db;
        const QStringList others = QSqlDatabase::connectionNames();
        QVERIFY(openDatabase(db, dir));
        // Schema changes PostgreSQL cannot prepare go as plain text over the same connection.
        QStringList mine = QSqlDatabase::connectionNames();
        mine.removeIf([&others](const QString &name) { return others.contains(name); });
        QCOMPARE(mine.size(), 1);
        const auto change = [connection = mine.first()](const QString &sql) { return QSqlQuery(QSqlDatabase::database(connection)).exec(sql); };
        const ManualClock clock; // standing still: the failures share one time
        LoginThrottle throttle(db, clock, Limits().loginThrottleWindowMs);
        const QString key = u"address:10.0.0.1"_s;
        for (int i = 0; i < 3; ++i)
            throttle.recordFailure(key);
        // Storing fails half-way: nothing is taken back, rather than every failure of that moment.
        const bool sqlite = db.backend() == Database::Backend::Sqlite;
        QVERIFY(change(sqlite ? u"CREATE TRIGGER refuse BEFORE INSERT ON login_failures BEGIN SELECT RAISE(ABORT, 'refused'); END"_s
                              : u"CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE EXCEPTION 'refused'; END$$"_s));
        QVERIFY(sqlite || change(u"CREATE TRIGGER refuse BEFORE INSERT ON login_failures FOR EACH ROW EXECUTE FUNCTION refuse()"_s));
        throttle.withdraw(key);
        QVERIFY(change(sqlite ? u"DROP TRIGGER refuse"_s : u"DROP TRIGGER refuse ON login_failures"_s));
        QVERIFY(throttle.blocked(key, 3));
        throttle.withdraw(key);
        QVERIFY(!throttle.blocked(key, 3));
        QVERIFY(throttle.blocked(key, 2));
    }
};

QTEST_GUILESS_MAIN(HostileTrafficTest)
#include "HostileTrafficTest.moc"
