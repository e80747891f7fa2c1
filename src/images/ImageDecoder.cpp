#include "ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

namespace ImageDecoder {

QImage decode(const QByteArray &bytes, const QSize &viewSize)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A format that does not tell its size up front still cannot allocate past the cap.
    reader.setAllocationLimit(int(maxPixels * 4 / (1024 * 1024)) + 1);
    const QSize size = reader.size();
    if (size.isValid()) {
        if (qint64(size.width()) * size.height() > maxPixels)
            return {};
        const QSize covering = size.scaled(viewSize, Qt::KeepAspectRatioByExpanding);
        if (!viewSize.isEmpty() && covering.width() < size.width() && covering.height() < size.height())
            reader.setScaledSize(covering);
    }
    return reader.read();
}

} // namespace ImageDecoder
