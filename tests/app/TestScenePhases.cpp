// Moves between foreground and background, seen by the application object: the debug entries it
// writes to the encrypted log (read back with the development key), and the foreground reconnect,
// which opens a connection only when the last one had dropped.
#include "LogDecoder.h"
#include "LoopbackTls.h"
#include "SecureLogger.h"
#include "WebSocketTestServer.h"
#include "ZephlinApplication.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace loopback;

class TestScenePhases : public QObject
{
    Q_OBJECT

    // What the platform reports when the scene phase changes.
    static void enter(Qt::ApplicationState state) { Q_EMIT qGuiApp->applicationStateChanged(state); }

    // The entries logged after `marker`, as "module LEVEL message".
    static QStringList loggedAfter(const QString &marker)
    {
        const std::optional<QUrl> exported = SecureLogger::shared().exportLog();
        QFile keyFile(QStringLiteral(ZEPHLIN_DEV_LOG_PRIVATE_KEY));
        const std::unique_ptr<LogDecoder> decoder = keyFile.open(QIODevice::ReadOnly) ? LogDecoder::fromPrivateKey(keyFile.readAll()) : nullptr;
        if (!exported || !decoder)
            return {QStringLiteral("<no log>")};
        QList<LogDecoder::Entry> entries;
        QStringList problems;
        decoder->decodeFile(exported->toLocalFile(), entries, problems);
        LogDecoder::sortByTime(entries);
        QStringList lines = problems;
        bool afterMarker = false;
        for (const LogDecoder::Entry &entry : entries) {
            afterMarker = afterMarker || entry.message == marker;
            if (afterMarker)
                lines.append(entry.module + QLatin1Char(' ') + entry.level + QLatin1Char(' ') + entry.message);
        }
        return lines;
    }

private Q_SLOTS:
    void foregroundAndBackground()
    {
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        const std::optional<DevCertificates> certificates = trustedCertificates();
        QVERIFY(certificates);
        WebSocketTestServer server(*certificates);
        QVERIFY(server.listen() != 0);
        setServer(server.baseURL());
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        ZephlinApplication app(options);
        WebSocketService &ws = WebSocketService::shared();
        const QString marker = QStringLiteral("test run %1").arg(QDateTime::currentMSecsSinceEpoch());
        SecureLogger::shared().log(marker, LogLevel::Info, QStringLiteral("Test"));

        ws.connectToServer(QStringLiteral("tok"));
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

        const QStringList logged = loggedAfter(marker);
        QCOMPARE(logged.filter(QRegularExpression(QStringLiteral("^App "))),
                 QStringList({QStringLiteral("App DEBUG app enter background"), QStringLiteral("App DEBUG app scene inactive"),
                              QStringLiteral("App DEBUG app enter foreground"), QStringLiteral("App DEBUG app enter foreground")}));
        QCOMPARE(logged.count(QStringLiteral("WebSocket INFO foreground resume: reconnecting")), 1);
    }
};

QTEST_MAIN(TestScenePhases)
#include "TestScenePhases.moc"
