// Exporting the encrypted log, and reading it back with the decoder and its command.
#include "LogTestSupport.h"
#include "LogStore.h"
#include "SecureLogger.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>

using namespace logtest;

class TestLogExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // A small export takes its own entries; the next one merges it, the shards, then the debug ring,
    // and being full leaves its own entries to the next shard.
    void exportsMergeShardsThenRing()
    {
        SecureLogger logger(m_dir->path(), devPublicKey());
        for (int i = 0; i < 10; ++i)
            logger.log(QStringLiteral("s%1").arg(i), LogLevel::Info, QStringLiteral("App"));
        logger.log(QStringLiteral("r0"), LogLevel::Debug, QStringLiteral("UI"));
        const QString first = logger.exportLog()->toLocalFile();
        logger.waitForIdle();
        QCOMPARE(shardPaths(m_dir->path()), QStringList{first});
        QCOMPARE(headerCount(first), 13u);
        const QStringList firstMessages = messages(first);
        QCOMPARE(firstMessages, numbered(QStringLiteral("s"), 0, 10)
                                    << QStringLiteral("r0") << QStringLiteral("export check: wrote 11 entries, shards left=1")
                                    << QStringLiteral("exported 11 entries to ") + QFileInfo(first).fileName());

        for (int i = 0; i < 1120; ++i)
            logger.log(QStringLiteral("m%1").arg(i), LogLevel::Info, QStringLiteral("App"));
        for (int i = 0; i < 40; ++i)
            logger.log(QStringLiteral("d%1").arg(i), LogLevel::Debug, QStringLiteral("UI"));
        logger.waitForIdle();
        QCOMPARE(shardPaths(m_dir->path()).size(), 3);
        const std::optional<QUrl> url = logger.exportLog();
        QVERIFY(url);
        const QString path = url->toLocalFile();
        QVERIFY(path != first && !QFile::exists(first));
        QCOMPARE(headerCount(path), 1173u);
        QCOMPARE(messages(path), firstMessages + numbered(QStringLiteral("m"), 0, 1120) + numbered(QStringLiteral("d"), 0, 40));
        QCOMPARE(logger.status().memoryEntryCount, 0);
        logger.waitForIdle();
        const QStringList shards = shardPaths(m_dir->path());
        QCOMPARE(shards, (QStringList{path, shards.last()}));
        QCOMPARE(messages(shards.last()),
                 QStringList({QStringLiteral("export check: wrote 1173 entries, shards left=1"),
                              QStringLiteral("exported 1173 entries to ") + QFileInfo(path).fileName()}));
    }

    // The export file cannot be written (a file-size limit stops it half-way): no URL, the shards
    // stay as they were, and the failure is logged as an error in a fresh shard.
    void exportThatCannotBeWrittenKeepsTheShards()
    {
        SecureLogger logger(m_dir->path(), devPublicKey());
        for (int i = 0; i < 30; ++i)
            logger.log(QStringLiteral("m%1").arg(i), LogLevel::Info, QStringLiteral("App"));
        logger.waitForIdle();
        const QStringList before = shardPaths(m_dir->path());
        QCOMPARE(before.size(), 1);
        QVERIFY(fileBytes(before.first()).size() > 4096);
        const QList<QByteArray> kept = LogShardFile::read(before.first()).records;

        rlimit normal{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &normal), 0);
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails instead of ending the process
        rlimit limited = normal;
        limited.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const std::optional<QUrl> url = logger.exportLog();
        logger.waitForIdle();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &normal), 0);

        QVERIFY(!url);
        const QStringList after = shardPaths(m_dir->path());
        QCOMPARE(after.size(), 2);
        QCOMPARE(after.first(), before.first());
        QCOMPARE(LogShardFile::read(after.first()).records, kept);
        const QList<QByteArray> records = LogShardFile::read(after.last()).records;
        QCOMPARE(records.size(), 1);
        const Result<LogDecoder::Entry> failure = decoder().decodeBlob(records.first());
        QVERIFY(failure.ok());
        QCOMPARE(failure->level, QStringLiteral("ERROR"));
        QVERIFY2(failure->message.startsWith(QStringLiteral("export failed: ")) && failure->message.size() > 15,
                 qPrintable(failure->message));
    }

    // A disk that loses part of the export right after writing it (first read-back) or after the old
    // shards were removed (second read-back): no file is handed out and nothing claims success.
    void exportChecksCatchADiskThatLosesWhatWasWritten_data()
    {
        QTest::addColumn<int>("failingRead");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<int>("shardsLeft");
        QTest::newRow("verify") << 1 << QStringLiteral("export verify failed: 2/3") << 2;
        QTest::newRow("after cleanup") << 2 << QStringLiteral("export file missing right after cleanup") << 1;
    }

    void exportChecksCatchADiskThatLosesWhatWasWritten()
    {
        QFETCH(int, failingRead);
        QFETCH(QString, failure);
        QFETCH(int, shardsLeft);
        int reads = 0;
        const auto lossyDisk = [&](const QString &path) {
            LogShardFile::Contents contents = LogShardFile::read(path);
            if (++reads == failingRead)
                contents.records.removeLast();
            return contents;
        };
        QList<LogEntry> queued;
        LogStore store(m_dir->path(), LogCipher::fromPublicKey(devPublicKey()),
                       [&](const LogEntry &entry) { queued.append(entry); }, lossyDisk);
        store.start();
        for (int i = 0; i < 3; ++i)
            store.append({LogEntry::now(), LogLevel::Info, QStringLiteral("App"), QStringLiteral("m%1").arg(i)});
        const QStringList before = shardPaths(m_dir->path());

        const LogStore::ExportOutcome outcome = store.exportAll();
        QCOMPARE(outcome.failure, failure);
        QVERIFY(outcome.filePath.isEmpty());
        QVERIFY(queued.isEmpty()); // no "export check" entry
        const QStringList after = shardPaths(m_dir->path());
        QCOMPARE(after.size(), shardsLeft);
        QCOMPARE(after.contains(before.first()), shardsLeft == 2);
        QCOMPARE(messages(after.last()), numbered(QStringLiteral("m"), 0, 3));
    }

    // Nothing to export: no file, only the empty start-up shard. An export from the worker itself.
    void exportWithNothingAndFromTheWorker()
    {
        SecureLogger logger(m_dir->path(), devPublicKey());
        logger.waitForIdle();
        QVERIFY(!logger.exportLog());
        logger.waitForIdle();
        QCOMPARE(shardPaths(m_dir->path()).size(), 1);
        QVERIFY(logger.status().activeShardName.isEmpty());
        logger.log(QStringLiteral("x"), LogLevel::Info, QStringLiteral("App"));
        std::optional<QUrl> url;
        logger.runOnWorker([&] { url = logger.exportLog(); });
        QVERIFY(url);
        QCOMPARE(messages(url->toLocalFile()).constFirst(), QStringLiteral("x"));
    }

    void decoderReadsBackChunkedEntriesAndReportsDamage()
    {
        const QString longMessage = QStringLiteral("长消息 ").repeated(80); // far beyond one RSA block
        {
            SecureLogger logger(m_dir->path(), devPublicKey());
            logger.log(QStringLiteral("first"), LogLevel::Info, QStringLiteral("App"));
            logger.log(longMessage, LogLevel::Error, QStringLiteral("Chat"));
            logger.log(QStringLiteral("third"), LogLevel::Info, QStringLiteral("App"));
        }
        const QString shard = shardPaths(m_dir->path()).constFirst();
        // Damage: one flipped byte in the first entry, and the file cut inside the last record; the
        // chunked entry between them is read back whole.
        QByteArray bytes = fileBytes(shard);
        bytes[LogShardFile::headerSize + 4 + 100] = char(bytes[LogShardFile::headerSize + 4 + 100] ^ 0x55);
        bytes.chop(10);
        const QString damaged = m_dir->path() + QStringLiteral("/damaged.zplog");
        writeFile(damaged, bytes);
        const QString foreign = m_dir->path() + QStringLiteral("/foreign.zplog");
        writeFile(foreign, "hello, not a log");

        QProcess tool;
        tool.start(QStringLiteral(ZPLOG_DECODE_PATH),
                   {QStringLiteral("--key"), QStringLiteral(DEV_LOG_PRIVATE_KEY), QStringLiteral("--json"), foreign, damaged});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 1);
        const QList<QByteArray> lines = tool.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 1); // only the chunked entry survives
        QCOMPARE(QJsonDocument::fromJson(lines.first())[QStringLiteral("message")].toString(), longMessage);
        const QString errors = QString::fromUtf8(tool.readAllStandardError());
        QVERIFY2(errors.contains(foreign + QStringLiteral(": at byte 0")), qPrintable(errors));
        QVERIFY2(errors.contains(damaged + QStringLiteral(": record 1: ")), qPrintable(errors));
        QVERIFY2(errors.contains(damaged + QStringLiteral(": at byte ")), qPrintable(errors));
    }

    void decoderPrintsTextSortedByTime()
    {
        QList<LogDecoder::Entry> entries{{1772352942.5, QStringLiteral("INFO"), QStringLiteral("App"), QStringLiteral("later")},
                                         {1772352941.25, QStringLiteral("DEBUG"), QStringLiteral("UI"), QStringLiteral("earlier")}};
        LogDecoder::sortByTime(entries);
        QCOMPARE(LogDecoder::textLine(entries.first()), QStringLiteral("2026-03-01T08:15:41.250Z DEBUG UI earlier"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestLogExport)
#include "TestLogExport.moc"
