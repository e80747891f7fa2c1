#include "AccessibilityFactories.h"

#include "TextFieldAccessible.h"
#include "WindowAccessible.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QTimer>

namespace {
// The latest factory is asked first, and Qt Quick installs its own again when an assistive
// technology switches accessibility on: ours go back in front right after.
class Reinstaller : public QAccessible::ActivationObserver
{
public:
    void accessibilityActiveChanged(bool active) override
    {
        if (active)
            QTimer::singleShot(0, qApp, &AccessibilityFactories::install);
    }
};
} // namespace

void AccessibilityFactories::install()
{
    static Reinstaller reinstaller;
    QAccessible::removeActivationObserver(&reinstaller);
    QAccessible::installActivationObserver(&reinstaller);
    for (const auto factory : {&TextFieldAccessible::create, &WindowAccessible::create}) {
        QAccessible::removeFactory(factory);
        QAccessible::installFactory(factory);
    }
    // A window asked for before keeps Qt Quick's interface in the cache: dropping it lets the next
    // question build ours.
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        QAccessibleInterface *cached = QAccessible::queryAccessibleInterface(window);
        if (cached && qobject_cast<QQuickWindow *>(window) && !dynamic_cast<WindowAccessible *>(cached))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
    }
}
