#pragma once
// Reads the window's accessibility tree in-process, as the platform bridge serves it to screen
// readers, and lists what would stop someone using the screen that way. Each finding starts with
// its rule: "unnamed" (an interactive object without a name), "covered" (a control of a screen that
// another screen, a sheet or a dialog covers is showing in the tree or reachable by Tab), "press" (a
// button whose press action does nothing), "heading" (a heading without a name), "untitled" (the
// topmost screen, sheet or dialog has no named heading) or "password" (a masked field not marked as
// a password field, without a name, or exposing its text).
#include <QStringList>

class QQuickWindow;

class AccessibilityAudit
{
public:
    // Switches accessibility on as an assistive technology connecting would; the tree is only
    // built while it is on.
    static void enable();
    static QStringList check(QQuickWindow *window);
};
