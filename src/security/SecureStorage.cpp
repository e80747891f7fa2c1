#include "SecureStorage.h"

#include "KeychainHelper.h"
#include "SettingsStore.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <cstdio>
#include <memory>

namespace {
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherContext newContext()
{
    return CipherContext(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
}

auto bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

auto bytes(QByteArray &data)
{
    return reinterpret_cast<unsigned char *>(data.data());
}

Result<QByteArray> seal(const QByteArray &plain, const QByteArray &key)
{
    QByteArray blob(SecureStorage::nonceLength + plain.size() + SecureStorage::tagLength, Qt::Uninitialized);
    unsigned char *nonce = bytes(blob);
    unsigned char *cipher = nonce + SecureStorage::nonceLength;
    if (RAND_bytes(nonce, SecureStorage::nonceLength) != 1)
        return Result<QByteArray>::failure(QStringLiteral("no random nonce"));
    CipherContext ctx = newContext();
    int written = 0;
    int finalWritten = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, bytes(key), nonce) != 1
        || EVP_EncryptUpdate(ctx.get(), cipher, &written, bytes(plain), int(plain.size())) != 1
        || EVP_EncryptFinal_ex(ctx.get(), cipher + written, &finalWritten) != 1
        || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, SecureStorage::tagLength,
                               cipher + plain.size()) != 1)
        return Result<QByteArray>::failure(QStringLiteral("AES-GCM seal failed"));
    return blob;
}

Result<QByteArray> open(const QByteArray &blob, const QByteArray &key)
{
    // The caller has checked that the blob holds at least a nonce and a tag.
    const qsizetype length = blob.size() - SecureStorage::nonceLength - SecureStorage::tagLength;
    const unsigned char *nonce = bytes(blob);
    const unsigned char *cipher = nonce + SecureStorage::nonceLength;
    QByteArray plain(length, Qt::Uninitialized);
    QByteArray tag = blob.right(SecureStorage::tagLength);
    CipherContext ctx = newContext();
    int written = 0;
    int finalWritten = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, bytes(key), nonce) != 1
        || EVP_DecryptUpdate(ctx.get(), bytes(plain), &written, cipher, int(length)) != 1
        || EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, SecureStorage::tagLength, bytes(tag)) != 1
        || EVP_DecryptFinal_ex(ctx.get(), bytes(plain) + written, &finalWritten) != 1)
        return Result<QByteArray>::failure(QStringLiteral("authentication failed"));
    return plain;
}

void printLine(const QString &line)
{
    const QByteArray utf8 = line.toUtf8() + '\n';
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
}
} // namespace

SecureStorage &SecureStorage::shared()
{
    static SecureStorage storage;
    return storage;
}

Result<QByteArray> SecureStorage::storageKey()
{
    // The read-else-create sequence must not run twice at once, or two keys would race.
    QMutexLocker lock(&m_keyMutex);
    KeychainHelper &keychain = KeychainHelper::shared();
    if (std::optional<QByteArray> key = keychain.readData(keyAccount())) {
        if (key->size() != keyLength)
            return Result<QByteArray>::failure(QStringLiteral("storage key has %1 bytes").arg(key->size()));
        return *key;
    }
    QByteArray key(keyLength, Qt::Uninitialized);
    if (RAND_bytes(bytes(key), keyLength) != 1)
        return Result<QByteArray>::failure(QStringLiteral("no random storage key"));
    if (!keychain.save(key, keyAccount()))
        return Result<QByteArray>::failure(QStringLiteral("the keychain did not store a new storage key"));
    return key;
}

bool SecureStorage::saveJson(const QByteArray &json, const QString &key)
{
    const Result<QByteArray> storageKey = this->storageKey();
    if (!storageKey) {
        reportSaveFailure(key, storageKey.error());
        return false;
    }
    const Result<QByteArray> blob = seal(json, *storageKey);
    if (!blob) {
        reportSaveFailure(key, blob.error());
        return false;
    }
    if (!SettingsStore::shared().setBytes(key, *blob)) {
        reportSaveFailure(key, QStringLiteral("the settings store did not write the value"));
        return false;
    }
    return true;
}

std::optional<QByteArray> SecureStorage::loadJson(const QString &key)
{
    const std::optional<QByteArray> blob = SettingsStore::shared().bytes(key);
    if (!blob)
        return std::nullopt;
    if (blob->size() < nonceLength + tagLength) {
        reportLoadFailure(key, QStringLiteral("sealed box too short: %1 bytes").arg(blob->size()));
        return std::nullopt;
    }
    const Result<QByteArray> storageKey = this->storageKey();
    if (!storageKey) {
        reportLoadFailure(key, storageKey.error());
        return std::nullopt;
    }
    Result<QByteArray> plain = open(*blob, *storageKey);
    if (!plain) {
        reportLoadFailure(key, plain.error());
        return std::nullopt;
    }
    return std::move(plain).value();
}

void SecureStorage::reportSaveFailure(const QString &key, const QString &reason)
{
    printLine(QStringLiteral("[SecureStorage] 加密保存失败 forKey=") + key + QStringLiteral(": ") + reason);
}

void SecureStorage::reportLoadFailure(const QString &key, const QString &reason)
{
    printLine(QStringLiteral("[SecureStorage] 解密读取失败 forKey=") + key + QStringLiteral(": ") + reason);
}
