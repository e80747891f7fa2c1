#pragma once
// The root view's logic: the splash while the stored session is checked (once per process), which
// screen the routing table picks, the font tick that rebuilds the content, and the root observers.
#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class AppState;

class RootController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(AppState *appState READ appState WRITE setAppState NOTIFY appStateChanged)
    Q_PROPERTY(bool isCheckingLogin READ isCheckingLogin NOTIFY isCheckingLoginChanged)
    Q_PROPERTY(Route route READ route NOTIFY routeChanged)
    Q_PROPERTY(int fontTick READ fontTick NOTIFY fontTickChanged)
    Q_PROPERTY(int splashHoldMs READ splashHoldMs WRITE setSplashHoldMs)

public:
    enum class Route { Splash, Main, SignIn };
    Q_ENUM(Route)

    static constexpr int defaultSplashHoldMs = 800;

    explicit RootController(QObject *parent = nullptr);

    AppState *appState() const;
    void setAppState(AppState *appState);
    bool isCheckingLogin() const { return m_isCheckingLogin; }
    Route route() const;
    int fontTick() const { return m_fontTick; }
    int splashHoldMs() const { return m_splashHoldMs; }
    void setSplashHoldMs(int ms) { m_splashHoldMs = ms; }

    // The start-up task: restore the session, hold the splash a little longer, then route.
    // Runs once per process however many root views call it.
    Q_INVOKABLE void start();
    // Begins the start-up task's session check before the first root view loads, so that its round
    // trip overlaps the loading; start() then waits for that check instead of sending another.
    static void restoreEarly(AppState &appState);

    // Lets a test or a second window start afresh.
    static void resetForTesting();

Q_SIGNALS:
    void appStateChanged();
    void isCheckingLoginChanged();
    void routeChanged();
    void fontTickChanged();

private:
    void observeNotifications();
    void finishChecking();
    void rememberCurrentUser();

    QPointer<AppState> m_appState;
    bool m_isCheckingLogin = true;
    int m_fontTick = 0;
    int m_splashHoldMs = defaultSplashHoldMs;
};
