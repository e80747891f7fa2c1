// The sealed key-value store: blob layout, fresh nonces, tamper detection, key loss and the
// refused-key path.
#include "KeychainHelper.h"
#include "../platform/ProbeKeychainBackend.h"
#include "SecureStorage.h"
#include "SettingsStore.h"
#include "StdoutCapture.h"
#include "User.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
const QString encryptFailure = QStringLiteral("[SecureStorage] 加密保存失败 forKey=");
const QString decryptFailure = QStringLiteral("[SecureStorage] 解密读取失败 forKey=");
} // namespace

class TestSecureStorage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SettingsStore::shared().setLocation(m_dir->path() + QStringLiteral("/settings"));
        auto probe = std::make_unique<ProbeKeychainBackend>(m_dir->path() + QStringLiteral("/keychain"));
        m_probe = probe.get();
        KeychainHelper::shared().setBackend(std::move(probe));
    }

    // The first save makes the key; each blob is the JSON plus nonce and tag, under a fresh nonce,
    // and the key is read from the keychain once.
    void blobsAreJsonPlus28UnderFreshNonces()
    {
        bool loaded = true;
        const QString out = capturedStdout([&] { // nothing stored yet: nothing loads, silently
            loaded = bool(SecureStorage::shared().load<QList<User>>(QStringLiteral("zp_friends")));
        });
        QVERIFY(!loaded);
        QCOMPARE(out, QString());
        const QList<User> users{User{QStringLiteral("1"), QStringLiteral("你好")}, User{QStringLiteral("2"), {}}};
        QByteArrayList blobs;
        for (int i = 0; i < 2; ++i) {
            SecureStorage::shared().save(users, QStringLiteral("zp_friends"));
            blobs.append(*SettingsStore::shared().bytes(QStringLiteral("zp_friends")));
        }
        QCOMPARE(KeychainHelper::shared().readData(QStringLiteral("zp_db_key"))->size(), 32);
        QCOMPARE(blobs.at(0).size(), encodeJson(users).size() + 28);
        QVERIFY(blobs.at(0).left(12) != blobs.at(1).left(12));
        QVERIFY(blobs.at(0) != blobs.at(1));
        QCOMPARE(*SecureStorage::shared().load<QList<User>>(QStringLiteral("zp_friends")), users);
        QVERIFY(m_probe->reads <= 1);
    }

    void tamperedAndTruncatedBlobsFail_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("flipped bit in ciphertext") << false;
        QTest::newRow("cut to 27 bytes, shorter than nonce and tag") << true;
    }
    void tamperedAndTruncatedBlobsFail()
    {
        QFETCH(bool, cut);
        SecureStorage::shared().save(User{QStringLiteral("x"), QStringLiteral("y")}, QStringLiteral("k"));
        QVERIFY(SecureStorage::shared().load<User>(QStringLiteral("k")));
        QByteArray blob = *SettingsStore::shared().bytes(QStringLiteral("k"));
        if (cut)
            blob.truncate(27);
        else
            blob[14] = char(blob[14] ^ 0x01);
        QVERIFY(SettingsStore::shared().setBytes(QStringLiteral("k"), blob));
        QVERIFY(failsLoudly(decryptFailure, QStringLiteral("k")));
        // The damaged blob stays until the next save replaces it.
        QCOMPARE(*SettingsStore::shared().bytes(QStringLiteral("k")), blob);
    }

    void failureLines()
    {
        QVERIFY(SecureStorage::shared().saveJson("[]", QStringLiteral("k")));
        QVERIFY(failsLoudly(decryptFailure, QStringLiteral("k"))); // sealed soundly, but not a User
        QVERIFY(KeychainHelper::shared().save("short", QStringLiteral("zp_db_key")));
        bool saved = true;
        const QString out = capturedStdout([&] { saved = SecureStorage::shared().saveJson("{}", QStringLiteral("k")); });
        QVERIFY(!saved);
        QVERIFY(out.startsWith(encryptFailure + QStringLiteral("k: ")));
    }

    void lostKeyIsReplacedAndTheNextSaveRecovers()
    {
        SecureStorage &storage = SecureStorage::shared();
        storage.save(User{QStringLiteral("1"), QStringLiteral("old")}, QStringLiteral("zp_dm_msgs"));
        const QByteArray oldKey = *KeychainHelper::shared().readData(QStringLiteral("zp_db_key"));
        QVERIFY(KeychainHelper::shared().remove(QStringLiteral("zp_db_key")));
        QVERIFY(failsLoudly(decryptFailure, QStringLiteral("zp_dm_msgs")));
        const std::optional<QByteArray> newKey = KeychainHelper::shared().readData(QStringLiteral("zp_db_key"));
        QVERIFY(newKey && newKey->size() == 32 && *newKey != oldKey);
        storage.save(User{QStringLiteral("2"), QStringLiteral("new")}, QStringLiteral("zp_dm_msgs"));
        QCOMPARE(storage.load<User>(QStringLiteral("zp_dm_msgs"))->username, QStringLiteral("new"));
    }

    void keyTheKeychainRefusesIsNeverUsed()
    {
        SecureStorage &storage = SecureStorage::shared();
        storage.save(User{QStringLiteral("1"), QStringLiteral("kept")}, QStringLiteral("zp_global_msgs"));
        const QByteArray oldBlob = *SettingsStore::shared().bytes(QStringLiteral("zp_global_msgs"));
        QVERIFY(KeychainHelper::shared().remove(QStringLiteral("zp_db_key")));
        m_probe->refuseWrites = true;
        const QString out = capturedStdout([&] {
            storage.save(User{QStringLiteral("2"), QStringLiteral("lost?")}, QStringLiteral("zp_global_msgs"));
        });
        QVERIFY(out.startsWith(encryptFailure + QStringLiteral("zp_global_msgs: ")));
        QCOMPARE(*SettingsStore::shared().bytes(QStringLiteral("zp_global_msgs")), oldBlob);
        // Nothing was sealed under a key that only lived in memory; a fresh install stores nothing.
        QVERIFY(!KeychainHelper::shared().readData(QStringLiteral("zp_db_key")));
        QVERIFY(!storage.saveJson("{}", QStringLiteral("fresh")));
        QVERIFY(!SettingsStore::shared().contains(QStringLiteral("fresh")));
    }

private:
    // The load finds nothing and prints the failure line for the key.
    static bool failsLoudly(const QString &line, const QString &key)
    {
        bool loaded = true;
        const QString out = capturedStdout([&] { loaded = bool(SecureStorage::shared().load<User>(key)); });
        if (!loaded && out.startsWith(line + key + QStringLiteral(": ")))
            return true;
        qWarning() << "loaded:" << loaded << "printed:" << out;
        return false;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    ProbeKeychainBackend *m_probe = nullptr;
};

QTEST_GUILESS_MAIN(TestSecureStorage)
#include "TestSecureStorage.moc"
