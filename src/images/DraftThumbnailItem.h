#pragma once
// Shows one image held in memory (a draft), filling its square, clipped to rounded corners.
// QML: DraftThumbnail.
#include <QImage>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

class DraftThumbnailItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(DraftThumbnail)
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)

public:
    explicit DraftThumbnailItem(QQuickItem *parent = nullptr);

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void imageChanged();
    void radiusChanged();

private:
    QImage m_image;
    qreal m_radius = 0;
};
