#pragma once
// What assistive technologies see of a Qt Quick window: only its topmost layer. While a modal
// sheet or dialog is open, the window's children are that popup and whatever is stacked over it;
// the screen under it stays painted but leaves the tree. Hidden parts (a screen a full-screen page
// covers) leave it too. Qt Quick's own window lists every accessible item, covered or not, and
// `Accessible.ignored` on a container drops only the container, never its children.
#include <QAccessibleObject>

class QQuickItem;
class QQuickWindow;

class WindowAccessible : public QAccessibleObject
{
public:
    explicit WindowAccessible(QQuickWindow *window);

    // Also starts the window's TopLayerWatcher, so the tree's users hear when the top layer changes.
    static QAccessibleInterface *create(const QString &className, QObject *object);
    // The item of the topmost open modal popup, or nullptr when none is open.
    static QQuickItem *topmostModalPopup(const QQuickWindow *window);

    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;
    QString text(QAccessible::Text kind) const override;
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Window; }
    QAccessible::State state() const override;

private:
    QQuickWindow *quickWindow() const;
    // The topmost layer's accessible items, in the order Qt Quick lists them.
    QList<QQuickItem *> rootItems() const;
};
