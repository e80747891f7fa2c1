// The real zephlin-server executable: its command line, and that nothing delivered is lost when the
// process is killed in the middle of traffic.
#include "storage/Database.h"
#include "storage/Schema.h"
#include "DevCertificates.h"
#include "RestProbe.h"
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
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <array>

namespace {
const QString Binary = QStringLiteral(ZEPHLIN_SERVER_BINARY);

// Runs a command to completion and returns its standard output (empty when it failed).
QString runCommand(const QStringList &arguments, const QByteArray &input = {}, int *exitCode = nullptr)
{
    QProcess process;
    process.start(Binary, arguments + TestDatabase::arguments(arguments.value(arguments.indexOf(QStringLiteral("--data")) + 1)));
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

class ServerProcessTest : public QObject
{
    Q_OBJECT

private:
    static QString login(const ServerProcess &server, const QString &name, const QString &password, QJsonObject *user = nullptr)
    {
        RestProbe rest(QUrl(server.baseURL() + u'/'));
        const RestReply reply = rest.post(QStringLiteral("/api/login"),
                                          {{QStringLiteral("username"), name}, {QStringLiteral("password"), password}});
        if (user)
            *user = reply.json.value(QStringLiteral("user")).toObject();
        return reply.json.value(QStringLiteral("token")).toString();
    }

    static int latestVersion(const Database &db)
    {
        return int((db.backend() == Database::Backend::Postgres ? Schema::postgresSteps() : Schema::sqliteSteps()).size());
    }

private Q_SLOTS:
    void commandLineManagesUsersAndSeedsOnce()
    {
        ServerProcess server;
        const QString data = server.dataPath();
        int code = -1;
        QTemporaryDir occupied;
        runCommand({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("mallory"), QStringLiteral("--data"), occupied.path()}, "mal12\n");
        runCommand({QStringLiteral("seed-demo"), QStringLiteral("--data"), occupied.path()}, {}, &code);
        QCOMPARE(code, 1); // real users: no accounts with published passwords join them

        const QString first = runCommand({QStringLiteral("seed-demo"), QStringLiteral("--data"), data});
        QVERIFY(first.contains(QStringLiteral("demo data created")));
        QVERIFY(first.contains(QStringLiteral("alice / alice123")));
        const QString second = runCommand({QStringLiteral("seed-demo"), QStringLiteral("--data"), data});
        QVERIFY(second.contains(QStringLiteral("demo data already present")));
        QVERIFY(second.contains(QStringLiteral("alice / alice123")));

        const QString added = runCommand({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("root"), QStringLiteral("--admin"),
                                          QStringLiteral("--data"), data}, "secret1\n", &code);
        QCOMPARE(code, 0);
        QVERIFY(added.contains(QStringLiteral("created user root")));
        runCommand({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("root"), QStringLiteral("--data"), data}, "x1234\n", &code);
        QCOMPARE(code, 1); // the name is taken
        runCommand({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("eve"), QStringLiteral("--data"), data}, "eve12\n", &code);
        QCOMPARE(code, 0);
        runCommand({QStringLiteral("user"), QStringLiteral("admin"), QStringLiteral("eve"), QStringLiteral("on"), QStringLiteral("--data"), data}, {}, &code);
        QCOMPARE(code, 0);

        QVERIFY(QFile::setPermissions(data, QFileInfo(data).permissions() | QFileDevice::ReadOther | QFileDevice::ExeOther));
        QVERIFY(server.start());
        // The data folder and everything in it are the server's alone.
        for (const QString &path : {data, QDir(data).filePath(QStringLiteral("zephlin.db"))})
            QCOMPARE(QFileInfo(path).permissions() & 0x0077, QFileDevice::Permissions());
        QJsonObject eve;
        QVERIFY(!login(server, QStringLiteral("eve"), QStringLiteral("eve12"), &eve).isEmpty());
        QCOMPARE(eve.value(QStringLiteral("role")).toString(), QStringLiteral("admin"));
        WsProbe socket(server.socketURL());
        QVERIFY(socket.open());
        const QJsonObject hello = socket.signIn(login(server, QStringLiteral("alice"), QStringLiteral("alice123")));
        QCOMPARE(hello.value(QStringLiteral("globalMsgs")).toArray().size(), 10);
        QCOMPARE(hello.value(QStringLiteral("groups")).toArray().size(), 2);
        QCOMPARE(hello.value(QStringLiteral("moments")).toArray().size(), 5);
        QCOMPARE(hello.value(QStringLiteral("groupApplyRequests")).toArray().size(), 1);
        QCOMPARE(hello.value(QStringLiteral("pendingRequests")).toArray().size(), 1);
    }

    void servesWithTheOperatorsCertificate()
    {
        QTemporaryDir dir;
        const Result<DevCertificates> certs = DevCertificates::generate();
        QVERIFY(certs.ok());
        const QString certPath = dir.filePath(QStringLiteral("cert.pem"));
        const QString keyPath = dir.filePath(QStringLiteral("key.pem"));
        for (const auto &[path, bytes] : {std::pair{certPath, certs->serverCertificatePem}, std::pair{keyPath, certs->serverKeyPem}}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        QProcess server;
        server.start(Binary, {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"),
                              dir.filePath(QStringLiteral("data")), QStringLiteral("--tls-cert"), certPath, QStringLiteral("--tls-key"), keyPath});
        QString output;
        const QRegularExpression listening(QStringLiteral("listening on (https://127\\.0\\.0\\.1:\\d+)"));
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(server.readAllStandardOutput())).contains(listening), 30000);
        TlsTrust::addCaCertificates({certs->caCertificate});
        RestProbe rest(QUrl(listening.match(output).captured(1) + u'/'));
        const RestReply answer = rest.post(QStringLiteral("/api/me"), {});
        QVERIFY2(answer.transportError.isEmpty(), qPrintable(answer.transportError));
        QCOMPARE(answer.status, 401);
        server.kill();
        server.waitForFinished();

        int code = 0;
        runCommand({QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--data"), dir.path(),
                    QStringLiteral("--tls-cert"), dir.filePath(QStringLiteral("missing.pem")), QStringLiteral("--tls-key"), keyPath}, {}, &code);
        QCOMPARE(code, 2);
    }

    void killedMidTrafficLosesNothingDelivered()
    {
        ServerProcess server;
        runCommand({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("alice"), QStringLiteral("--data"), server.dataPath()}, "pass1234\n");
        QVERIFY(server.start());
        WsProbe socket(server.socketURL());
        QVERIFY(socket.open());
        QVERIFY(!socket.signIn(login(server, QStringLiteral("alice"), QStringLiteral("pass1234"))).isEmpty());
        for (int i = 0; i < 20; ++i)
            socket.send({{QStringLiteral("type"), QStringLiteral("global")}, {QStringLiteral("content"), QString::number(i)}});
        // Kill as soon as some of the echoes are in: the rest are in flight.
        QSet<QString> delivered;
        QElapsedTimer timer;
        timer.start();
        while (delivered.size() < 8 && timer.elapsed() < 20000) {
            const QJsonObject echo = socket.waitFor(QStringLiteral("global"), 20);
            if (!echo.isEmpty())
                delivered.insert(echo.value(QStringLiteral("id")).toString());
        }
        server.stop(); // SIGKILL: no shutdown code runs
        QVERIFY(delivered.size() >= 8);

        QVERIFY(server.start()); // the same data folder
        WsProbe again(server.socketURL());
        QVERIFY(again.open());
        const QJsonArray history = again.signIn(login(server, QStringLiteral("alice"), QStringLiteral("pass1234")))
                                       .value(QStringLiteral("globalMsgs")).toArray();
        QSet<QString> kept;
        for (const QJsonValue &message : history)
            kept.insert(message.toObject().value(QStringLiteral("id")).toString());
        QVERIFY2(kept.contains(delivered), qPrintable(QStringLiteral("kept %1 of %2").arg(kept.size()).arg(delivered.size())));
        QVERIFY(history.size() <= 20);
        server.stop();

        // Reopening runs no migration twice: the schema stays at its version.
        Database db;
        QVERIFY(db.open(Database::location(server.dataPath(), TestDatabase::urlFor(server.dataPath()))));
        QCOMPARE(db.schemaVersion(), latestVersion(db));
    }

    void nodesStartingTogetherMigrateOnce()
    {
        QTemporaryDir data;
        const QStringList target = QStringList{QStringLiteral("--data"), data.path()} + TestDatabase::arguments(data.path());
        std::array<QProcess, 3> nodes;
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i].start(Binary, QStringList{QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("node%1").arg(i)} + target);
            nodes[i].write("pass1234\n");
            nodes[i].closeWriteChannel();
        }
        for (QProcess &node : nodes) {
            QVERIFY(node.waitForFinished(60000));
            QCOMPARE(node.exitCode(), 0);
        }
        Database db;
        QVERIFY(db.open(Database::location(data.path(), TestDatabase::urlFor(data.path()))));
        QCOMPARE(db.schemaVersion(), latestVersion(db));
    }
};

QTEST_GUILESS_MAIN(ServerProcessTest)
#include "ServerProcessTest.moc"
