#include "PasswordFieldAccessible.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace {
// TextInput.Normal; every other echo mode hides the text.
constexpr int normalEcho = 0;
} // namespace

PasswordFieldAccessible::PasswordFieldAccessible(QQuickItem *field) : QAccessibleObject(field) {}

void PasswordFieldAccessible::install()
{
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(&PasswordFieldAccessible::create);
    installed = true;
}

QAccessibleInterface *PasswordFieldAccessible::create(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !item->inherits("QQuickTextInput") || item->property("echoMode").toInt() == normalEcho)
        return nullptr;
    return new PasswordFieldAccessible(item);
}

QQuickItem *PasswordFieldAccessible::field() const { return static_cast<QQuickItem *>(object()); }

QString PasswordFieldAccessible::masked() const
{
    const QString mask = field()->property("passwordCharacter").toString();
    return QString(characterCount(), mask.isEmpty() ? QChar(0x2022) : mask.at(0));
}

// The field's Accessible attached object, made by QML when the field sets any of its properties.
QVariant PasswordFieldAccessible::attached(const char *property) const
{
    for (QObject *child : field()->children())
        if (child->inherits("QQuickAccessibleAttached"))
            return child->property(property);
    return {};
}

QWindow *PasswordFieldAccessible::window() const { return field()->window(); }

QAccessibleInterface *PasswordFieldAccessible::parent() const
{
    QQuickWindow *window = field()->window();
    for (QQuickItem *item = field()->parentItem(); item; item = item->parentItem()) {
        if (window && item == window->contentItem())
            return QAccessible::queryAccessibleInterface(window);
        if (QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(item))
            return interface;
    }
    return nullptr;
}

QString PasswordFieldAccessible::text(QAccessible::Text kind) const
{
    switch (kind) {
    case QAccessible::Name:
        // Qt Quick keeps a password field's `Accessible.name` to itself; the placeholder says what it is.
        return field()->property("placeholderText").toString();
    case QAccessible::Description:
        return attached("description").toString();
    case QAccessible::Value:
        return masked();
    default:
        return {};
    }
}

QRect PasswordFieldAccessible::rect() const
{
    const QQuickItem *item = field();
    if (!item->window())
        return {};
    const QRectF scene = item->mapRectToScene(item->boundingRect());
    return QRect(item->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

QAccessible::State PasswordFieldAccessible::state() const
{
    const QQuickItem *item = field();
    QAccessible::State state;
    state.passwordEdit = true;
    state.editable = true;
    state.focusable = true;
    state.focused = item->hasActiveFocus();
    state.disabled = !item->isEnabled();
    state.invisible = !item->window() || !item->isVisible() || qFuzzyIsNull(item->opacity());
    state.readOnly = item->property("readOnly").toBool();
    return state;
}

void *PasswordFieldAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface *>(this) : nullptr;
}

int PasswordFieldAccessible::cursorPosition() const { return field()->property("cursorPosition").toInt(); }

void PasswordFieldAccessible::setCursorPosition(int position) { field()->setProperty("cursorPosition", position); }

QString PasswordFieldAccessible::text(int startOffset, int endOffset) const
{
    return masked().mid(startOffset, endOffset - startOffset);
}

int PasswordFieldAccessible::characterCount() const { return field()->property("length").toInt(); }

QString PasswordFieldAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}
