// The keychain helper over the real Secret Service (gnome-keyring in CI, via scripts/with-keyring).
#include "KeychainHelper.h"
#include "QtKeychainBackend.h"

#include <QTest>
#include <QUuid>

class TestKeychainSecretService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!QtKeychainBackend::serviceAvailable())
            QSKIP("no Secret Service on the session bus; run under scripts/with-keyring");
        // The test environment asks for the file store; this test is about the real one.
        qputenv("ZEPHLIN_KEYCHAIN", "secret-service");
        QCOMPARE(KeychainHelper::shared().backendName(), QStringLiteral("secret-service"));
        m_account = QStringLiteral("zp_test_") + QUuid::createUuid().toString(QUuid::Id128);
    }

    void saveReplaceReadRemove()
    {
        KeychainHelper &keychain = KeychainHelper::shared();
        const QByteArray key("\x00\x01binary\xfe\xff", 10);
        QVERIFY(keychain.save("first", m_account));
        QVERIFY(keychain.save(key, m_account));
        QCOMPARE(keychain.readData(m_account), key);

        // Past the memory copy: the keyring itself holds the second value.
        QtKeychainBackend direct;
        QCOMPARE(direct.read(keychain.service(), m_account), key);

        QVERIFY(keychain.remove(m_account));
        QVERIFY(!keychain.readData(m_account));
        QVERIFY(!direct.read(keychain.service(), m_account));
        QVERIFY(keychain.remove(m_account));
    }

private:
    QString m_account;
};

QTEST_GUILESS_MAIN(TestKeychainSecretService)
#include "TestKeychainSecretService.moc"
