#include "CachedImageItem.h"

#include <QPainter>
#include <QPainterPath>
#include <QGuiApplication>
#include <QQuickWindow>

CachedImageItem::CachedImageItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    connect(&m_loader, &ImageLoader::loadStateChanged, this, &CachedImageItem::loadStateChanged);
    connect(&m_loader, &ImageLoader::imageChanged, this, [this] {
        Q_EMIT imageChanged();
        update();
    });
}

void CachedImageItem::setSource(const QString &source)
{
    if (source == m_source)
        return;
    m_source = source;
    Q_EMIT sourceChanged();
    if (isComponentComplete())
        load();
}

void CachedImageItem::componentComplete()
{
    QQuickPaintedItem::componentComplete();
    load();
}

void CachedImageItem::load()
{
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : qGuiApp->devicePixelRatio();
    m_loader.setViewSize((QSizeF(width(), height()) * ratio).toSize());
    m_loader.setSource(m_source);
}

void CachedImageItem::setContentMode(ContentMode mode)
{
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    Q_EMIT contentModeChanged();
    update();
}

void CachedImageItem::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    Q_EMIT radiusChanged();
    update();
}

void CachedImageItem::paint(QPainter *painter)
{
    paintImage(painter, m_loader.image(), QRectF(0, 0, width(), height()), m_contentMode, m_radius);
}

void CachedImageItem::paintImage(QPainter *painter, const QImage &image, const QRectF &bounds, ContentMode mode,
                                 qreal radius)
{
    if (image.isNull() || bounds.isEmpty())
        return;
    const QSizeF scaled = QSizeF(image.size())
                              .scaled(bounds.size(), mode == Fit ? Qt::KeepAspectRatio : Qt::KeepAspectRatioByExpanding);
    QRectF target(QPointF(), scaled);
    target.moveCenter(bounds.center());

    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(bounds, radius, radius);
    painter->setClipPath(clip);
    painter->drawImage(target, image);
}
