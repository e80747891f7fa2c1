#pragma once
// Draws the image of an ImageLoader, fitted into or filling its bounds, optionally clipped to a
// rounded square (avatars). QML: CachedImage. The image is decoded for the item's size in device
// pixels at the time its source is set (once the item is complete, so that its size is bound);
// an item without a size yet gets the image at its own size.
#include "ImageLoader.h"

#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

class CachedImageItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(CachedImage)
    Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(ImageLoader::LoadState loadState READ loadState NOTIFY loadStateChanged)
    Q_PROPERTY(ContentMode contentMode READ contentMode WRITE setContentMode NOTIFY contentModeChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY imageChanged)

public:
    enum ContentMode { Fit, Fill };
    Q_ENUM(ContentMode)

    explicit CachedImageItem(QQuickItem *parent = nullptr);

    QString source() const { return m_source; }
    void setSource(const QString &source);
    ImageLoader::LoadState loadState() const { return m_loader.loadState(); }
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);
    QSize imageSize() const { return m_loader.image().size(); }

    void paint(QPainter *painter) override;
    void componentComplete() override;
    // Draws the image fitted into or filling the bounds, clipped to a rounded rectangle.
    static void paintImage(QPainter *painter, const QImage &image, const QRectF &bounds, ContentMode mode,
                           qreal radius);

Q_SIGNALS:
    void sourceChanged();
    void loadStateChanged();
    void contentModeChanged();
    void radiusChanged();
    void imageChanged();

private:
    void load();

    QString m_source;
    ImageLoader m_loader;
    ContentMode m_contentMode = Fill;
    qreal m_radius = 0;
};
