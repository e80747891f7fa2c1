// The WebSocket connection against a real TLS WebSocket server on loopback: authentication, frames
// both ways, drops, the watchdog, reconnects, manual disconnects and refused certificates.
#include "LogRecorder.h"
#include "LoopbackTls.h"
#include "WebSocketTestServer.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace loopback;

namespace {
// Quick authentication and watchdog; the reconnect delays keep their product values so the log
// lines read as in production (the watchdog reconnects long before a scheduled reconnect fires).
WebSocketTiming fastTiming()
{
    WebSocketTiming timing;
    timing.authDelay = 20ms;
    timing.connectionCheckInterval = 50ms;
    return timing;
}
} // namespace

class TestWebSocketService : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::optional<DevCertificates> m_certificates;
    std::unique_ptr<WebSocketTestServer> m_server;
    std::unique_ptr<WebSocketService> m_service;
    std::unique_ptr<LogRecorder> m_log;
    int m_drops = 0;

    WebSocketService &service(const WebSocketTiming &timing)
    {
        m_service = std::make_unique<WebSocketService>(timing);
        m_service->onDisconnect = [this] { ++m_drops; };
        return *m_service;
    }

    // Connects and waits until the server holds the authenticated connection.
    WebSocketService &connected(const WebSocketTiming &timing, const QString &token = QStringLiteral("tok-1"))
    {
        WebSocketService &ws = service(timing);
        ws.connectToServer(token);
        [&] { QTRY_VERIFY(m_server->received.contains(authFrame(token))); }();
        return ws;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::shared().setLocation(m_dir.path());
        QVERIFY((m_certificates = trustedCertificates()));
    }

    void init()
    {
        m_server = std::make_unique<WebSocketTestServer>(*m_certificates);
        QVERIFY(m_server->listen() != 0);
        setServer(m_server->baseURL());
        m_log = std::make_unique<LogRecorder>();
        m_drops = 0;
    }

    void cleanup()
    {
        // The token never reaches the console.
        QVERIFY(!m_log->anyContains(QStringLiteral("tok-")));
        m_service.reset();
        m_server.reset();
    }

    void reconnectDelayGrowsWithTheAttemptUpToItsCap()
    {
        const WebSocketTiming timing;
        QCOMPARE(timing.reconnectDelaySeconds(2), 2 * timing.reconnectDelaySeconds(1));
        QCOMPARE(timing.reconnectDelaySeconds(100), timing.reconnectCapSeconds);
    }

    // Connected as soon as asked; commands handed over before the authentication follow it.
    void connectIsConnectedAtOnceAndAuthenticatesFirst()
    {
        WebSocketTiming timing = fastTiming();
        timing.authDelay = 300ms;
        WebSocketService &ws = service(timing);
        QSignalSpy changed(&ws, &WebSocketService::isConnectedChanged);
        ws.connectToServer(QStringLiteral("tok-1"));
        QVERIFY(ws.isConnected());
        QCOMPARE(changed.count(), 1);
        ws.sendDM(QStringLiteral("u2"), QString(), {QStringLiteral("https://10.0.0.5/i/1.jpg")}); // still opening
        QTRY_COMPARE(m_server->connectionCount(), 1);
        ws.sendGlobal(QStringLiteral("open")); // open, the authentication not yet due
        QTRY_COMPARE(m_server->received.size(), 3);
        QCOMPARE(m_server->received.at(0), authFrame(QStringLiteral("tok-1")));
        QCOMPARE(parsed(m_server->received.at(1)), json("{'type':'dm','to':'u2','content':'','images':['https://10.0.0.5/i/1.jpg']}"));
        QCOMPARE(parsed(m_server->received.at(2)), json("{'type':'global','content':'open'}"));
        QCOMPARE(m_server->connectionCount(), 1);
    }

    void framesBothWays()
    {
        WebSocketService &ws = connected(fastTiming());
        QStringList texts;
        ws.onSystem = [&](const QString &text) { texts.append(text); };
        m_server->sendText(QStringLiteral(R"({"type":"system","content":"t"})"));
        m_server->sendBinary(QStringLiteral(R"({"type":"system","content":"二"})").toUtf8());
        m_server->sendBinary(QByteArray("{\"type\":\"system\",\"content\":\"\xff\xfe\"}"));
        m_server->sendText(QStringLiteral(R"({"type":"system","content":"after"})"));
        QTRY_COMPARE(texts.size(), 3);
        QCOMPARE(texts, (QStringList{QStringLiteral("t"), QStringLiteral("二"), QStringLiteral("after")}));

        // Commands reach the server as compact text frames.
        ws.sendGlobal(QStringLiteral("hi"));
        ws.send(QJsonObject{{QStringLiteral("type"), QStringLiteral("set-max-online")}, {QStringLiteral("value"), 5}});
        QTRY_COMPARE(m_server->received.size(), 3);
        QCOMPARE(m_server->received.at(1), QStringLiteral(R"({"content":"hi","type":"global"})"));
        QCOMPARE(m_server->received.at(2), QStringLiteral(R"({"type":"set-max-online","value":5})"));
    }

    void droppedConnectionSchedulesReconnectAndWatchdogReconnects_data()
    {
        QTest::addColumn<bool>("withCloseFrame");
        QTest::addColumn<int>("dropEvents");
        // A TCP connection lost without a close frame reports an error and then the close: two drop
        // events for one socket. A close frame reports the close only.
        QTest::newRow("TCP dropped without a close frame") << false << 2;
        QTest::newRow("server close frame") << true << 1;
    }
    void droppedConnectionSchedulesReconnectAndWatchdogReconnects()
    {
        QFETCH(bool, withCloseFrame);
        QFETCH(int, dropEvents);
        WebSocketService &ws = connected(fastTiming());
        QList<bool> states;
        QObject scope; // ends the recording with this test
        connect(&ws, &WebSocketService::isConnectedChanged, &scope, [&] { states.append(ws.isConnected()); });
        withCloseFrame ? m_server->closeNewest() : m_server->dropNewest();
        QTRY_COMPARE(m_drops, dropEvents);
        QCOMPARE(states.value(0, true), false);
        QCOMPARE(m_log->count(QStringLiteral("WS reconnect scheduled in 2.0s (attempt 1)")), 1);
        // The second event of the same drop replaces the scheduled reconnect with attempt 2 at 4.0 s.
        QCOMPARE(m_log->count(QStringLiteral("WS reconnect scheduled in 4.0s (attempt 2)")), dropEvents - 1);
        // The watchdog reconnects well before the scheduled reconnect fires.
        QTRY_COMPARE(m_server->connectionCount(), 2);
        QCOMPARE(m_log->count(QStringLiteral("WS connection check: not connected, reconnecting...")), 1);
        QTRY_COMPARE(m_server->received.count(authFrame(QStringLiteral("tok-1"))), 2);
        QVERIFY(ws.isConnected());
        QCOMPARE(m_drops, dropEvents);
    }

    void reconnectsOnceTheServerAcceptsAgain()
    {
        WebSocketService &ws = connected(fastTiming());
        m_server->refuse();
        m_server->dropNewest();
        QTRY_VERIFY(m_drops >= 6); // the drop, then refused attempts, two events each
        // Each attempt goes through connect, which starts counting again: never beyond attempt 2.
        QVERIFY(m_log->count(QStringLiteral("WS reconnect scheduled in 2.0s (attempt 1)")) >= 3);
        QCOMPARE(m_log->countStartingWith(QStringLiteral("WS reconnect scheduled in 6.0s")), 0);
        QCOMPARE(m_server->connectionCount(), 1);
        m_server->listen();
        QTRY_COMPARE(m_server->connectionCount(), 2);
        QTRY_COMPARE(m_server->received.size(), 2);
        QCOMPARE(m_server->received.last(), authFrame(QStringLiteral("tok-1")));
        QTRY_VERIFY(ws.isConnected());
    }

    void connectWhileConnectedReplacesTheSocketWithoutADrop()
    {
        WebSocketService &ws = connected(fastTiming(), QStringLiteral("tok-a"));
        QSignalSpy gone(m_server.get(), &WebSocketTestServer::clientDisconnected);
        ws.connectToServer(QStringLiteral("tok-b"));
        QVERIFY(ws.isConnected());
        QTRY_COMPARE(gone.count(), 1);
        QTRY_COMPARE(m_server->received.size(), 2);
        QCOMPARE(m_server->received.last(), authFrame(QStringLiteral("tok-b")));
        // The torn-down socket's late close reaches nothing: no drop, no reconnect storm.
        QTest::qWait(200);
        QCOMPARE(m_drops, 0);
        QCOMPARE(m_log->countStartingWith(QStringLiteral("WS reconnect scheduled")), 0);
        QCOMPARE(m_server->connectionCount(), 2);
        QVERIFY(ws.isConnected());
    }

    void disconnectStopsEveryTimerAndReconnect()
    {
        WebSocketTiming timing = fastTiming();
        timing.authDelay = 150ms;
        WebSocketService &ws = connected(timing);
        QSignalSpy gone(m_server.get(), &WebSocketTestServer::clientDisconnected);
        ws.disconnectFromServer();
        QVERIFY(!ws.isConnected());
        QTRY_COMPARE(gone.count(), 1);
        ws.reconnectIfNeeded();
        // A connection ended before its authentication is due never authenticates.
        ws.connectToServer(QStringLiteral("tok-1"));
        ws.disconnectFromServer();
        QVERIFY(!ws.isConnected());
        QTest::qWait(400);
        QCOMPARE(m_drops, 0);
        QCOMPARE(m_log->countStartingWith(QStringLiteral("WS ")), 0);
        ws.sendGlobal(QStringLiteral("after"));
        QCOMPARE(m_server->received, QStringList{authFrame(QStringLiteral("tok-1"))});
    }

    void sendOnADeadSocketAndReconnectIfNeededAfterADrop()
    {
        WebSocketService &ws = connected(staysDownTiming());
        ws.reconnectIfNeeded(); // connected: nothing to do
        m_server->dropNewest();
        QTRY_VERIFY(!ws.isConnected());
        ws.sendGlobal(QStringLiteral("lost"));
        QCOMPARE(m_log->countStartingWith(QStringLiteral("WS send error: ")), 1);
        QCOMPARE(m_server->connectionCount(), 1);
        ws.reconnectIfNeeded();
        QVERIFY(ws.isConnected());
        QTRY_COMPARE(m_server->connectionCount(), 2);
        QTRY_COMPARE(m_server->received.size(), 2);
        QCOMPARE(m_server->received.last(), authFrame(QStringLiteral("tok-1")));
    }

    void pingOnASocketThatNeverOpenedReportsTheError()
    {
        // Accepts TCP but never answers the TLS handshake: the socket stays opening.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        setServer(QStringLiteral("https://127.0.0.1:%1").arg(silent.serverPort()));
        WebSocketTiming timing = fastTiming();
        timing.heartbeatInterval = 30ms;
        WebSocketService &ws = service(timing);
        ws.connectToServer(QStringLiteral("tok-1"));
        QTRY_VERIFY(m_log->countStartingWith(QStringLiteral("WS ping error: ")) >= 1);
        QCOMPARE(m_drops, 0);
        QVERIFY(ws.isConnected()); // a failed ping changes nothing
    }

    void unparsableAddressIsRetriedByTheWatchdog()
    {
        setServer(QStringLiteral("https://exa mple.org"));
        WebSocketService &ws = service(fastTiming());
        ws.connectToServer(QStringLiteral("tok-1"));
        QVERIFY(!ws.isConnected());
        QTRY_VERIFY(m_log->count(QStringLiteral("WS connection check: not connected, reconnecting...")) >= 2);
        ws.sendGlobal(QStringLiteral("x"));
        QCOMPARE(m_log->countStartingWith(QStringLiteral("WS send error")), 0);
        ws.disconnectFromServer();
    }

    void untrustedCertificateIsRefused()
    {
        const Result<DevCertificates> other = DevCertificates::generate();
        QVERIFY(other.ok());
        WebSocketTestServer untrusted(other.value());
        QVERIFY(untrusted.listen() != 0);
        setServer(untrusted.baseURL());
        WebSocketService &ws = service(staysDownTiming());
        ws.connectToServer(QStringLiteral("tok-1"));
        QTRY_VERIFY(m_drops >= 1);
        QVERIFY(!ws.isConnected());
        QTest::qWait(100);
        QCOMPARE(untrusted.connectionCount(), 0);
        QVERIFY(untrusted.received.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWebSocketService)
#include "TestWebSocketService.moc"
