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

namespace {
const QString TooFrequent = QStringLiteral("操作太频繁，请稍后再试");
const QString Missing = QStringLiteral("动态不存在或已删除");

QStringList limits(std::initializer_list<const char *> assignments)
{
    QStringList arguments;
    for (const char *assignment : assignments)
        arguments << QStringLiteral("--limit") << QString::fromLatin1(assignment);
    return arguments;
}

// A TLS connection that speaks whatever the test writes.
std::unique_ptr<QSslSocket> rawTls(const ServerProcess &server)
{
    auto socket = std::make_unique<QSslSocket>();
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.port());
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

std::unique_ptr<WsProbe> signedIn(const ServerProcess &server, const SeededAccounts::Account &account)
{
    auto probe = std::make_unique<WsProbe>(server.socketURL());
    if (!probe->open() || probe->signIn(account.token).isEmpty())
        return nullptr;
    return probe;
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

// A running server with an administrator, root, signed in, and a user, bob.
struct AdminScene
{
    AdminScene() : seeded(server.dataPath()), root(seeded.add(QStringLiteral("root"), true)), bob(seeded.add(QStringLiteral("bob"))) {}
    bool start()
    {
        admin = server.start() ? signedIn(server, root) : nullptr;
        return admin != nullptr;
    }

    ServerProcess server;
    SeededAccounts seeded;
    SeededAccounts::Account root;
    SeededAccounts::Account bob;
    std::unique_ptr<WsProbe> admin;
};

int errorsLike(WsProbe &probe, const QString &text)
{
    int count = 0;
    for (const QJsonObject &event : probe.frames())
        count += errorOf(event) == text;
    return count;
}
} // namespace

class HostileTrafficTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void acceptStormLeavesTheListenerAccepting()
    {
        ServerProcess server;
        QVERIFY(server.start(limits({"handshakeTimeoutMs=1000"})));
        // Plain HTTP on the TLS port, connections dropped before their handshake ends, and silent ones.
        std::vector<std::unique_ptr<QTcpSocket>> storm;
        for (int i = 0; i < 60; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QStringLiteral("127.0.0.1"), server.port());
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
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        const RestReply after = rest.post(QStringLiteral("/api/me"), {});
        QVERIFY2(after.transportError.isEmpty(), qPrintable(after.transportError));
        QCOMPARE(after.status, 401);

        // A plain GET of the socket path is answered compactly, like every other answer.
        const RestReply plain = rest.get(QStringLiteral("/ws"));
        QCOMPARE(plain.status, 426);
        QCOMPARE(plain.body, QByteArray(R"({"error":"需要WebSocket连接"})"));
    }

    void slowAndHugeRequestsAreCutOff()
    {
        ServerProcess server;
        QVERIFY(server.start(limits({"requestDeadlineMs=1500", "connectionsPerAddress=4"})));
        // One byte every 400 ms would keep an idle timer alive for ever; the request deadline does not move.
        auto trickle = rawTls(server);
        QVERIFY(trickle);
        trickle->write("POST /api/me HTTP/1.1\r\n");
        QElapsedTimer alive;
        alive.start();
        while (trickle->state() == QAbstractSocket::ConnectedState && alive.elapsed() < 6000) {
            trickle->write("X");
            trickle->waitForDisconnected(400);
        }
        QVERIFY2(alive.elapsed() < 4000, "a trickling request outlived its deadline");

        // A body announced larger than its route takes is refused before it is sent, let alone buffered.
        auto huge = rawTls(server);
        QVERIFY(huge);
        huge->write("POST /api/login HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 12000000\r\n\r\n{");
        const QByteArray refused = answerOn(*huge);
        QVERIFY2(refused.startsWith("HTTP/1.1 413"), refused.constData());
        QVERIFY(refused.contains(R"({"error":"请求内容太大"})"));

        huge->abort();
        QTest::qWait(200); // the server notices the closed connections
        // The fifth connection from one address is turned away with a reason; the first four stay.
        std::vector<std::unique_ptr<QSslSocket>> held;
        for (int i = 0; i < 4; ++i) {
            held.push_back(rawTls(server));
            QVERIFY(held.back());
        }
        auto fifth = rawTls(server);
        QVERIFY(fifth);
        const QByteArray busy = answerOn(*fifth);
        QVERIFY2(busy.startsWith("HTTP/1.1 503"), busy.constData());
        QVERIFY(busy.contains(R"({"error":"连接太多，请稍后再试"})"));
        held.clear();
        QTRY_COMPARE_WITH_TIMEOUT(RestProbe(QUrl(server.baseURL() + u'/')).post(QStringLiteral("/api/me"), {}).status, 401, 5000);
    }

