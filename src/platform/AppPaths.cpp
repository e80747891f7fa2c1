#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace AppPaths {

QString configDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString cacheDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

bool ensurePrivateDir(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace AppPaths
