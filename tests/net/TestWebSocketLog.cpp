// What the connection writes to the encrypted log, read back with the development log key: the
// lines and levels of connect, manual disconnect, foreground resume and an unusable address, and
// never the token.
#include "LogReadBack.h"
#include "LoopbackWebSocket.h"

#include <QRegularExpression>
#include <QTest>

using namespace loopback;

class TestWebSocketLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectionLifecycleLines()
    {
        LoopbackWebSocket site;
        QVERIFY(site.start());
        WebSocketTestServer &server = *site.server;
        const LogReadBack log;
        WebSocketService ws(staysDownTiming());
        ws.connectToServer(QStringLiteral("tok-secret-1"));
        QTRY_COMPARE(server.received.size(), 1);
        ws.connectToServer(QStringLiteral("tok-secret-2"));
        QTRY_COMPARE(server.received.size(), 2);
        server.dropNewest();
        QTRY_VERIFY(!ws.isConnected());
        ws.reconnectIfNeeded();
        ws.disconnectFromServer();
        setServer(QStringLiteral("https://exa mple.org"));
        ws.connectToServer(QStringLiteral("tok-x"));
        ws.disconnectFromServer();

        const QStringList lines = log.lines();
        for (const QString &line : lines)
            QVERIFY2(!line.contains(QLatin1String("tok-")), qPrintable(line));
        const QStringList expected{
            "WebSocket DEBUG WebSocket connect, token length=12",
            "WebSocket DEBUG WebSocket connect, token length=12",
            "WebSocket DEBUG WebSocket disconnect (manual)",
            "WebSocket INFO foreground resume: reconnecting",
            "WebSocket DEBUG WebSocket connect, token length=12",
            "WebSocket DEBUG WebSocket disconnect (manual)",
            "WebSocket DEBUG WebSocket disconnect (manual)",
            "WebSocket DEBUG WebSocket connect, token length=5",
            "WebSocket ERROR invalid wsURL",
            "WebSocket DEBUG WebSocket disconnect (manual)",
        };
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^WebSocket "))), expected);
    }
};

QTEST_GUILESS_MAIN(TestWebSocketLog)
#include "TestWebSocketLog.moc"
