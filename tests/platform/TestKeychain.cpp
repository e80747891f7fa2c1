// The keychain helper over the device-local file store (the tests' default), and its memory copy.
#include "KeychainHelper.h"
#include "ProbeKeychainBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestKeychain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "TestKeychain.moc"
