#include "DraftThumbnailItem.h"

#include "CachedImageItem.h"

DraftThumbnailItem::DraftThumbnailItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void DraftThumbnailItem::setImage(const QImage &image)
{
    m_image = image;
    Q_EMIT imageChanged();
    update();
}

void DraftThumbnailItem::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    Q_EMIT radiusChanged();
    update();
}

void DraftThumbnailItem::paint(QPainter *painter)
{
    CachedImageItem::paintImage(painter, m_image, QRectF(0, 0, width(), height()), CachedImageItem::Fill, m_radius);
}
