#pragma once
// The real application against the real server (seeded with the demo data), for the screens'
// end-to-end tests: starting both, signing in or registering through the sign-in screen, finding
// items by object name, and waiting for one answer of the REST client.
#include "ChatViewModel.h"
#include "RootController.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QQuickWindow>
#include <QTest>
#include <memory>

class DemoAppDriver
{
public:
    ~DemoAppDriver() { quit(); }

    // The demo server on a loopback port, the client pointed at it.
    bool startServer()
    {
        ZephlinApplication::configure(*qGuiApp);
        if (!m_server.seedDemo() || !m_server.start())
            return false;
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), m_server.baseURL());
        return true;
    }
    QString serverURL() const { return m_server.baseURL(); }

    // A process start: a new application and root view over the stored profile (the previous one
    // ended first), optionally with a server address given on the command line; null on failure.
    ZephlinApplication *start(const QString &serverURL = QString())
    {
        quit();
        RootController::resetForTesting();
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        options.serverURL = serverURL;
        m_app = std::make_unique<ZephlinApplication>(options);
        return m_app->showRootView() ? m_app.get() : nullptr;
    }

    // A fresh application showing the sign-in screen, or null.
    ZephlinApplication *launch()
    {
        return start() && waitForRoute(RootController::Route::SignIn) ? m_app.get() : nullptr;
    }

    int route() const { return item(QStringLiteral("rootController"))->property("route").toInt(); }
    bool waitForRoute(RootController::Route wanted) const { return QTest::qWaitFor([&] { return route() == int(wanted); }, 20000); }

    // Signs in, or registers, through the sign-in screen shown; true once on the main tabs.
    bool submit(const QString &username, const QString &password, bool registering = false)
    {
        const QString form = registering ? QStringLiteral("reg") : QStringLiteral("login");
        if (registering)
            QMetaObject::invokeMethod(item(QStringLiteral("registerTab")), "clicked");
        item(form + QStringLiteral("Username"))->setProperty("text", username);
        item(form + QStringLiteral("Password"))->setProperty("text", password);
        if (registering)
            item(QStringLiteral("regPassword2"))->setProperty("text", password);
        QMetaObject::invokeMethod(item(registering ? QStringLiteral("registerButton") : QStringLiteral("loginButton")), "clicked");
        return waitForRoute(RootController::Route::Main);
    }

    // A fresh application signed in through the sign-in screen; its chat state, or null.
    ChatViewModel *signIn(const QString &username, const QString &password)
    {
        if (!launch() || !submit(username, password))
            return nullptr;
        ChatViewModel *chat = this->chat();
        // Signed in once the first hello has brought the friends.
        return chat && QTest::qWaitFor([chat] { return !chat->friends().isEmpty(); }, 20000) ? chat : nullptr;
    }

    ZephlinApplication *app() const { return m_app.get(); }
    ChatViewModel *chat() const { return m_app->window()->property("chat").value<ChatViewModel *>(); }

    void quit()
    {
        m_app.reset();
        WebSocketService::shared().disconnectFromServer();
    }

    QObject *item(const QString &name) const { return m_app->window()->findChild<QObject *>(name); }

    // Waits for one answer of the REST client.
    template <typename T, typename Call>
    static Result<T> await(Call call)
    {
        std::optional<Result<T>> answer;
        call([&](Result<T> result) { answer = std::move(result); });
        if (!QTest::qWaitFor([&] { return answer.has_value(); }, 20000))
            return Result<T>::failure(QStringLiteral("no answer"));
        return *answer;
    }

private:
    ServerProcess m_server;
    std::unique_ptr<ZephlinApplication> m_app;
};
