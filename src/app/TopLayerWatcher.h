#pragma once
// Tells assistive technologies when a window's top layer changes, that is when a modal sheet or
// dialog opens or closes. WindowAccessible lists only that layer as the window's children, and a
// screen reader that caches the tree would otherwise keep the children it saw before. When the
// topmost open modal popup is another one, each child of the new layer is announced as created,
// which the AT-SPI bridge sends as children-changed:add on the window with the child's index (its
// children-changed for an object reorder carries the child as a plain string, which AT-SPI clients
// drop). A child of its window; one per window.
#include <QObject>
#include <QPointer>

class QQuickItem;
class QQuickWindow;

class TopLayerWatcher : public QObject
{
    Q_OBJECT

public:
    // Starts watching the window unless it is watched already.
    static void watch(QQuickWindow *window);

private:
    explicit TopLayerWatcher(QQuickWindow *window);
    // Follows the content item's and the popup overlay's children and every popup's visibility.
    void follow();
    void check();

    QQuickWindow *m_window;
    QPointer<QQuickItem> m_top;
};
