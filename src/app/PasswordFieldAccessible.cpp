#include "PasswordFieldAccessible.h"

#include <QGuiApplication>
#include <QQuickItem>
#include <QTimer>
#include <QQuickWindow>

namespace {
// TextInput.Normal; every other echo mode hides the text.
constexpr int normalEcho = 0;
} // namespace

PasswordFieldAccessible::PasswordFieldAccessible(QQuickItem *field) : QAccessibleObject(field) {}

namespace {
// The latest factory is asked first, and Qt Quick installs its own again when an assistive
// technology switches accessibility on: this one goes back in front right after.
class Reinstaller : public QAccessible::ActivationObserver
{
public:
    void accessibilityActiveChanged(bool active) override
    {
        if (active)
            QTimer::singleShot(0, qApp, &PasswordFieldAccessible::install);
    }
};
} // namespace

void PasswordFieldAccessible::install()
{
    static Reinstaller reinstaller;
    QAccessible::removeActivationObserver(&reinstaller);
    QAccessible::installActivationObserver(&reinstaller);
    QAccessible::removeFactory(&PasswordFieldAccessible::create);
    QAccessible::installFactory(&PasswordFieldAccessible::create);
}

QAccessibleInterface *PasswordFieldAccessible::create(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    // Every single-line field: its echo mode may turn to a masking one after it was first asked for.
    if (!item || !item->inherits("QQuickTextInput"))
        return nullptr;
    return new PasswordFieldAccessible(item);
}

QQuickItem *PasswordFieldAccessible::field() const { return static_cast<QQuickItem *>(object()); }

bool PasswordFieldAccessible::isMasked() const { return field()->property("echoMode").toInt() != normalEcho; }

QString PasswordFieldAccessible::masked() const
{
    if (!isMasked())
        return field()->property("text").toString();
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
    state.passwordEdit = isMasked();
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
