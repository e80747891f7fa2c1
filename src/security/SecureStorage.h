#pragma once
// A key-value store for any JSON-coded value, sealed with AES-256-GCM under a device key held in
// the keychain ("zp_db_key") and kept in the settings store under the caller's key.
// Blob layout: 12-byte nonce | ciphertext (same length as the JSON) | 16-byte tag; no associated data.
// Failures print one "[SecureStorage] ..." line to standard output and end in "no value".
#include "JsonCoding.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <optional>

class SecureStorage
{
public:
    static constexpr int keyLength = 32;
    static constexpr int nonceLength = 12;
    static constexpr int tagLength = 16;

    static SecureStorage &shared();

    // The keychain account of the storage key.
    QString keyAccount() const { return QStringLiteral("zp_db_key"); }

    template <typename T>
    void save(const T &value, const QString &key)
    {
        saveJson(encodeJson(value), key);
    }

    template <typename T>
    std::optional<T> load(const QString &key)
    {
        const std::optional<QByteArray> json = loadJson(key);
        if (!json)
            return std::nullopt;
        Result<T> decoded = decodeJson<T>(*json);
        if (!decoded) {
            reportLoadFailure(key, decoded.error());
            return std::nullopt;
        }
        return std::move(decoded).value();
    }

    // Seals already encoded JSON and stores it under key, replacing the old blob. On failure the
    // old blob stays, the encrypt-failure line is printed and false is returned.
    bool saveJson(const QByteArray &json, const QString &key);
    // The JSON text stored under key; nothing (silently) when no blob is stored, nothing with the
    // decrypt-failure line when the blob cannot be opened.
    std::optional<QByteArray> loadJson(const QString &key);

    static void reportSaveFailure(const QString &key, const QString &reason);
    static void reportLoadFailure(const QString &key, const QString &reason);

private:
    SecureStorage() = default;
    // The storage key from the keychain, created on first use. A created key is used only once the
    // keychain has stored it: a key that was not kept would make the sealed value unreadable.
    Result<QByteArray> storageKey();

    QMutex m_keyMutex;
};
