#include "storage/ImageStore.h"

#include "core/Limits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {
const QRegularExpression &storedName()
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}\\.(jpg|png|gif|webp)$"));
    return pattern;
}
} // namespace

ImageStore::ImageStore(const QString &directory, const Limits &limits) : m_directory(directory), m_limits(limits)
{
    QDir().mkpath(m_directory);
}

Outcome<QString> ImageStore::storeBytes(const QByteArray &bytes)
{
    const Outcome<CheckedImage> checked = CheckedImage::fromBytes(bytes, m_limits);
    if (!checked)
        return checked.refusal();
    return store(*checked);
}

Outcome<QString> ImageStore::store(const CheckedImage &image)
{
    const QByteArray &bytes = image.bytes();
    const QString &name = image.fileName();
    const QString path = QDir(m_directory).filePath(name);
    if (!QFileInfo::exists(path)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return Refusal{500, QStringLiteral("图片保存失败")};
    }
    return urlPrefix() + name;
}

bool ImageStore::holds(const QString &path) const
{
    if (!path.startsWith(urlPrefix()))
        return false;
    const QString name = path.mid(urlPrefix().size());
    return storedName().match(name).hasMatch() && QFileInfo::exists(QDir(m_directory).filePath(name));
}

ImageStore::File ImageStore::read(const QString &name) const
{
    const QRegularExpressionMatch match = storedName().match(name);
    if (!match.hasMatch())
        return {};
    QFile file(QDir(m_directory).filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString extension = match.captured(1);
    const QByteArray type = extension == QLatin1String("jpg") ? QByteArrayLiteral("image/jpeg")
                                                               : "image/" + extension.toLatin1();
    return {file.readAll(), type};
}
