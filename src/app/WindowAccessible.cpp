#include "WindowAccessible.h"

#include "TopLayerWatcher.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <algorithm>

namespace {

// An item is in the tree when it has an Accessible attached object (QML made one, or the control
// did when accessibility came on) that is not ignored.
bool isAccessible(const QQuickItem *item)
{
    const QObjectList children = item->children();
    return std::any_of(children.begin(), children.end(), [](const QObject *child) {
        return child->inherits("QQuickAccessibleAttached") && !child->property("ignored").toBool();
    });
}

// `item` if it is accessible, else the accessible items nearest under it; hidden branches left out.
void collect(QQuickItem *item, QList<QQuickItem *> &items)
{
    if (!item->isVisible())
        return;
    if (isAccessible(item)) {
        items.append(item);
        return;
    }
    for (QQuickItem *child : item->childItems())
        collect(child, items);
}

bool isOpenModalPopup(const QQuickItem *item)
{
    // A popup's item is the QObject child of its popup.
    return item->inherits("QQuickPopupItem") && item->isVisible() && item->parent()
        && item->parent()->property("modal").toBool();
}

// Popups live in the window's overlay, stacked by z.
QList<QQuickItem *> popupsByZ(const QQuickWindow *window)
{
    QList<QQuickItem *> overlay;
    QQuickItem *content = window ? window->contentItem() : nullptr;
    if (!content)
        return overlay;
    for (QQuickItem *child : content->childItems())
        if (child->inherits("QQuickOverlay"))
            overlay = child->childItems();
    std::stable_sort(overlay.begin(), overlay.end(), [](QQuickItem *a, QQuickItem *b) { return a->z() < b->z(); });
    return overlay;
}

} // namespace

WindowAccessible::WindowAccessible(QQuickWindow *window) : QAccessibleObject(window) {}

QAccessibleInterface *WindowAccessible::create(const QString &, QObject *object)
{
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window)
        return nullptr;
    TopLayerWatcher::watch(window);
    return new WindowAccessible(window);
}

QQuickWindow *WindowAccessible::quickWindow() const { return static_cast<QQuickWindow *>(object()); }

QWindow *WindowAccessible::window() const { return quickWindow(); }

QQuickItem *WindowAccessible::topmostModalPopup(const QQuickWindow *window)
{
    const QList<QQuickItem *> overlay = popupsByZ(window);
    const auto topmost = std::find_if(overlay.rbegin(), overlay.rend(), isOpenModalPopup);
    return topmost == overlay.rend() ? nullptr : *topmost;
}

QList<QQuickItem *> WindowAccessible::rootItems() const
{
    QList<QQuickItem *> items;
    QQuickItem *content = quickWindow() ? quickWindow()->contentItem() : nullptr;
    if (!content)
        return items;
    // The topmost open modal popup and everything above it make the top layer; the rest of the
    // window is covered.
    const QList<QQuickItem *> overlay = popupsByZ(quickWindow());
    QQuickItem *topmost = topmostModalPopup(quickWindow());
    const QList<QQuickItem *> top = topmost ? overlay.mid(overlay.indexOf(topmost)) : content->childItems();
    for (QQuickItem *layer : top)
        collect(layer, items);
    return items;
}

QAccessibleInterface *WindowAccessible::parent() const { return QAccessible::queryAccessibleInterface(qApp); }

QAccessibleInterface *WindowAccessible::child(int index) const
{
    const QList<QQuickItem *> items = rootItems();
    return index >= 0 && index < items.size() ? QAccessible::queryAccessibleInterface(items.at(index)) : nullptr;
}

int WindowAccessible::childCount() const { return int(rootItems().size()); }

int WindowAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    return child ? int(rootItems().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
}

QAccessibleInterface *WindowAccessible::childAt(int x, int y) const
{
    for (int i = childCount() - 1; i >= 0; --i) {
        QAccessibleInterface *node = child(i);
        if (!node || node->state().invisible)
            continue;
        if (QAccessibleInterface *inner = node->childAt(x, y))
            return inner;
        if (node->rect().contains(x, y))
            return node;
    }
    return nullptr;
}

QAccessibleInterface *WindowAccessible::focusChild() const
{
    QObject *focused = quickWindow() ? quickWindow()->focusObject() : nullptr;
    QAccessibleInterface *node = focused ? QAccessible::queryAccessibleInterface(focused) : nullptr;
    if (!node || node == this || !node->focusChild())
        return node;
    return node->focusChild();
}

QString WindowAccessible::text(QAccessible::Text kind) const
{
    return kind == QAccessible::Name && quickWindow() ? quickWindow()->title() : QString();
}

QRect WindowAccessible::rect() const
{
    const QQuickWindow *window = quickWindow();
    return window ? QRect(window->x(), window->y(), window->width(), window->height()) : QRect();
}

QAccessible::State WindowAccessible::state() const
{
    QAccessible::State state;
    state.active = quickWindow() && quickWindow() == QGuiApplication::focusWindow();
    state.invisible = !quickWindow() || !quickWindow()->isVisible();
    return state;
}
