#pragma once
// The ring of eight dots of the activity spinner, fading from the first to the last, painted as one
// item: a spinner is shown in every image cell that is loading, and eight dot items each cost more
// to make than the whole ring painted once. QML: SpinnerDots.
#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

class SpinnerDotsItem : public QQuickPaintedItem
{
    Q_OBJECT
    QML_NAMED_ELEMENT(SpinnerDots)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

public:
    explicit SpinnerDotsItem(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void colorChanged();

private:
    QColor m_color = QColor::fromRgbF(1, 1, 1, 0.6f);
};
