#pragma once
// The user-defaults store: strings, booleans and bytes by key, one per process.
// Strings and booleans live in an INI file (QSettings) in the app config dir. Byte values (the
// sealed chat caches, up to megabytes each) live one file per key beside it, written atomically,
// so that saving one key never rewrites the others.
#include <QByteArray>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>

class QSettings;

class SettingsStore
{
public:
    static SettingsStore &shared();

    // Points the shared store at another folder (tests, benchmarks); values already held are dropped.
    void setLocation(const QString &directory);
    QString location() const;

    std::optional<QString> string(const QString &key) const;
    void setString(const QString &key, const QString &value);

    // A missing key reads as false, as user defaults do.
    bool boolean(const QString &key) const;
    void setBoolean(const QString &key, bool value);

    std::optional<QByteArray> bytes(const QString &key) const;
    // Returns false when the value could not be written; the previous value then stays.
    bool setBytes(const QString &key, const QByteArray &value);

    bool contains(const QString &key) const;
    void remove(const QString &key);

    ~SettingsStore();

private:
    SettingsStore();
    QString bytesPath(const QString &key) const;
    // The same, for a caller that does not hold the lock.
    QString lockedBytesPath(const QString &key) const;

    mutable QMutex m_mutex;
    QString m_directory;
    std::unique_ptr<QSettings> m_settings;
};
