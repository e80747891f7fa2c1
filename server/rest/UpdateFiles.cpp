#include "rest/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

UpdateFiles::File UpdateFiles::read(const QString &name) const
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,127}$"));
    if (m_directory.isEmpty() || !plainName.match(name).hasMatch() || name.contains(QLatin1String("..")))
        return {};
    const QFileInfo info(QDir(m_directory).filePath(name));
    if (!info.isFile())
        return {};
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray type = name.endsWith(QLatin1String(".json")) ? QByteArrayLiteral("application/json")
                                                                   : QByteArrayLiteral("application/octet-stream");
    return {file.readAll(), type, true};
}
