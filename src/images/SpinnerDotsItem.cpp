#include "SpinnerDotsItem.h"

#include <QPainter>
#include <QtMath>

SpinnerDotsItem::SpinnerDotsItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void SpinnerDotsItem::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    Q_EMIT colorChanged();
    update();
}

void SpinnerDotsItem::paint(QPainter *painter)
{
    // Dots of 18 % of the width on a circle touching the edges, from 30 % to full opacity.
    constexpr int dots = 8;
    const qreal dot = width() * 0.18;
    const qreal reach = (width() - dot) / 2;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    for (int i = 0; i < dots; ++i) {
        const qreal angle = i * M_PI / 4;
        QColor color = m_color;
        color.setAlphaF(m_color.alphaF() * (0.3f + 0.7f * i / (dots - 1)));
        painter->setBrush(color);
        painter->drawEllipse(QRectF(reach + std::cos(angle) * reach, reach + std::sin(angle) * reach, dot, dot));
    }
}
