#include "StartupReport.h"

#include "RootController.h"
#include "ZephlinApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QQuickWindow>
#include <QRegularExpression>
#include <cstdio>

namespace {
// The process's peak resident memory in kB ("VmHWM"), 0 where /proc is not there.
long peakMemoryKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : 0;
}
} // namespace

StartupReport::StartupReport(ZephlinApplication &app, QObject *parent) : QObject(parent), m_app(app)
{
    QQuickWindow *window = m_app.window();
    connect(window, &QQuickWindow::frameSwapped, this, [] { say("first-frame"); }, Qt::SingleShotConnection);
    auto *controller = window->findChild<RootController *>(QStringLiteral("rootController"));
    // Emitted before the route changes, so before the next screen is built.
    connect(controller, &RootController::isCheckingLoginChanged, this, [] { say("splash-done"); });
    connect(controller, &RootController::routeChanged, this, &StartupReport::routed);
}

void StartupReport::routed()
{
    const auto *controller = qobject_cast<RootController *>(sender());
    if (controller->route() == RootController::Route::Splash)
        return;
    // Let the chosen screen render once before calling it shown.
    connect(m_app.window(), &QQuickWindow::frameSwapped, this, [this, controller] {
        say(controller->route() == RootController::Route::Main ? "main-tabs" : "sign-in");
        std::printf("startup: peak-memory %ld kB\n", peakMemoryKB());
        std::fflush(stdout);
        QCoreApplication::quit();
    }, Qt::SingleShotConnection);
    m_app.window()->update();
}

void StartupReport::say(const char *milestone)
{
    std::printf("startup: %s\n", milestone);
    std::fflush(stdout);
}
