#include "storage/CheckedImage.h"

#include "core/Limits.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>

namespace {
QString extensionFor(const QByteArray &format)
{
    if (format == "jpeg" || format == "jpg")
        return QStringLiteral("jpg");
    if (format == "png" || format == "gif" || format == "webp")
        return QString::fromLatin1(format);
    return {};
}
} // namespace

Outcome<CheckedImage> CheckedImage::fromBase64(const QString &base64, const Limits &limits)
{
    // A Base64 text four thirds the size of the largest image is refused before it is decoded.
    if (base64.size() > limits.maxImageBytes / 3 * 4 + 8)
        return Refusal{413, QStringLiteral("图片太大")};
    const auto decoded = QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return Refusal{400, QStringLiteral("图片数据无效")};
    return fromBytes(decoded.decoded, limits);
}

Outcome<CheckedImage> CheckedImage::fromBytes(const QByteArray &bytes, const Limits &limits)
{
    if (bytes.size() > limits.maxImageBytes)
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
    if (!size.isValid() || qint64(size.width()) * size.height() > limits.maxImagePixels)
        return Refusal{413, QStringLiteral("图片尺寸过大")};
    if (reader.read().isNull())
        return Refusal{400, QStringLiteral("图片已损坏，无法读取")};
    return CheckedImage(bytes, QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())
                                   + u'.' + extension);
}
