// The device's own stores: the keychain helper over the local file store (the tests' default) and
// its memory copy; the user-defaults store: typed values by key, persistence across instances,
// removal, and byte files that stay the owner's and inside their folder.
#include "KeychainHelper.h"
#include "ProbeKeychainBackend.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestLocalStores : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    SettingsStore &store() { return SettingsStore::shared(); }

private Q_SLOTS:
    void init() { store().setLocation(m_dir.path()); }

    void fileStoreKeepsOneOwnerOnlyFilePerItem()
    {
        QTemporaryDir temp;
        FileKeychainBackend files(temp.path() + QStringLiteral("/keychain"));
        QVERIFY(files.write(QStringLiteral("com.zephlin.app"), QStringLiteral("zp_db_key"), "first"));
        const QByteArray secret("tok\0en\xff", 7);
        QVERIFY(files.write(QStringLiteral("com.zephlin.app"), QStringLiteral("zp_db_key"), secret));
        QVERIFY(files.write(QStringLiteral("other/../app"), QStringLiteral("zp_db_key"), "elsewhere"));
        QCOMPARE(files.read(QStringLiteral("com.zephlin.app"), QStringLiteral("zp_db_key")), secret);
        QCOMPARE(files.read(QStringLiteral("other/../app"), QStringLiteral("zp_db_key")), QByteArray("elsewhere"));
        const QFileInfoList items = QDir(files.directory()).entryInfoList(QDir::Files);
        QCOMPARE(items.size(), 2);
        constexpr auto groupOrOther = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                      | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        for (const QFileInfo &item : items) {
            QVERIFY(!(item.permissions() & groupOrOther));
            QVERIFY(item.permissions().testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        QVERIFY(!(QFileInfo(files.directory()).permissions() & groupOrOther));
    }

    void itemsStayInMemoryAndFollowSaveAndRemove()
    {
        QTemporaryDir temp;
        auto owned = std::make_unique<ProbeKeychainBackend>(temp.path());
        ProbeKeychainBackend *probe = owned.get();
        KeychainHelper &keychain = KeychainHelper::shared();
        keychain.setBackend(std::move(owned));

        QVERIFY(keychain.save("key-0", QStringLiteral("zp_db_key")));
        QVERIFY(keychain.remove(QStringLiteral("zp_db_key")));
        QVERIFY(!keychain.readData(QStringLiteral("zp_db_key")));
        QVERIFY(keychain.save("key-1", QStringLiteral("zp_db_key")));
        for (int i = 0; i < 5; ++i)
            QCOMPARE(keychain.readData(QStringLiteral("zp_db_key")), QByteArray("key-1"));
        QCOMPARE(probe->reads, 1); // only the look-up after the removal went to the store

        // A refused replacement leaves no item at all, neither in memory nor in the store.
        probe->refuseWrites = true;
        QVERIFY(!keychain.save("key-2", QStringLiteral("zp_db_key")));
        QVERIFY(!keychain.readData(QStringLiteral("zp_db_key")));
        QCOMPARE(probe->reads, 2);
        QVERIFY(keychain.remove(QStringLiteral("zp_db_key")));
        QVERIFY(keychain.remove(QStringLiteral("never_saved"))); // deleting what never existed succeeds
        keychain.setBackend(std::make_unique<FileKeychainBackend>(temp.path() + QStringLiteral("/restored")));
    }

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

QTEST_GUILESS_MAIN(TestLocalStores)
#include "TestLocalStores.moc"
