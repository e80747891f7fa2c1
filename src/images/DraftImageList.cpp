#include "DraftImageList.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

DraftImageList::DraftImageList(QObject *parent) : QAbstractListModel(parent) {}

int DraftImageList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant DraftImageList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) || role != ImageRole)
        return {};
    return m_images.at(index.row());
}

QHash<int, QByteArray> DraftImageList::roleNames() const
{
    return {{ImageRole, "image"}};
}

void DraftImageList::setLimit(int limit)
{
    if (limit == m_limit)
        return;
    m_limit = limit;
    Q_EMIT limitChanged();
}

bool DraftImageList::addFile(const QUrl &file)
{
    if (!file.isLocalFile())
        return false;
    QImageReader reader(file.toLocalFile());
    reader.setAutoTransform(true); // photos carry their orientation in EXIF
    return addImage(reader.read());
}

bool DraftImageList::addFromClipboard()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return clipboard && addImage(clipboard->image());
}

bool DraftImageList::addImage(const QImage &image)
{
    if (image.isNull() || (m_limit > 0 && count() >= m_limit))
        return false;
    beginInsertRows({}, count(), count());
    m_images.append(image);
    endInsertRows();
    Q_EMIT countChanged();
    return true;
}

int DraftImageList::addFiles(const QList<QUrl> &files)
{
    int added = 0;
    for (const QUrl &file : files)
        added += addFile(file) ? 1 : 0;
    return added;
}

void DraftImageList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    beginRemoveRows({}, index, index);
    m_images.removeAt(index);
    endRemoveRows();
    Q_EMIT countChanged();
}

void DraftImageList::clear()
{
    if (m_images.isEmpty())
        return;
    beginResetModel();
    m_images.clear();
    endResetModel();
    Q_EMIT countChanged();
}

QByteArray DraftImageList::encodeJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // JPEG has no alpha: flatten transparent pixels onto white rather than black.
    QImage opaque = image;
    if (image.hasAlphaChannel()) {
        opaque = QImage(image.size(), QImage::Format_RGB32);
        opaque.fill(Qt::white);
        QPainter(&opaque).drawImage(0, 0, image);
    }
    if (!opaque.save(&buffer, "JPEG", 80))
        return {};
    return bytes;
}
