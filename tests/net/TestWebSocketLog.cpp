// What the connection writes to the encrypted log, read back with the development log key: the
// lines and levels of connect, manual disconnect, foreground resume and an unusable address, and
// never the token.
#include "LogDecoder.h"
#include "LoopbackTls.h"
#include "SecureLogger.h"
#include "WebSocketTestServer.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace loopback;

class TestWebSocketLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectionLifecycleLines()
    {
        QTemporaryDir dir;
        SettingsStore::shared().setLocation(dir.path());
        const std::optional<DevCertificates> certificates = trustedCertificates();
        QVERIFY(certificates);
        WebSocketTestServer server(*certificates);
        QVERIFY(server.listen() != 0);
        setServer(server.baseURL());
        // Earlier runs leave their entries in the same log; only what follows the marker counts.
        const QString marker = QStringLiteral("test run %1").arg(QDateTime::currentMSecsSinceEpoch());
        SecureLogger::shared().log(marker, LogLevel::Info, QStringLiteral("Test"));
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

        const std::optional<QUrl> exported = SecureLogger::shared().exportLog();
        QVERIFY(exported.has_value());
        QFile keyFile(QStringLiteral(ZEPHLIN_DEV_LOG_PRIVATE_KEY));
        QVERIFY(keyFile.open(QIODevice::ReadOnly));
        const std::unique_ptr<LogDecoder> decoder = LogDecoder::fromPrivateKey(keyFile.readAll());
        QVERIFY(decoder);
        QList<LogDecoder::Entry> entries;
        QStringList problems;
        decoder->decodeFile(exported->toLocalFile(), entries, problems);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        LogDecoder::sortByTime(entries);

        QStringList lines;
        bool afterMarker = false;
        for (const LogDecoder::Entry &entry : entries) {
            QVERIFY(!entry.message.contains(QLatin1String("tok-")));
            afterMarker = afterMarker || entry.message == marker;
            if (afterMarker && entry.module == QLatin1String("WebSocket"))
                lines.append(entry.level + QLatin1Char(' ') + entry.message);
        }
        const QStringList expected{
            "DEBUG WebSocket connect, token length=12",
            "DEBUG WebSocket connect, token length=12",
            "DEBUG WebSocket disconnect (manual)",
            "INFO foreground resume: reconnecting",
            "DEBUG WebSocket connect, token length=12",
            "DEBUG WebSocket disconnect (manual)",
            "DEBUG WebSocket disconnect (manual)",
            "DEBUG WebSocket connect, token length=5",
            "ERROR invalid wsURL",
            "DEBUG WebSocket disconnect (manual)",
        };
        QCOMPARE(lines, expected);
    }
};

QTEST_GUILESS_MAIN(TestWebSocketLog)
#include "TestWebSocketLog.moc"
