#include "TopLayerWatcher.h"

#include "WindowAccessible.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>

TopLayerWatcher::TopLayerWatcher(QQuickWindow *window) : QObject(window), m_window(window)
{
    m_top = WindowAccessible::topmostModalPopup(window);
    follow();
}

void TopLayerWatcher::watch(QQuickWindow *window)
{
    if (!window->findChild<TopLayerWatcher *>(QString(), Qt::FindDirectChildrenOnly))
        new TopLayerWatcher(window);
}

void TopLayerWatcher::follow()
{
    // The overlay holding the popups is made with the first popup, after the window. An item joins
    // its parent while it is being constructed, before it is known as an overlay, and items change
    // while the window tears them down: every look waits for the event loop (a call still queued
    // when the window is deleted is dropped with this watcher, its child).
    const auto later = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);
    QQuickItem *content = m_window->contentItem();
    connect(content, &QQuickItem::childrenChanged, this, &TopLayerWatcher::follow, later);
    for (QQuickItem *child : content->childItems()) {
        if (!child->inherits("QQuickOverlay"))
            continue;
        connect(child, &QQuickItem::childrenChanged, this, &TopLayerWatcher::follow, later);
        for (QQuickItem *popup : child->childItems()) {
            connect(popup, &QQuickItem::visibleChanged, this, &TopLayerWatcher::check, later);
            connect(popup, &QQuickItem::zChanged, this, &TopLayerWatcher::check, later);
        }
    }
    check();
}

void TopLayerWatcher::check()
{
    QQuickItem *top = WindowAccessible::topmostModalPopup(m_window);
    if (top == m_top)
        return;
    m_top = top;
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_window);
    for (int i = 0, count = window ? window->childCount() : 0; i < count; ++i) {
        if (QAccessibleInterface *child = window->child(i)) {
            QAccessibleEvent event(child, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&event);
        }
    }
}
