#include "SettingsStore.h"

#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>

namespace {
// Keys become file names; anything outside a safe set is hex-escaped so no key can leave the folder.
QString fileNameForKey(const QString &key)
{
    QString name;
    for (const QChar c : key) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            name += c;
        else if (c == u'_' || c == u'-')
            name += c;
        else
            name += QStringLiteral("%%%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return name + QStringLiteral(".bin");
}
} // namespace

SettingsStore &SettingsStore::shared()
{
    static SettingsStore store;
    return store;
}

SettingsStore::SettingsStore()
{
    setLocation(AppPaths::configDir());
}

SettingsStore::~SettingsStore() = default;

void SettingsStore::setLocation(const QString &directory)
{
    QMutexLocker lock(&m_mutex);
    m_directory = directory;
    AppPaths::ensurePrivateDir(directory + QStringLiteral("/values"));
    m_settings = std::make_unique<QSettings>(directory + QStringLiteral("/settings.ini"), QSettings::IniFormat);
}

QString SettingsStore::location() const
{
    QMutexLocker lock(&m_mutex);
    return m_directory;
}

QString SettingsStore::lockedBytesPath(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return bytesPath(key);
}

QString SettingsStore::bytesPath(const QString &key) const
{
    return m_directory + QStringLiteral("/values/") + fileNameForKey(key);
}

std::optional<QString> SettingsStore::string(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    const QVariant value = m_settings->value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

void SettingsStore::setString(const QString &key, const QString &value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(key, value);
    m_settings->sync();
}

bool SettingsStore::boolean(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    // INI keeps no types: a boolean comes back as the text "true" or "false".
    return m_settings->value(key).toString() == QStringLiteral("true");
}

void SettingsStore::setBoolean(const QString &key, bool value)
{
    QMutexLocker lock(&m_mutex);
    m_settings->setValue(key, value ? QStringLiteral("true") : QStringLiteral("false"));
    m_settings->sync();
}

std::optional<QByteArray> SettingsStore::bytes(const QString &key) const
{
    // Read unlocked too (see setBytes): the cache is opened on a worker at start.
    QFile file(lockedBytesPath(key));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool SettingsStore::setBytes(const QString &key, const QByteArray &value)
{
    // The write (megabytes, synced to disk) runs unlocked, so the chat cache's writer thread never
    // holds up the main thread's reads of other keys; the save file is atomic on its own.
    QSaveFile file(lockedBytesPath(key));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(value) != value.size())
        return false;
    return file.commit();
}

bool SettingsStore::contains(const QString &key) const
{
    QMutexLocker lock(&m_mutex);
    return m_settings->contains(key) || QFile::exists(bytesPath(key));
}

void SettingsStore::remove(const QString &key)
{
    QMutexLocker lock(&m_mutex);
    m_settings->remove(key);
    m_settings->sync();
    QFile::remove(bytesPath(key));
}
