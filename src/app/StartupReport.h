#pragma once
// Start-up milestones for measuring: prints "startup: first-frame", "startup: splash-done" when
// the splash ends, then "startup: main-tabs" or "startup: sign-in" once the next screen has
// rendered, with the peak memory, and quits. Used by the
// start-up benchmark through --startup-report.
#include <QObject>

class ZephlinApplication;

class StartupReport : public QObject
{
    Q_OBJECT

public:
    explicit StartupReport(ZephlinApplication &app, QObject *parent = nullptr);

private:
    void routed();
    static void say(const char *milestone);

    ZephlinApplication &m_app;
};
