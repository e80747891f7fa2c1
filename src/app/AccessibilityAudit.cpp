#include "AccessibilityAudit.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtCore/private/qmetaobject_p.h>
#include <QtCore/private/qobject_p.h>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <algorithm>

namespace {

bool isInteractive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::PageTab:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::EditableText:
    case QAccessible::ComboBox:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::Link:
    case QAccessible::MenuItem:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
        return true;
    default:
        return false;
    }
}

bool isTabStop(const QQuickItem *item)
{
    return item->activeFocusOnTab() && item->isVisible() && item->isEnabled();
}

QString describe(QAccessibleInterface *node)
{
    const QObject *object = node->object();
    const QString objectName = object ? object->objectName() : QString();
    return QStringLiteral("role %1 \"%2\" (%3)")
        .arg(int(node->role()))
        .arg(node->text(QAccessible::Name),
             objectName.isEmpty() && object ? QString::fromLatin1(object->metaObject()->className()) : objectName);
}

// Whether `signal` of `object` has a receiver, QML handlers included.
bool isConnected(const QObject *object, const char *signal)
{
    const int index = object->metaObject()->indexOfSignal(signal);
    return index >= 0
        && QObjectPrivate::get(object)->isSignalConnected(
            uint(QMetaObjectPrivate::signalIndex(object->metaObject()->method(index))));
}

// A button's press action acts when its item handles it, through `Accessible.onPressAction` or
// an `accessiblePressAction()` method (Qt Quick reports success for any other button and does nothing).
bool pressActs(const QQuickItem *item)
{
    if (item->metaObject()->indexOfMethod("accessiblePressAction()") >= 0)
        return true;
    const QList<QObject *> children = item->children();
    return std::any_of(children.begin(), children.end(), [](const QObject *child) {
        return child->inherits("QQuickAccessibleAttached") && isConnected(child, "pressAction()");
    });
}

// Painting order among siblings: by z, then by declaration.
QList<QQuickItem *> paintOrder(const QQuickItem *item)
{
    QList<QQuickItem *> children = item->childItems();
    std::stable_sort(children.begin(), children.end(), [](QQuickItem *a, QQuickItem *b) { return a->z() < b->z(); });
    return children;
}

class Walk
{
public:
    explicit Walk(QQuickWindow *window) : m_window(window) { collectLayers(window->contentItem(), false); }

    QStringList run()
    {
        visit(QAccessible::queryAccessibleInterface(m_window));
        checkTabChain();
        if (!m_titled)
            m_findings.append(QStringLiteral("untitled: the topmost screen, sheet or dialog has no named heading"));
        return m_findings;
    }

private:
    // Screens and popups in painting order. A screen is an opaque rectangle filling the window; a
    // popup (the app's are all modal) is a sheet or dialog. Either covers what is painted before it.
    void collectLayers(QQuickItem *item, bool inPopup)
    {
        if (!item->isVisible())
            return;
        m_order.append(item);
        const bool popup = item->inherits("QQuickPopupItem");
        if (popup || (!inPopup && fillsWindow(item)))
            m_layers.append({item, int(m_order.size()) - 1});
        for (QQuickItem *child : paintOrder(item))
            collectLayers(child, inPopup || popup);
    }

    bool fillsWindow(const QQuickItem *item) const
    {
        if (!item->inherits("QQuickRectangle") || item->property("color").value<QColor>().alpha() < 255)
            return false;
        for (const QQuickItem *level = item; level; level = level->parentItem())
            if (level->opacity() < 1)
                return false;
        const QRectF scene = item->mapRectToScene(item->boundingRect());
        return scene.contains(QRectF(0, 0, m_window->width(), m_window->height()));
    }

    static bool contains(const QQuickItem *ancestor, const QQuickItem *item)
    {
        for (; item; item = item->parentItem())
            if (item == ancestor)
                return true;
        return false;
    }

    // Covered: a layer outside which the item lies is painted after it.
    bool isCovered(const QQuickItem *item) const
    {
        const qsizetype position = m_order.indexOf(item);
        return position >= 0 && std::any_of(m_layers.begin(), m_layers.end(), [&](const Layer &layer) {
                   return layer.position > position && !contains(layer.item, item);
               });
    }

    void visit(QAccessibleInterface *node)
    {
        if (!node || !node->isValid() || m_seen.contains(node))
            return;
        m_seen.insert(node);
        check(node);
        for (int i = 0; i < node->childCount(); ++i)
            visit(node->child(i));
    }

    void check(QAccessibleInterface *node)
    {
        auto *item = qobject_cast<QQuickItem *>(node->object());
        const QAccessible::State state = node->state();
        const QAccessible::Role role = node->role();
        const bool showing = !state.invisible && !state.offscreen;
        const bool named = !node->text(QAccessible::Name).trimmed().isEmpty();
        if (showing && (isInteractive(role) || state.focusable || (item && isTabStop(item))) && !named)
            add(QStringLiteral("unnamed"), node);
        if (showing && role == QAccessible::Heading && !named)
            add(QStringLiteral("heading"), node);
        if (!item)
            return;
        const bool covered = isCovered(item);
        m_titled = m_titled || (showing && role == QAccessible::Heading && named && !covered);
        if (isInteractive(role) && (showing || isTabStop(item)) && covered)
            add(QStringLiteral("covered"), node);
        if (showing && item->isEnabled() && (role == QAccessible::Button || role == QAccessible::PageTab)
            && node->actionInterface()
            && node->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction())
            && !pressActs(item))
            add(QStringLiteral("press"), node);
        checkPassword(node, item);
    }

    void checkPassword(QAccessibleInterface *node, const QQuickItem *item)
    {
        if (!item->inherits("QQuickTextInput") || item->property("echoMode").toInt() == 0)
            return;
        const QString secret = item->property("text").toString();
        QAccessibleTextInterface *text = node->textInterface();
        const bool exposes = !secret.isEmpty()
            && (node->text(QAccessible::Value).contains(secret)
                || (text && text->text(0, text->characterCount()).contains(secret)));
        if (!node->state().passwordEdit || node->text(QAccessible::Name).trimmed().isEmpty() || exposes)
            add(QStringLiteral("password"), node);
    }

    // Tab from the focused control reaches only controls of the topmost screen or dialog.
    void checkTabChain()
    {
        QQuickItem *start = m_window->activeFocusItem();
        if (!start)
            return;
        QQuickItem *item = start;
        for (int step = 0; step < 500; ++step) {
            if (isTabStop(item) && isCovered(item)) {
                m_findings.append(QStringLiteral("covered: Tab reaches %1").arg(
                    describe(QAccessible::queryAccessibleInterface(item))));
                return;
            }
            item = item->nextItemInFocusChain(true);
            if (!item || item == start)
                return;
        }
    }

    void add(const QString &rule, QAccessibleInterface *node) { m_findings.append(rule + QStringLiteral(": ") + describe(node)); }

    struct Layer
    {
        const QQuickItem *item;
        int position;
    };
    QQuickWindow *m_window;
    QList<const QQuickItem *> m_order;
    QList<Layer> m_layers;
    QSet<QAccessibleInterface *> m_seen;
    QStringList m_findings;
    bool m_titled = false;
};

} // namespace

void AccessibilityAudit::enable()
{
    if (QPlatformAccessibility *platform = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->setActive(true);
    QCoreApplication::processEvents();
}

QStringList AccessibilityAudit::check(QQuickWindow *window)
{
    return window ? Walk(window).run() : QStringList();
}
