#include "TextFieldAccessible.h"

#include <QQuickItem>
#include <QQuickWindow>

namespace {
// TextInput.Normal; every other echo mode hides the text.
constexpr int normalEcho = 0;
} // namespace

TextFieldAccessible::TextFieldAccessible(QQuickItem *field) : QAccessibleObject(field) {}

QAccessibleInterface *TextFieldAccessible::create(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    // Every single-line field: its echo mode may turn to a masking one after it was first asked for.
    if (!item || !item->inherits("QQuickTextInput"))
        return nullptr;
    return new TextFieldAccessible(item);
}

QQuickItem *TextFieldAccessible::field() const { return static_cast<QQuickItem *>(object()); }

bool TextFieldAccessible::isMasked() const { return field()->property("echoMode").toInt() != normalEcho; }

QString TextFieldAccessible::masked() const
{
    if (!isMasked())
        return field()->property("text").toString();
    const QString mask = field()->property("passwordCharacter").toString();
    return QString(characterCount(), mask.isEmpty() ? QChar(0x2022) : mask.at(0));
}

// The field's Accessible attached object, made by QML when the field sets any of its properties.
QVariant TextFieldAccessible::attached(const char *property) const
{
    for (QObject *child : field()->children())
        if (child->inherits("QQuickAccessibleAttached"))
            return child->property(property);
    return {};
}

QWindow *TextFieldAccessible::window() const { return field()->window(); }

QAccessibleInterface *TextFieldAccessible::parent() const
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

QString TextFieldAccessible::text(QAccessible::Text kind) const
{
    switch (kind) {
    case QAccessible::Name: {
        // Qt Quick keeps a password field's `Accessible.name` to itself; the placeholder says what it is.
        const QString name = isMasked() ? QString() : attached("name").toString();
        return name.isEmpty() ? field()->property("placeholderText").toString() : name;
    }
    case QAccessible::Description:
        return attached("description").toString();
    case QAccessible::Value:
        return masked();
    default:
        return {};
    }
}

QRect TextFieldAccessible::rect() const
{
    const QQuickItem *item = field();
    if (!item->window())
        return {};
    const QRectF scene = item->mapRectToScene(item->boundingRect());
    return QRect(item->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
}

QAccessible::State TextFieldAccessible::state() const
{
    const QQuickItem *item = field();
    QAccessible::State state;
    state.passwordEdit = isMasked();
    state.editable = true;
    state.focusable = true;
    state.focused = item->hasActiveFocus();
    state.disabled = !item->isEnabled();
    state.invisible = !item->window() || !item->isVisible() || qFuzzyIsNull(item->opacity());
    state.readOnly = item->property("readOnly").toBool();
    return state;
}

void *TextFieldAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface && !field()->property("readOnly").toBool())
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return nullptr;
}

int TextFieldAccessible::cursorPosition() const { return field()->property("cursorPosition").toInt(); }

void TextFieldAccessible::setCursorPosition(int position) { field()->setProperty("cursorPosition", position); }

QString TextFieldAccessible::text(int startOffset, int endOffset) const
{
    return masked().mid(startOffset, endOffset - startOffset);
}

int TextFieldAccessible::characterCount() const { return field()->property("length").toInt(); }

QString TextFieldAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return {};
}

void TextFieldAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    QString content = field()->property("text").toString();
    content.replace(startOffset, endOffset - startOffset, text);
    field()->setProperty("text", content);
}
