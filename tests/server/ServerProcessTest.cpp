// The real zephlin-server executable: its command line, its certificate, nodes migrating one database
// together, and a reconnect storm after a restart. That nothing delivered is lost when the process is killed in the middle of
// traffic is the delivery end-to-end test's (every typed message once in the server's history).
#include "storage/Database.h"
#include "storage/Schema.h"
#include "DevCertificates.h"
#include "RestProbe.h"
#include "SeededAccounts.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "TlsTrust.h"
#include "WsProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>
#include <array>

using namespace Qt::StringLiterals;

namespace {
const QString Binary = QStringLiteral(ZEPHLIN_SERVER_BINARY);

// Runs a command on a data folder to completion and returns its exit code; `output` takes its standard output.
int run(const QStringList &arguments, const QString &data, const QByteArray &input = {}, QString *output = nullptr)
{
    QProcess process;
    process.start(Binary, arguments + QStringList{u"--data"_s, data} + TestDatabase::arguments(data));
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitCode();
}

QString login(const ServerProcess &server, const QString &name, const QString &password, QJsonObject *user = nullptr)
{
    const RestReply reply = RestProbe(QUrl(server.baseURL() + u'/')).login(name, password);
    if (user)
        *user = reply.json.value(u"user"_s).toObject();
    return reply.json.value(u"token"_s).toString();
}

void expectLatestSchema(const QString &data)
{
    Database db;
    QVERIFY(db.open(Database::location(data, TestDatabase::urlFor(data))));
    const auto steps = db.backend() == Database::Backend::Postgres ? Schema::postgresSteps() : Schema::sqliteSteps();
    QCOMPARE(db.schemaVersion(), int(steps.size()));
}

// One client of the storm: signs in whenever its socket connects and counts its hellos.
struct StormClient
{
    explicit StormClient(const QString &token)
    {
        QObject::connect(&socket, &QWebSocket::connected, &socket, [this, token] {
            socket.sendTextMessage(uR"({"type":"auth","token":"%1"})"_s.arg(token));
        });
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            hellos += QJsonDocument::fromJson(text.toUtf8()).object().value(u"type"_s).toString() == u"hello"_s;
        });
    }

    QWebSocket socket;
    int hellos = 0;
};
} // namespace

class ServerProcessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandLineManagesUsersAndSeedsOnce()
    {
        ServerProcess server;
        const QString data = server.dataPath();
        QTemporaryDir occupied;
        run({u"user"_s, u"add"_s, u"mallory"_s}, occupied.path(), "mal12\n");
        QCOMPARE(run({u"seed-demo"_s}, occupied.path()), 1); // real users: no accounts with published passwords join them

        QString output;
        QCOMPARE(run({u"seed-demo"_s}, data, {}, &output), 0);
        QVERIFY(output.contains(u"demo data created"_s) && output.contains(u"alice / alice123"_s));
        QCOMPARE(run({u"seed-demo"_s}, data, {}, &output), 0);
        QVERIFY(output.contains(u"demo data already present"_s) && output.contains(u"alice / alice123"_s));

        QCOMPARE(run({u"user"_s, u"add"_s, u"root"_s, u"--admin"_s}, data, "secret1\n", &output), 0);
        QVERIFY(output.contains(u"created user root"_s));
        QCOMPARE(run({u"user"_s, u"add"_s, u"root"_s}, data, "x1234\n"), 1); // the name is taken
        QCOMPARE(run({u"user"_s, u"add"_s, u"eve"_s}, data, "eve12\n"), 0);
        QCOMPARE(run({u"user"_s, u"admin"_s, u"eve"_s, u"on"_s}, data), 0);

        QVERIFY(QFile::setPermissions(data, QFileInfo(data).permissions() | QFileDevice::ReadOther | QFileDevice::ExeOther));
        QVERIFY(server.start());
        // The data folder and everything in it are the server's alone.
        for (const QString &path : {data, QDir(data).filePath(u"zephlin.db"_s)})
            QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
        QJsonObject eve;
        QVERIFY(!login(server, u"eve"_s, u"eve12"_s, &eve).isEmpty());
        QCOMPARE(eve.value(u"role"_s).toString(), u"admin"_s);
        WsProbe socket(server.socketURL());
        QVERIFY(socket.open());
        // The demo fills every part of the snapshot (how much of each is the demo's own business).
        const QJsonObject hello = socket.signIn(login(server, u"alice"_s, u"alice123"_s));
        for (const char *member : {"globalMsgs", "groups", "moments", "groupApplyRequests", "pendingRequests"})
            QVERIFY2(!hello.value(QLatin1String(member)).toArray().isEmpty(), member);
    }

    void servesWithTheOperatorsCertificate()
    {
        QTemporaryDir dir;
        const Result<DevCertificates> certs = DevCertificates::generate();
        QVERIFY(certs.ok());
        const QString certPath = dir.filePath(u"cert.pem"_s);
        const QString keyPath = dir.filePath(u"key.pem"_s);
        for (const auto &[path, bytes] : {std::pair{certPath, certs->serverCertificatePem}, std::pair{keyPath, certs->serverKeyPem}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        const QStringList serve{u"serve"_s, u"--listen"_s, u"127.0.0.1:0"_s, u"--tls-key"_s, keyPath, u"--tls-cert"_s};
        QProcess server;
        server.start(Binary, serve + QStringList{certPath, u"--data"_s, dir.filePath(u"data"_s)});
        QString output;
        const QRegularExpression listening(u"listening on (https://127\\.0\\.0\\.1:\\d+)"_s);
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(server.readAllStandardOutput())).contains(listening), 30000);
        TlsTrust::addCaCertificates({certs->caCertificate});
        const RestReply answer = RestProbe(QUrl(listening.match(output).captured(1) + u'/')).post(u"/api/me"_s, {});
        QVERIFY2(answer.transportError.isEmpty(), qPrintable(answer.transportError));
        QCOMPARE(answer.status, 401);
        // It started itself again with its heap on huge pages.
        QFile environment(u"/proc/%1/environ"_s.arg(server.processId()));
        QVERIFY(environment.open(QIODevice::ReadOnly) && environment.readAll().contains("glibc.malloc.hugetlb=1"));
        server.kill();
        server.waitForFinished();
        QCOMPARE(run(serve + QStringList{dir.filePath(u"missing.pem"_s)}, dir.path()), 2);
    }

    void nodesStartingTogetherMigrateOnce()
    {
        QTemporaryDir data;
        std::array<QProcess, 3> nodes;
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i].start(Binary, QStringList{u"user"_s, u"add"_s, u"node%1"_s.arg(i), u"--data"_s, data.path()} + TestDatabase::arguments(data.path()));
            nodes[i].write("pass1234\n");
            nodes[i].closeWriteChannel();
        }
        for (QProcess &node : nodes) {
            QVERIFY(node.waitForFinished(60000));
            QCOMPARE(node.exitCode(), 0);
        }
        expectLatestSchema(data.path());
    }

    // A reconnect storm after a restart: 500 clients signed in, the server killed and started again on
    // its port, and every client reconnecting within the same second. All of them must be back with
    // their hello in time, and the server must still accept connections.
    void everyClientIsBackAfterARestart()
    {
        constexpr int Clients = 500;
        ServerProcess server;
        const QList<SeededAccounts::Account> accounts = SeededAccounts(server.dataPath()).addMany(u"storm"_s, Clients);
        const QStringList arguments = {u"--limit"_s, u"connectionsPerAddress=%1"_s.arg(2 * Clients)};
        QVERIFY(server.start(arguments));
        std::vector<std::unique_ptr<StormClient>> clients;
        const auto count = [&clients](const std::function<bool(const StormClient &)> &test) {
            return int(std::count_if(clients.cbegin(), clients.cend(), [&](const auto &client) { return test(*client); }));
        };
        for (const SeededAccounts::Account &account : accounts) {
            clients.push_back(std::make_unique<StormClient>(account.token));
            clients.back()->socket.open(server.socketURL());
        }
        QTRY_COMPARE_WITH_TIMEOUT(count([](const StormClient &c) { return c.hellos == 1; }), Clients, 60000);

        const quint16 port = server.port();
        server.stop(); // SIGKILL
        QTRY_COMPARE_WITH_TIMEOUT(count([](const StormClient &c) { return c.socket.state() == QAbstractSocket::UnconnectedState; }), Clients, 10000);
        QVERIFY(server.start(arguments, port));
        QElapsedTimer storm;
        storm.start();
        for (auto &client : clients)
            client->socket.open(server.socketURL());
        QVERIFY2(storm.elapsed() < 1000, "the clients did not reconnect within one second");
        QTRY_COMPARE_WITH_TIMEOUT(count([](const StormClient &c) { return c.hellos == 2; }), Clients, 30000);
        qInfo("all %d clients back with their hello after %lld ms", Clients, storm.elapsed());

        QCOMPARE(RestProbe(QUrl(server.baseURL())).post(u"/api/me"_s, {}).status, 401);
    }
};

QTEST_GUILESS_MAIN(ServerProcessTest)
#include "ServerProcessTest.moc"
