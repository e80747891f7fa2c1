#include "ZephlinApplication.h"

#include "AccessibilityFactories.h"
#include "AppLogger.h"
#include "AppState.h"
#include "AppUpdateChecker.h"
#include "NetworkMonitor.h"
#include "NetworkSession.h"
#include "RootController.h"
#include "SecureLogger.h"
#include "ServerConfig.h"
#include "ServerSettings.h"
#include "TlsTrust.h"
#include "WebSocketService.h"

#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

void ZephlinApplication::configure(QGuiApplication &app)
{
    app.setApplicationName(QStringLiteral("zephlin"));
    app.setOrganizationName(QStringLiteral("Zephlin"));
    app.setOrganizationDomain(QStringLiteral("zephlin.com"));
    app.setApplicationVersion(QStringLiteral(ZEPHLIN_VERSION));
    app.setDesktopFileName(QStringLiteral("com.zephlin.app"));
    // All text is Chinese: prefer the CJK face so glyphs never fall back mid-line.
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setStyleHint(QFont::SansSerif);
    app.setFont(font);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

ZephlinApplication::ZephlinApplication(const Options &options, QObject *parent) : QObject(parent)
{
    if (!options.caFile.isEmpty()) {
        const int added = TlsTrust::addCaFile(options.caFile);
        AppLogger::shared().log(QStringLiteral("trusted %1 extra CA certificate(s) from %2").arg(added).arg(options.caFile));
    }

    // Start-up order: response cache, reachability, silent update check, then the session.
    NetworkSession::installUrlCache();
    NetworkMonitor::shared().start();
    if (options.silentUpdateCheck)
        AppUpdateChecker::shared().checkSilently(this, [](const std::optional<AppUpdateInfo> &) {}); // result not shown
    m_appState = std::make_unique<AppState>();
    // Another server never sees this one's session, cached chats or user id: a new address given on
    // the command line signs out through the settings screen's own path, before anything is restored.
    if (!options.serverURL.isEmpty() && options.serverURL != ServerConfig::baseURL())
        ServerSettings().save(options.serverURL);

    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &ZephlinApplication::onApplicationStateChanged);
}

ZephlinApplication::~ZephlinApplication() = default;

bool ZephlinApplication::showRootView()
{
    RootController::restoreEarly(*m_appState);
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    m_engine->setInitialProperties({{QStringLiteral("appState"), QVariant::fromValue(m_appState.get())}});
    m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Zephlin/Screens/RootView.qml")));
    // Screen readers hear password fields as masked and only the topmost screen (installed after
    // the window has brought Qt Quick's own factory).
    AccessibilityFactories::install();
    return window() != nullptr;
}

QQuickWindow *ZephlinApplication::window() const
{
    if (!m_engine || m_engine->rootObjects().isEmpty())
        return nullptr;
    return qobject_cast<QQuickWindow *>(m_engine->rootObjects().constFirst());
}

void ZephlinApplication::onApplicationStateChanged(Qt::ApplicationState state)
{
    SecureLogger &log = SecureLogger::shared();
    switch (state) {
    case Qt::ApplicationActive:
        log.log(QStringLiteral("app enter foreground"), LogLevel::Debug, QStringLiteral("App"));
        WebSocketService::shared().reconnectIfNeeded();
        break;
    case Qt::ApplicationInactive:
        log.log(QStringLiteral("app scene inactive"), LogLevel::Debug, QStringLiteral("App"));
        break;
    case Qt::ApplicationHidden:
    case Qt::ApplicationSuspended:
        log.log(QStringLiteral("app enter background"), LogLevel::Debug, QStringLiteral("App"));
        break;
    }
}