    void oneUserCannotFloodEveryone()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto flooder = seeded.add(QStringLiteral("flooder"));
        const auto mallory = seeded.add(QStringLiteral("mallory"));
        QVERIFY(server.start(limits({"connectionsPerUser=3", "commandsPerSecond=1"})));

        // Ten sockets of one user share one allowance, and only three of them get in.
        std::vector<std::unique_ptr<WsProbe>> sockets;
        for (int i = 0; i < 3; ++i) {
            sockets.push_back(signedIn(server, flooder));
            QVERIFY(sockets.back());
        }
        WsProbe fourth(server.socketURL());
        QVERIFY(fourth.open());
        fourth.send(frame(QStringLiteral("auth"), {{QStringLiteral("token"), flooder.token}}));
        QCOMPARE(errorOf(fourth.waitFor(QStringLiteral("error"))), QStringLiteral("同时在线的连接太多，请关闭其他设备后再试"));
        QVERIFY(fourth.waitClosed());
        for (int round = 0; round < 10; ++round)
            for (auto &socket : sockets)
                socket->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("spam")}}));
        int refused = 0;
        QTRY_VERIFY_WITH_TIMEOUT((refused = errorsLike(*sockets[0], TooFrequent) + errorsLike(*sockets[1], TooFrequent)
                                            + errorsLike(*sockets[2], TooFrequent)) >= 8, 5000);
        QVERIFY2(refused <= 12, qPrintable(QString::number(refused))); // 20 at once, a few refilled meanwhile

        // Malformed frames use the allowance up too.
        auto other = signedIn(server, mallory);
        QVERIFY(other);
        for (int i = 0; i < 25; ++i)
            other->send({{QStringLiteral("no"), QStringLiteral("type")}});
        QTRY_VERIFY_WITH_TIMEOUT(errorsLike(*other, TooFrequent) >= 4, 5000);

        // A socket that has not signed in is closed on its first bad frame.
        WsProbe stranger(server.socketURL());
        QVERIFY(stranger.open());
        stranger.send({{QStringLiteral("no"), QStringLiteral("type")}});
        QVERIFY(stranger.waitClosed());
    }

    void feedsAreBoundedAndPrivate()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        const auto bob = seeded.add(QStringLiteral("bob"));
        const auto eve = seeded.add(QStringLiteral("eve"));
        seeded.befriend(alice, bob);
        QVERIFY(server.start(limits({"maxCommentsPerMoment=2", "momentActionBurst=4", "momentActionsPerSecond=0", "maxFeedBytes=2500"})));
        auto b = signedIn(server, bob);
        auto e = signedIn(server, eve);
        QVERIFY(b && e);
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        QString newest;
        for (int i = 0; i < 3; ++i) {
            const RestReply posted = rest.post(QStringLiteral("/api/moment-post"), {{QStringLiteral("token"), alice.token},
                                                                                   {QStringLiteral("text"), QString(1000, QChar(u'a' + i))}});
            QCOMPARE(posted.status, 200);
            newest = posted.json.value(QStringLiteral("moment")).toObject().value(QStringLiteral("id")).toString();
        }
        // A friend gets the newest posts that fit the byte budget; a stranger gets nothing.
        QVERIFY(!b->waitFor(QStringLiteral("moments")).isEmpty());
        QVERIFY(e->quietFor(QStringLiteral("moments"), 500));
        for (const auto &[reader, count] : {std::pair{bob, 2}, std::pair{eve, 0}}) {
            WsProbe again(server.socketURL());
            QVERIFY(again.open());
            const QJsonArray feed = again.signIn(reader.token).value(QStringLiteral("moments")).toArray();
            QCOMPARE(feed.size(), count);
            if (count)
                QCOMPARE(feed.first().toObject().value(QStringLiteral("id")).toString(), newest);
        }

        // Strangers can neither like, comment on nor delete what they cannot see.
        for (const char *type : {"moment-like", "moment-comment", "moment-delete"}) {
            e->send(frame(QString::fromLatin1(type), {{QStringLiteral("mid"), newest}, {QStringLiteral("text"), QStringLiteral("hi")}}));
            QCOMPARE(errorOf(e->waitFor(QStringLiteral("error"))), Missing);
        }
        // Comments per post and likes and comments per user are capped.
        for (int i = 0; i < 3; ++i)
            b->send(frame(QStringLiteral("moment-comment"), {{QStringLiteral("mid"), newest}, {QStringLiteral("text"), QStringLiteral("nice")}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("评论数量已达上限"));
        for (int i = 0; i < 3; ++i)
            b->send(frame(QStringLiteral("moment-like"), {{QStringLiteral("mid"), newest}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), TooFrequent);
    }

    void aBanEndsEverySessionForGood()
    {
        AdminScene scene;
        QVERIFY(scene.start());
        const auto &[server, admin, bob] = std::tie(scene.server, scene.admin, scene.bob);
        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("已封禁用户 bob"));
        admin->send(frame(QStringLiteral("unban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("已解除封禁"));
        // The stolen token stays dead after the ban is lifted.
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), bob.token}}).status, 401);
        WsProbe socket(server.socketURL());
        QVERIFY(socket.open());
        socket.send(frame(QStringLiteral("auth"), {{QStringLiteral("token"), bob.token}}));
        QVERIFY(!socket.waitFor(QStringLiteral("kicked")).isEmpty());
    }

    void uploadsAreRateLimitedAndSizedHonestly()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        QVERIFY(server.start(limits({"uploadBurst=3", "uploadsPerSecond=0"})));
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        const auto upload = [&](const QString &data) {
            return rest.post(QStringLiteral("/api/upload-msg-image"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), data}});
        };
        // 33 megapixels: more than Qt can decode, so "too large", never "corrupt".
        const RestReply huge = upload(claimedPngBase64(6000, 5500));
        QCOMPARE(huge.status, 413);
        QCOMPARE(huge.error(), QStringLiteral("图片尺寸过大"));
        QCOMPARE(upload(pngBase64()).status, 200);
        QCOMPARE(upload(pngBase64()).status, 200);
        const RestReply flood = upload(pngBase64());
        QCOMPARE(flood.status, 429);
        QCOMPARE(flood.error(), QStringLiteral("上传太频繁，请稍后再试"));
    }

    void slowWorkLeavesEveryoneElseServed()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        QVERIFY(server.start(limits({"uploadBurst=1000", "imageCheckQueue=1", "signInBurst=1000"})));
        // Nine images of nearly the pixel cap: each takes a worker a while to decode.
        const QJsonArray nine = [] {
            QJsonArray images;
            const QString large = pngBase64(5600, 5600);
            for (int i = 0; i < 9; ++i)
                images << large;
            return images;
        }();
        QNetworkAccessManager uploads, passwords;
        const auto post = [&server](QNetworkAccessManager &manager, const char *path, const QJsonObject &body) {
            QNetworkRequest request(QUrl(server.baseURL() + QLatin1String(path)));
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
            return manager.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
        };
        const auto status = [](QNetworkReply *reply) { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
        QList<QNetworkReply *> moments, signIns;
        for (int i = 0; i < 2; ++i)
            moments << post(uploads, "/api/moment-post", {{QStringLiteral("token"), alice.token}, {QStringLiteral("images"), nine}});
        for (int i = 0; i < 4; ++i) {
            signIns << post(passwords, "/api/register", {{QStringLiteral("username"), QStringLiteral("new%1").arg(i)},
                                                         {QStringLiteral("password"), SeededAccounts::password()}});
            signIns << post(passwords, "/api/login", {{QStringLiteral("username"), alice.name}, {QStringLiteral("password"), SeededAccounts::password()}});
        }
        // Past the queue bound the answer comes at once; the other is being decoded meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(moments.cbegin(), moments.cend(), [](QNetworkReply *r) { return r->isFinished(); }), 30000);
        QNetworkReply *refused = *std::find_if(moments.cbegin(), moments.cend(), [](QNetworkReply *r) { return r->isFinished(); });
        QCOMPARE(status(refused), 503);
        QCOMPARE(QJsonDocument::fromJson(refused->readAll()).object().value(QStringLiteral("error")).toString(),
                 QStringLiteral("服务器繁忙，请稍后再试"));
        moments.removeOne(refused);

        // The live channel answers while the uploads are still at work.
        const std::unique_ptr<WsProbe> bob = signedIn(server, seeded.add(QStringLiteral("bob")));
        QVERIFY(bob);
        bob->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("还在吗")}}));
        QVERIFY(!bob->waitFor(QStringLiteral("global")).isEmpty());
        QVERIFY(!moments.first()->isFinished());

        for (QNetworkReply *reply : moments + signIns) {
            QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 60000);
            QCOMPARE(status(reply), 200);
        }
    }

    void clientsLeavingMidWorkLeaveTheServerWell()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        QVERIFY(server.start(limits({"uploadBurst=1000", "signInBurst=1000", "registrationsPerAddress=1000"})));
        const QString image = pngBase64(3000, 3000);
        const QJsonObject credentials{{QStringLiteral("username"), alice.name}, {QStringLiteral("password"), SeededAccounts::password()}};
        // Each client sends its whole request and leaves before the worker is done with it.
        for (int round = 0; round < 20; ++round) {
            const QList<QByteArray> requests = {
                rawPost(QStringLiteral("/api/upload-msg-image"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), image}}),
                rawPost(QStringLiteral("/api/login"), credentials),
                rawPost(QStringLiteral("/api/register"), {{QStringLiteral("username"), QStringLiteral("gone%1").arg(round)},
                                                          {QStringLiteral("password"), SeededAccounts::password()}}),
            };
            for (const QByteArray &request : requests) {
                const std::unique_ptr<QSslSocket> socket = rawTls(server);
                QVERIFY(socket);
                socket->write(request);
                while (socket->bytesToWrite() > 0)
                    QVERIFY(socket->waitForBytesWritten(5000));
                socket->abort();
            }
        }
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        // Sign-ins still at work count against the address until they are verified.
        RestReply signIn;
        QTRY_COMPARE_WITH_TIMEOUT((signIn = rest.post(QStringLiteral("/api/login"), credentials)).status, 200, 30000);
        const QJsonObject upload{{QStringLiteral("token"), signIn.json.value(QStringLiteral("token"))}, {QStringLiteral("data"), pngBase64()}};
        QTRY_COMPARE_WITH_TIMEOUT(rest.post(QStringLiteral("/api/upload-msg-image"), upload).status, 200, 30000);
    }

    void passwordGuessesAndSignInsAreThrottled()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        QVERIFY(server.start(limits({"signInBurst=3", "signInsPerSecond=0", "sessionsPerUser=2"})));
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        // Guessing the old password with a stolen token counts as failed sign-ins.
        const QJsonObject guess{{QStringLiteral("token"), alice.token}, {QStringLiteral("oldPassword"), QStringLiteral("guess")},
                                {QStringLiteral("newPassword"), QStringLiteral("new12345")}, {QStringLiteral("newPassword2"), QStringLiteral("new12345")}};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rest.post(QStringLiteral("/api/change-password"), guess).status, 400);
        QCOMPARE(rest.post(QStringLiteral("/api/change-password"), guess).status, 429);

        // Successful sign-ins are limited per address, and a user keeps only the newest sessions.
        const auto bob = seeded.add(QStringLiteral("bob"));
        const QJsonObject credentials{{QStringLiteral("username"), QStringLiteral("bob")}, {QStringLiteral("password"), SeededAccounts::password()}};
        QStringList tokens;
        for (int i = 0; i < 3; ++i)
            tokens << rest.post(QStringLiteral("/api/login"), credentials).json.value(QStringLiteral("token")).toString();
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials).status, 429);
        const QList<QPair<QString, int>> sessions = {{bob.token, 401}, {tokens.at(0), 401}, {tokens.at(1), 200}, {tokens.at(2), 200}};
        for (const auto &[token, status] : sessions)
            QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), token}}).status, status);
    }

    void requestsNeedJsonAndTheCookieOnlySignsOut()
    {
        ServerProcess server;
        SeededAccounts seeded(server.dataPath());
        const auto alice = seeded.add(QStringLiteral("alice"));
        QVERIFY(server.start());
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        QNetworkRequest form(QUrl(server.baseURL() + QStringLiteral("/api/change-username")));
        form.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        QNetworkReply *reply = rest.manager().post(form, R"({"token":")" + alice.token.toLatin1() + R"(","newUsername":"owned"})");
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 415);
        delete reply;

        // The cookie from a sign-in is no token for anything but signing out and the group search.
        QVERIFY(rest.post(QStringLiteral("/api/login"), {{QStringLiteral("username"), QStringLiteral("alice")},
                                                        {QStringLiteral("password"), SeededAccounts::password()}}).status == 200);
        QCOMPARE(rest.post(QStringLiteral("/api/change-username"), {{QStringLiteral("newUsername"), QStringLiteral("owned")}}).status, 401);
        QCOMPARE(rest.get(QStringLiteral("/api/search-groups?keyword=x")).json.value(QStringLiteral("ok")).toBool(), true);
    }

    void unknownNamesCostOneFullPasswordCheck()
    {
        QTemporaryDir dir;
        Database db;
        QVERIFY(db.open(Database::location(dir.path(), TestDatabase::urlFor(dir.path()))));
        ManualClock clock;
        const Limits limits;
        QMutex lock;
        QStringList checked; // the stored hashes verified, in order
        const PasswordHasher hasher({1, 512, 1}, [&](const QString &encoded) {
            const QMutexLocker locked(&lock);
            checked << encoded;
        });
        AccountService accounts(db, clock, limits, hasher);
        QVERIFY(accounts.createUser(QStringLiteral("known"), SeededAccounts::password(), false));
        WorkerPool workers(1, 4);
        // Timing tells no names apart: an unknown name is checked against a hash of the same cost.
        for (const QString &name : {QStringLiteral("known"), QStringLiteral("ghost")}) {
            std::optional<Refusal> refusal;
            accounts.login(workers, name, QStringLiteral("wrong"), QStringLiteral("10.0.0.1"),
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
        const QString location = Database::location(dir.path(), TestDatabase::urlFor(dir.path()));
        const QStringList others = QSqlDatabase::connectionNames();
        QVERIFY(db.open(location));
        // Schema changes PostgreSQL cannot prepare go as plain text over the same connection.
        QStringList mine = QSqlDatabase::connectionNames();
        mine.removeIf([&others](const QString &name) { return others.contains(name); });
        QCOMPARE(mine.size(), 1);
        const auto change = [connection = mine.first()](const QString &sql) { return QSqlQuery(QSqlDatabase::database(connection)).exec(sql); };
        const ManualClock clock; // standing still: the failures share one time
        LoginThrottle throttle(db, clock, Limits().loginThrottleWindowMs);
        const QString key = QStringLiteral("address:10.0.0.1");
        for (int i = 0; i < 3; ++i)
            throttle.recordFailure(key);
        // Storing fails half-way: nothing is taken back, rather than every failure of that moment.
        const bool sqlite = db.backend() == Database::Backend::Sqlite;
        QVERIFY(change(sqlite ? QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON login_failures BEGIN SELECT RAISE(ABORT, 'refused'); END")
                              : QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE EXCEPTION 'refused'; END$$")));
        QVERIFY(sqlite || change(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON login_failures FOR EACH ROW EXECUTE FUNCTION refuse()")));
        throttle.withdraw(key);
        QVERIFY(change(sqlite ? QStringLiteral("DROP TRIGGER refuse") : QStringLiteral("DROP TRIGGER refuse ON login_failures")));
        QVERIFY(throttle.blocked(key, 3));
        throttle.withdraw(key);
        QVERIFY(!throttle.blocked(key, 3));
        QVERIFY(throttle.blocked(key, 2));
    }

    void adminChangesThatAreNotStoredAreNotAnnounced()
    {
        AdminScene scene;
        QVERIFY(scene.start());
        const auto &[server, admin, bob, seeded] = std::tie(scene.server, scene.admin, scene.bob, scene.seeded);
        auto b = signedIn(server, bob);
        QVERIFY(b);
        // 0 lifts the online limit; a negative value is refused.
        admin->send(frame(QStringLiteral("set-max-online"), {{QStringLiteral("value"), 1}}));
        QCOMPARE(b->waitFor(QStringLiteral("max-online")).value(QStringLiteral("maxOnline")).toInt(), 1);
        admin->send(frame(QStringLiteral("set-max-online"), {{QStringLiteral("value"), 0}}));
        QCOMPARE(b->waitFor(QStringLiteral("max-online")).value(QStringLiteral("maxOnline")).toInt(-1), 0);
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("在线人数上限已设为 1"));
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("已取消在线人数上限"));
        admin->send(frame(QStringLiteral("set-max-online"), {{QStringLiteral("value"), -1}}));
        QCOMPARE(errorOf(admin->waitFor(QStringLiteral("error"))), QStringLiteral("在线人数上限需为0-100000的整数（0为不限）"));
        QVERIFY(signedIn(server, seeded.add(QStringLiteral("carol"))));

        // Another writer holds what the administrator would change: nothing can be stored, so nothing is
        // announced.
        Database &db = seeded.database();
        QVERIFY(db.transaction());
        QVERIFY(HallSettings(db).setHallName(QStringLiteral("别家")) && UserStore(db).setBanned(bob.id, false));
        admin->send(frame(QStringLiteral("rename-hall"), {{QStringLiteral("name"), QStringLiteral("黑店")}}));
        QCOMPARE(errorOf(admin->waitFor(QStringLiteral("error"), 15000)), QStringLiteral("保存失败，请重试"));
        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(errorOf(admin->waitFor(QStringLiteral("error"), 15000)), QStringLiteral("服务器错误，请稍后再试"));
        db.rollback();
        QVERIFY(b->quietFor(QStringLiteral("hall-renamed"), 100));
        QVERIFY(b->isOpen());
        QCOMPARE(RestProbe(QUrl(server.baseURL() + u'/')).post(QStringLiteral("/api/me"), {{QStringLiteral("token"), bob.token}}).status, 200);
    }
};

QTEST_GUILESS_MAIN(HostileTrafficTest)
#include "HostileTrafficTest.moc"
