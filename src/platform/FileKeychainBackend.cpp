#include "FileKeychainBackend.h"

#include "AppPaths.h"

#include <QFile>
#include <QSaveFile>

namespace {
// Service and account become one file name; anything outside a safe set is hex-escaped so that
// no name can leave the folder or collide with another pair.
QString escaped(const QString &text)
{
    QString name;
    for (const QChar c : text) {
        if ((c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'.' || c == u'-')
            name += c;
        else
            name += QStringLiteral("%%%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return name;
}
} // namespace

FileKeychainBackend::FileKeychainBackend(const QString &directory) : m_directory(directory) {}

QString FileKeychainBackend::itemPath(const QString &service, const QString &account) const
{
    return m_directory + QLatin1Char('/') + escaped(service) + QStringLiteral("%0023") + escaped(account);
}

bool FileKeychainBackend::write(const QString &service, const QString &account, const QByteArray &data)
{
    if (!AppPaths::ensurePrivateDir(m_directory))
        return false;
    QSaveFile file(itemPath(service, account));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Restricted before any secret byte is written.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    if (file.write(data) != data.size())
        return false;
    return file.commit();
}

std::optional<QByteArray> FileKeychainBackend::read(const QString &service, const QString &account)
{
    QFile file(itemPath(service, account));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool FileKeychainBackend::remove(const QString &service, const QString &account)
{
    QFile file(itemPath(service, account));
    return !file.exists() || file.remove();
}
