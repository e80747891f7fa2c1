#include "RootController.h"

#include "AppState.h"
#include "NotificationCenter.h"
#include "SettingsStore.h"

#include <QTimer>

namespace {
// The splash is shown once per process, however many root views come and go.
bool s_hasRestored = false;
} // namespace

RootController::RootController(QObject *parent) : QObject(parent)
{
    observeNotifications();
}

void RootController::resetForTesting()
{
    s_hasRestored = false;
}

AppState *RootController::appState() const
{
    return m_appState;
}

void RootController::setAppState(AppState *appState)
{
    if (m_appState == appState)
        return;
    if (m_appState)
        disconnect(m_appState, nullptr, this, nullptr);
    m_appState = appState;
    if (m_appState) {
        connect(m_appState, &AppState::tokenChanged, this, &RootController::routeChanged);
        connect(m_appState, &AppState::currentUserChanged, this, &RootController::routeChanged);
        connect(m_appState, &AppState::currentUserChanged, this, &RootController::rememberCurrentUser);
    }
    Q_EMIT appStateChanged();
    Q_EMIT routeChanged();
}

RootController::Route RootController::route() const
{
    if (m_isCheckingLogin)
        return Route::Splash;
    if (m_appState && m_appState->token().has_value() && m_appState->currentUser().has_value())
        return Route::Main;
    return Route::SignIn;
}

void RootController::restoreEarly(AppState &appState)
{
    if (!s_hasRestored)
        appState.restoreSession();
}

void RootController::start()
{
    if (s_hasRestored) {
        finishChecking();
        return;
    }
    s_hasRestored = true;
    if (!m_appState) {
        finishChecking();
        return;
    }
    m_appState->restoreSession(this, [this] {
        QTimer::singleShot(m_splashHoldMs, this, &RootController::finishChecking);
    });
}

void RootController::finishChecking()
{
    if (!m_isCheckingLogin)
        return;
    m_isCheckingLogin = false;
    Q_EMIT isCheckingLoginChanged();
    Q_EMIT routeChanged();
}

void RootController::rememberCurrentUser()
{
    if (m_appState && m_appState->currentUser().has_value())
        SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), m_appState->currentUser()->id);
}

void RootController::observeNotifications()
{
    NotificationCenter &center = NotificationCenter::shared();
    center.observe(QStringLiteral("fontSizeChanged"), this, [this](const QVariant &) {
        ++m_fontTick;
        Q_EMIT fontTickChanged();
    });
    const auto signOut = [this](const QVariant &) {
        if (m_appState)
            m_appState->logout();
    };
    center.observe(QStringLiteral("userBanned"), this, signOut);
    center.observe(QStringLiteral("userKicked"), this, signOut);
    // The session applies these itself too; the root only assigns values of the right type.
    center.observe(QStringLiteral("adminStatusUpdate"), this, [this](const QVariant &object) {
        if (m_appState && object.typeId() == QMetaType::Bool)
            m_appState->setIsAdmin(object.toBool());
    });
    center.observe(QStringLiteral("hallRenamed"), this, [this](const QVariant &object) {
        if (m_appState && object.typeId() == QMetaType::QString)
            m_appState->setHallName(object.toString());
    });
    center.observe(QStringLiteral("maxOnlineUpdate"), this, [this](const QVariant &object) {
        if (m_appState && (object.typeId() == QMetaType::Int || object.typeId() == QMetaType::LongLong))
            m_appState->setMaxOnline(object.toInt());
    });
}
