#include "GradientTileItem.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

QColor toColor(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QColor)
        return value.value<QColor>();
    return QColor(value.toString());
}

} // namespace

GradientTileItem::GradientTileItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void GradientTileItem::setColors(const QVariantList &colors)
{
    if (colors == m_colors)
        return;
    m_colors = colors;
    Q_EMIT colorsChanged();
    update();
}

void GradientTileItem::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    Q_EMIT radiusChanged();
    update();
}

void GradientTileItem::paint(QPainter *painter)
{
    const QRectF bounds(0, 0, width(), height());
    QLinearGradient gradient(bounds.topLeft(), bounds.bottomRight());
    const qsizetype stops = m_colors.size();
    for (qsizetype i = 0; i < stops; ++i)
        gradient.setColorAt(stops == 1 ? 0.0 : qreal(i) / qreal(stops - 1), toColor(m_colors.at(i)));
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(stops == 0 ? QBrush(Qt::transparent) : QBrush(gradient));
    painter->drawRoundedRect(bounds, m_radius, m_radius);
}
