// The encrypted log's storage: entry form, blob sizes, shard format and rotation, the debug ring,
// pruning and failure counting.
#include "AppLogger.h"
#include "AppPaths.h"
#include "KeychainHelper.h"
#include "LogTestSupport.h"
#include "SecureLogger.h"
#include "SettingsStore.h"

#include <QFileInfo>
#include <QSemaphore>
#include <QTemporaryDir>
#include <thread>

using namespace logtest;

namespace {
QString shardName(int day, int minute)
{
    return QStringLiteral("2026-01-%1T00-%2-00.zplog").arg(day, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}
} // namespace

class TestSecureLogger : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void entryJsonKeepsKeyOrder()
    {
        const LogEntry entry{1709280942.25, LogLevel::Error, QStringLiteral("App"), QStringLiteral("a\"b\\c\nd\x01")};
        const QByteArray expected = "{\"timestamp\":1709280942.25,\"level\":\"ERROR\",\"module\":\"App\","
                                    "\"message\":\"a\\\"b\\\\c\\nd\\u0001\"}";
        QCOMPARE(entry.toJson(), expected);
    }

    void keyFormsAccepted()
    {
        QVERIFY(LogCipher::fromPublicKey(LogCipher::builtInPublicKey()));
        // The PKCS#1 DER form of the development key, as the PEM file carries it in Base64.
        QByteArrayList lines = devPublicKey().trimmed().split('\n');
        const QByteArray der = QByteArray::fromBase64(lines.mid(1, lines.size() - 2).join());
        QVERIFY(LogCipher::fromPublicKey(der));
        QVERIFY(!LogCipher::fromPublicKey(der.left(100)));
    }

    void blobForms_data()
    {
        QTest::addColumn<int>("jsonLength");
        QTest::addColumn<int>("blobLength");
        QTest::newRow("one block") << 214 << 256;
        QTest::newRow("two pieces") << 215 << 520;
    }
    void blobForms()
    {
        QFETCH(int, jsonLength);
        QFETCH(int, blobLength);
        const std::unique_ptr<LogCipher> cipher = LogCipher::fromPublicKey(devPublicKey());
        QVERIFY(cipher);
        QByteArray json(jsonLength, 'j');
        json[jsonLength - 1] = 'z';
        const std::optional<QByteArray> blob = cipher->encrypt(json);
        QVERIFY(blob);
        QCOMPARE(blob->size(), blobLength);
        for (int offset = 0; blobLength > 256 && offset < blobLength; offset += 260) // pieces after their length
            QCOMPARE(qFromLittleEndian<quint32>(blob->constData() + offset), 256u);
        QCOMPARE(*decoder().decryptBlob(*blob), json);
        QVERIFY(*cipher->encrypt(json) != *blob); // fresh padding every time
    }

