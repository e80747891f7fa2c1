#include "storage/ImageStore.h"

#include "core/Limits.h"
#include "storage/Database.h"

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

ImageStore::ImageStore(const QString &directory, Database &db, const Limits &limits)
    : m_directory(directory), m_db(db), m_limits(limits)
{
    if (!inDatabase())
        QDir().mkpath(m_directory);
}

bool ImageStore::inDatabase() const
{
    return m_db.backend() == Database::Backend::Postgres;
}

bool ImageStore::exists(const QString &name) const
{
    if (inDatabase())
        return m_db.scalar(QStringLiteral("SELECT 1 FROM images WHERE name = ?"), {name}).isValid();
    return QFileInfo::exists(QDir(m_directory).filePath(name));
}

bool ImageStore::save(const QString &name, const QByteArray &bytes)
{
    if (inDatabase())
        return m_db.exec(QStringLiteral("INSERT INTO images(name, bytes) VALUES(?, ?) ON CONFLICT DO NOTHING"), {name, bytes});
    QSaveFile file(QDir(m_directory).filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray ImageStore::load(const QString &name) const
{
    if (inDatabase())
        return m_db.scalar(QStringLiteral("SELECT bytes FROM images WHERE name = ?"), {name}).toByteArray();
    QFile file(QDir(m_directory).filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    const QString &name = image.fileName();
    if (!exists(name) && !save(name, image.bytes()))
        return Refusal{500, QStringLiteral("图片保存失败")};
    return urlPrefix() + name;
}

bool ImageStore::holds(const QString &path) const
{
    if (!path.startsWith(urlPrefix()))
        return false;
    const QString name = path.mid(urlPrefix().size());
    return storedName().match(name).hasMatch() && exists(name);
}

ImageStore::File ImageStore::read(const QString &name) const
{
    const QRegularExpressionMatch match = storedName().match(name);
    if (!match.hasMatch())
        return {};
    const QByteArray bytes = load(name);
    if (bytes.isNull())
        return {};
    const QString extension = match.captured(1);
    const QByteArray type = extension == QLatin1String("jpg") ? QByteArrayLiteral("image/jpeg")
                                                               : "image/" + extension.toLatin1();
    return {bytes, type};
}
