#pragma once
// A rounded square filled with a linear gradient from its top-left to its bottom-right corner: the
// avatars' fallback tile. QML: GradientTile.
#include <QColor>
#include <QList>
#include <QQuickPaintedItem>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class GradientTileItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(GradientTile)
    // Colour stops spread evenly along the diagonal; colours or colour names.
    Q_PROPERTY(QVariantList colors READ colors WRITE setColors NOTIFY colorsChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)

public:
    explicit GradientTileItem(QQuickItem *parent = nullptr);

    QVariantList colors() const { return m_colors; }
    void setColors(const QVariantList &colors);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void colorsChanged();
    void radiusChanged();

private:
    QVariantList m_colors;
    qreal m_radius = 0;
};
