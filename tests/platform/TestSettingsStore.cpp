// The user-defaults store: typed values by key, persistence across instances, unsafe keys.
#include "SettingsStore.h"

#include <QDir>
#include <QSettings>
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

    void valuesRoundTripAndSurviveReopening()
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
        QVERIFY(store().contains(QStringLiteral("zp_friends")));

        store().setBoolean(QStringLiteral("zp_detailed_logging"), false);
        QCOMPARE(store().boolean(QStringLiteral("zp_detailed_logging")), false);
    }

    void removeDropsEveryKind()
    {
        store().setString(QStringLiteral("a"), QStringLiteral("x"));
        store().setBytes(QStringLiteral("b"), QByteArrayLiteral("y"));
        store().setBoolean(QStringLiteral("c"), true);
        for (const char *key : {"a", "b", "c"}) {
            store().remove(QString::fromLatin1(key));
            QVERIFY(!store().contains(QString::fromLatin1(key)));
        }
        QVERIFY(!store().string(QStringLiteral("a")).has_value());
        QVERIFY(!store().bytes(QStringLiteral("b")).has_value());
        QCOMPARE(store().boolean(QStringLiteral("c")), false);
    }

    void bytesKeysCannotEscapeTheFolder()
    {
        QVERIFY(store().setBytes(QStringLiteral("../../escape"), QByteArrayLiteral("z")));
        QCOMPARE(store().bytes(QStringLiteral("../../escape")), QByteArrayLiteral("z"));
        QVERIFY(!QFile::exists(QDir(m_dir.path()).absoluteFilePath(QStringLiteral("../escape.bin"))));
        QVERIFY(!QFile::exists(QDir(m_dir.path()).absoluteFilePath(QStringLiteral("../../escape.bin"))));
    }

    void byteFilesAreOwnerOnly()
    {
        QVERIFY(store().setBytes(QStringLiteral("zp_groups"), QByteArrayLiteral("sealed")));
        const QFileInfo info(m_dir.path() + QStringLiteral("/values/zp_groups.bin"));
        QVERIFY(info.exists());
        QCOMPARE(info.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "TestSettingsStore.moc"
