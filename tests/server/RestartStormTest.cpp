// A reconnect storm after a restart: 500 clients signed in to the real server, the server killed and
// started again on its port, and every client reconnecting within the same second. All of them must be
// back with their hello in time, and the server must still accept connections. (That nothing committed
// is lost is the delivery end-to-end test's.)
#include "RestProbe.h"
#include "SeededAccounts.h"
#include "ServerProcess.h"

#include <QJsonDocument>
#include <QWebSocket>
#include <QtTest>
#include <memory>

namespace {
constexpr int Clients = 500;

// One client of the storm: signs in whenever its socket connects and counts its hellos.
struct StormClient
{
    explicit StormClient(const QString &token)
    {
        QObject::connect(&socket, &QWebSocket::connected, &socket, [this, token] {
            socket.sendTextMessage(QStringLiteral(R"({"type":"auth","token":"%1"})").arg(token));
        });
        QObject::connect(&socket, &QWebSocket::textMessageReceived, &socket, [this](const QString &text) {
            const QJsonObject event = QJsonDocument::fromJson(text.toUtf8()).object();
            hellos += event.value(QStringLiteral("type")).toString() == QLatin1String("hello");
        });
    }

    QWebSocket socket;
    int hellos = 0;
};

int count(const std::vector<std::unique_ptr<StormClient>> &clients, const std::function<bool(const StormClient &)> &test)
{
    return int(std::count_if(clients.cbegin(), clients.cend(), [&](const auto &client) { return test(*client); }));
}
} // namespace

class RestartStormTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyClientIsBackAfterARestart()
    {
        ServerProcess server;
        const QList<SeededAccounts::Account> accounts = SeededAccounts(server.dataPath()).addMany(QStringLiteral("storm"), Clients);
        const QStringList arguments = {QStringLiteral("--limit"), QStringLiteral("connectionsPerAddress=%1").arg(2 * Clients)};
        QVERIFY(server.start(arguments));
        std::vector<std::unique_ptr<StormClient>> clients;
        for (const SeededAccounts::Account &account : accounts) {
            clients.push_back(std::make_unique<StormClient>(account.token));
            clients.back()->socket.open(server.socketURL());
        }
        QTRY_COMPARE_WITH_TIMEOUT(count(clients, [](const StormClient &c) { return c.hellos == 1; }), Clients, 60000);

        const quint16 port = server.port();
        server.stop(); // SIGKILL
        QTRY_COMPARE_WITH_TIMEOUT(count(clients, [](const StormClient &c) { return c.socket.state() == QAbstractSocket::UnconnectedState; }),
                                  Clients, 10000);
        QVERIFY(server.start(arguments, port));
        QElapsedTimer storm;
        storm.start();
        for (auto &client : clients)
            client->socket.open(server.socketURL());
        QVERIFY2(storm.elapsed() < 1000, "the clients did not reconnect within one second");
        QTRY_COMPARE_WITH_TIMEOUT(count(clients, [](const StormClient &c) { return c.hellos == 2; }), Clients, 30000);
        qInfo("all %d clients back with their hello after %lld ms", Clients, storm.elapsed());

        const RestReply fresh = RestProbe(QUrl(server.baseURL() + u'/')).post(QStringLiteral("/api/me"), {});
        QVERIFY2(fresh.transportError.isEmpty(), qPrintable(fresh.transportError));
        QCOMPARE(fresh.status, 401);
    }
};

QTEST_GUILESS_MAIN(RestartStormTest)
#include "RestartStormTest.moc"
