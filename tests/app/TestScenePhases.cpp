// Moves between foreground and background, seen by the application object: the debug entries it
// writes to the encrypted log (read back with the development key), the foreground reconnect,
// which opens a connection only when the last one had dropped, and a log that never holds the token.
#include "LogReadBack.h"
#include "LoopbackWebSocket.h"
#include "ZephlinApplication.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QTest>

class TestScenePhases : public QObject
{
    Q_OBJECT

    // What the platform reports when the scene phase changes.
    static void enter(Qt::ApplicationState state) { Q_EMIT qGuiApp->applicationStateChanged(state); }

private Q_SLOTS:
    void foregroundAndBackground()
    {
        LoopbackWebSocket site;
        QVERIFY(site.start());
        WebSocketTestServer &server = *site.server;
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        ZephlinApplication app(options);
        WebSocketService &ws = WebSocketService::shared();
        const LogReadBack log;

        ws.connectToServer(QStringLiteral("tok-secret"));
        QTRY_COMPARE(server.connectionCount(), 1);
        enter(Qt::ApplicationHidden);
        enter(Qt::ApplicationInactive);
        enter(Qt::ApplicationActive); // still connected: no second connection
        QTest::qWait(200);
        QCOMPARE(server.connectionCount(), 1);

        // Back in the foreground right after a drop, before the watchdog or the scheduled retry.
        const QMetaObject::Connection resume = connect(&ws, &WebSocketService::isConnectedChanged, this, [&ws] {
            if (!ws.isConnected())
                enter(Qt::ApplicationActive);
        }, Qt::QueuedConnection);
        server.dropNewest();
        QTRY_COMPARE(server.connectionCount(), 2);
        disconnect(resume);
        ws.disconnectFromServer();
        loopback::setServer(QStringLiteral("https://exa mple.org"));
        ws.connectToServer(QStringLiteral("tok-secret"));
        ws.disconnectFromServer();

        const QStringList logged = log.lines();
        QCOMPARE(logged.filter(QRegularExpression(QStringLiteral("^App "))),
                 QStringList({QStringLiteral("App DEBUG app enter background"), QStringLiteral("App DEBUG app scene inactive"),
                              QStringLiteral("App DEBUG app enter foreground"), QStringLiteral("App DEBUG app enter foreground")}));
        QCOMPARE(logged.count(QStringLiteral("WebSocket INFO foreground resume: reconnecting")), 1);
        QCOMPARE(logged.count(QStringLiteral("WebSocket ERROR invalid wsURL")), 1);
        for (const QString &line : logged)
            QVERIFY2(!line.contains(QLatin1String("tok-")), qPrintable(line));
    }
};

QTEST_MAIN(TestScenePhases)
#include "TestScenePhases.moc"
