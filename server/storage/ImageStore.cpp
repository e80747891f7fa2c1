#include "storage/ImageStore.h"

#include "core/Limits.h"
#include "storage/Database.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <QSaveFile>

namespace {
const QRegularExpression &storedName()
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}\\.(jpg|png|gif|webp)$"));
    return pattern;
}

QString extensionFor(const QByteArray &format)
{
    if (format == "jpeg" || format == "jpg")
        return QStringLiteral("jpg");
    if (format == "png" || format == "gif" || format == "webp")
        return QString::fromLatin1(format);
    return {};
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

Outcome<QString> ImageStore::storeBase64(const QString &base64)
{
    // A Base64 text four thirds the size of the largest image is refused before it is decoded.
    if (base64.size() > m_limits.maxImageBytes / 3 * 4 + 8)
        return Refusal{413, QStringLiteral("图片太大")};
    const auto decoded = QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return Refusal{400, QStringLiteral("图片数据无效")};
    return storeBytes(decoded.decoded);
}

Outcome<QString> ImageStore::storeBytes(const QByteArray &bytes)
{
    if (bytes.size() > m_limits.maxImageBytes)
        return Refusal{413, QStringLiteral("图片太大")};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QString extension = extensionFor(reader.format());
    if (extension.isEmpty())
        return Refusal{400, QStringLiteral("图片格式不支持，仅支持JPEG、PNG、GIF、WebP")};
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > m_limits.maxImagePixels)
        return Refusal{413, QStringLiteral("图片尺寸过大")};
    if (reader.read().isNull())
        return Refusal{400, QStringLiteral("图片已损坏，无法读取")};

    const QString name = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
        + u'.' + extension;
    if (!exists(name) && !save(name, bytes))
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
