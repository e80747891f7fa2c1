// The user-defaults store: typed values by key, persistence across instances, removal, and byte
// files that stay the owner's and inside their folder.
#include "SettingsStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    SettingsStore &store() { return SettingsStore::shared(); }

private Q_SLOTS:
    void init() { store().setLocation(m_dir.path()); }

    void valuesSurviveReopeningUntilRemoved()
    {
        QByteArray binary(70000, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char(i * 7);
        store().setString(QStringLiteral("zp_server_url"), QStringLiteral("https://例子.cn:8443/ "));
        store().setBoolean(QStringLiteral("zp_detailed_logging"), true);
        QVERIFY(store().setBytes(QStringLiteral("zp_friends"), binary));

        store().setLocation(m_dir.path()); // a fresh process reads what the last one wrote
        QCOMPARE(store().string(QStringLiteral("zp_server_url")), QStringLiteral("https://例子.cn:8443/ "));
        QCOMPARE(store().boolean(QStringLiteral("zp_detailed_logging")), true);
        QCOMPARE(store().bytes(QStringLiteral("zp_friends")), binary);

        for (const char *key : {"zp_server_url", "zp_detailed_logging", "zp_friends"}) {
            QVERIFY(store().contains(QString::fromLatin1(key)));
            store().remove(QString::fromLatin1(key));
            QVERIFY(!store().contains(QString::fromLatin1(key)));
        }
        store().setLocation(m_dir.path());
        QVERIFY(!store().string(QStringLiteral("zp_server_url")).has_value());
        QVERIFY(!store().bytes(QStringLiteral("zp_friends")).has_value());
        QCOMPARE(store().boolean(QStringLiteral("zp_detailed_logging")), false);
    }

    void byteFilesAreOwnerOnlyAndStayInTheirFolder()
    {
        QVERIFY(store().setBytes(QStringLiteral("zp_groups"), QByteArrayLiteral("sealed")));
        const QFileInfo info(m_dir.path() + QStringLiteral("/values/zp_groups.bin"));
        QVERIFY(info.exists());
        QCOMPARE(info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());

        QVERIFY(store().setBytes(QStringLiteral("../../escape"), QByteArrayLiteral("z")));
        QCOMPARE(store().bytes(QStringLiteral("../../escape")), QByteArrayLiteral("z"));
        QVERIFY(!QFile::exists(QDir(m_dir.path()).absoluteFilePath(QStringLiteral("../escape.bin"))));
        QVERIFY(!QFile::exists(QDir(m_dir.path()).absoluteFilePath(QStringLiteral("../../escape.bin"))));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