    void readerStopsAtDamage_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");
        const QByteArray two = LogShardFile::header(2) + LogShardFile::record("ab") + LogShardFile::record("c");
        QByteArray version2 = two;
        version2[5] = 2;
        QTest::newRow("sound") << two << 2;
        QTest::newRow("short") << two.left(12) << 0;
        QTest::newRow("wrong magic") << QByteArray("ZPLOX") + two.mid(5) << 0;
        QTest::newRow("version 2") << version2 << 0;
        QTest::newRow("record cut short") << two.chopped(1) << 1;
        QTest::newRow("zero length") << LogShardFile::header(9) + LogShardFile::record("ab") + QByteArray(4, 0) + LogShardFile::record("c") << 1;
    }
    void readerStopsAtDamage()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QCOMPARE(LogShardFile::parse(bytes).records.size(), records);
    }

    void shardNamesAndOrder()
    {
        const QDateTime when(QDate(2026, 3, 1), QTime(8, 15, 42, 500), Qt::UTC);
        const QString base = QStringLiteral("2026-03-01T08-15-42");
        QCOMPARE(LogShardFile::nextShardName(m_dir->path(), when), base + QStringLiteral(".zplog"));
        for (const QString &suffix : {QString(), QStringLiteral("-1"), QStringLiteral("-2"), QStringLiteral("-10")})
            writeShard(m_dir->path() + QLatin1Char('/') + base + suffix + QStringLiteral(".zplog"), 0);
        // Past the newest of that second, so that a name freed by a deletion is never taken again
        // by a later shard, which would then sort before older ones.
        QCOMPARE(LogShardFile::nextShardName(m_dir->path(), when), base + QStringLiteral("-11.zplog"));
        writeShard(m_dir->path() + QStringLiteral("/2026-03-01T08-15-41.zplog"), 0);
        // Oldest first: a "-n" shard started after the plain one of the same second.
        QCOMPARE(LogShardFile::shardNames(m_dir->path()),
                 QStringList({QStringLiteral("2026-03-01T08-15-41.zplog"), base + QStringLiteral(".zplog"),
                              base + QStringLiteral("-1.zplog"), base + QStringLiteral("-2.zplog"),
                              base + QStringLiteral("-10.zplog")}));
    }

    // A shard holds 500 entries; closing one at rotation prunes the oldest archived shard past the
    // 20000-entry limit.
    void shardRotatesAt500AndPrunes()
    {
        for (int i = 0; i < 40; ++i)
            writeShard(m_dir->path() + QLatin1Char('/') + shardName(1 + i % 28, i / 28), 500);
        SecureLogger logger(m_dir->path(), devPublicKey());
        for (int i = 0; i < 501; ++i)
            logger.log(QStringLiteral("m%1").arg(i), LogLevel::Info, QStringLiteral("App"));
        logger.waitForIdle();
        const QStringList shards = shardPaths(m_dir->path());
        QCOMPARE(shards.size(), 40 + 2 - 1);
        const QString full = shards.at(shards.size() - 2);
        QCOMPARE(headerCount(full), 500u);
        QCOMPARE(messages(full), numbered(QStringLiteral("m"), 0, 500));
        QCOMPARE(headerCount(shards.last()), 1u);
        QCOMPARE(messages(shards.last()), QStringList{QStringLiteral("m500")});
        QCOMPARE(logger.status().activeShardEntryCount, 1);
        constexpr auto groupOrOther = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                      | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QVERIFY(!(QFileInfo(full).permissions() & groupOrOther));
        QVERIFY(!(QFileInfo(m_dir->path()).permissions() & groupOrOther));
    }

    void errorFlushesTheNewest500DebugEntriesFirst()
    {
        SecureLogger logger(m_dir->path(), devPublicKey());
        for (int i = 0; i < 600; ++i)
            logger.log(QStringLiteral("d%1").arg(i), LogLevel::Debug, QStringLiteral("UI"));
        logger.waitForIdle();
        const QString shard = shardPaths(m_dir->path()).constFirst();
        QCOMPARE(QFileInfo(shard).size(), LogShardFile::headerSize); // debug entries wait in memory
        QCOMPARE(logger.status().memoryEntryCount, 500);
        logger.log(QStringLiteral("boom"), LogLevel::Error, QStringLiteral("App"));
        logger.waitForIdle();
        QStringList onDisk;
        for (const QString &path : shardPaths(m_dir->path()))
            onDisk += messages(path);
        QCOMPARE(onDisk, numbered(QStringLiteral("d"), 100, 600) << QStringLiteral("boom"));
        QCOMPARE(logger.status().memoryEntryCount, 0);
    }

    void detailedLoggingWritesDebugAtOnce()
    {
        SettingsStore::shared().setBoolean(QStringLiteral("zp_detailed_logging"), true);
        SecureLogger logger(m_dir->path(), devPublicKey());
        logger.log(QStringLiteral("detail"), LogLevel::Debug, QStringLiteral("UI"));
        logger.waitForIdle();
        SettingsStore::shared().remove(QStringLiteral("zp_detailed_logging"));
        QCOMPARE(messages(shardPaths(m_dir->path()).constFirst()), QStringList{QStringLiteral("detail")});
    }

    void logReturnsAtOnceWithTheCallTime()
    {
        SecureLogger logger(m_dir->path(), devPublicKey());
        QSemaphore entered;
        QSemaphore release;
        std::thread busy([&] { logger.runOnWorker([&] { entered.release(); release.acquire(); }); });
        entered.acquire(); // the worker is now held
        const double before = LogEntry::now();
        logger.log(QStringLiteral("early"), LogLevel::Info, QStringLiteral("App"));
        const double after = LogEntry::now();
        QCOMPARE(LogShardFile::read(shardPaths(m_dir->path()).constFirst()).records.size(), 0);
        release.release();
        busy.join();
        logger.waitForIdle();
        const auto records = LogShardFile::read(shardPaths(m_dir->path()).constFirst()).records;
        QCOMPARE(records.size(), 1);
        const double stamp = decoder().decodeBlob(records.first())->timestamp;
        QVERIFY(stamp >= before - 1e-6 && stamp <= after + 1e-6);
    }

    void startupPrunesOldestByEachLimit_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("entriesEach");
        QTest::addColumn<int>("bytesEach");
        QTest::addColumn<bool>("oldestIsStale");
        QTest::addColumn<int>("left");
        QTest::newRow("age") << 3 << 1 << 1 << true << 2;
        QTest::newRow("bytes") << 3 << 1 << 3 * 1024 * 1024 << false << 2;
        QTest::newRow("within limits") << 40 << 500 << 1 << false << 40;
    }
    void startupPrunesOldestByEachLimit()
    {
        QFETCH(int, files);
        QFETCH(int, entriesEach);
        QFETCH(int, bytesEach);
        QFETCH(bool, oldestIsStale);
        QFETCH(int, left);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        // Names run against age, so the walk must follow the modification dates.
        for (int i = 0; i < files; ++i) {
            const QString path = m_dir->path() + QLatin1Char('/') + shardName(28 - i % 28, i / 28);
            writeShard(path, entriesEach, qMax(1, bytesEach / entriesEach));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime((i == 0 && oldestIsStale) ? now.addDays(-8) : now.addSecs(-3600 + i), QFileDevice::FileModificationTime));
        }
        const QString oldest = shardName(28, 0);
        SecureLogger logger(m_dir->path(), devPublicKey());
        logger.waitForIdle();
        const QStringList remaining = LogShardFile::shardNames(m_dir->path());
        QCOMPARE(remaining.size(), left + 1); // plus the fresh active shard
        QCOMPARE(remaining.contains(oldest), left == files);
    }

    void failuresAreCountedNotRaised()
    {
        SecureLogger badKey(m_dir->path() + QStringLiteral("/a"), "not a key");
        badKey.log(QStringLiteral("x"), LogLevel::Info, QStringLiteral("App"));
        QCOMPARE(badKey.status().encryptFailureCount, 1);

        const QString blocked = m_dir->path() + QStringLiteral("/file");
        writeShard(blocked, 0); // a file where the folder should be
        SecureLogger noFolder(blocked, devPublicKey());
        noFolder.log(QStringLiteral("x"), LogLevel::Info, QStringLiteral("App"));
        const LogStore::Status status = noFolder.status();
        QVERIFY(status.writeFailureCount >= 2); // the start-up shard and the entry
        QVERIFY(status.activeShardName.isEmpty());
    }

    void sharedLoggerAnnouncesTheKeychainFileStore()
    {
        QCOMPARE(KeychainHelper::shared().backendName(), QStringLiteral("file"));
        SecureLogger &logger = SecureLogger::shared();
        QVERIFY(AppLogger::shared().logs().constFirst().contains(QStringLiteral("device-local files")));
        logger.waitForIdle();
        QCOMPARE(logger.directory(), AppPaths::dataDir() + QStringLiteral("/zp_logs"));
        const QString active = logger.directory() + QLatin1Char('/') + logger.status().activeShardName;
        QCOMPARE(LogShardFile::read(active).records.size(), 1); // the notice, at INFO
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSecureLogger)
#include "TestSecureLogger.moc"
