#pragma once
// The real application against the real server seeded with the demo data, for the screens'
// end-to-end tests: starting both, signing in through the sign-in screen, finding items by object
// name, and waiting for one answer of the REST client.
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

    // A fresh application showing the sign-in screen, or null.
    ZephlinApplication *launch()
    {
        RootController::resetForTesting();
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        m_app = std::make_unique<ZephlinApplication>(options);
        if (!m_app->showRootView())
            return nullptr;
        return QTest::qWaitFor([&] { return route() == int(RootController::Route::SignIn); }, 10000) ? m_app.get() : nullptr;
    }

    int route() const { return item(QStringLiteral("rootController"))->property("route").toInt(); }

    // A fresh application signed in through the sign-in screen; its chat state, or null.
    ChatViewModel *signIn(const QString &username, const QString &password)
    {
        if (!launch())
            return nullptr;
        item(QStringLiteral("loginUsername"))->setProperty("text", username);
        item(QStringLiteral("loginPassword"))->setProperty("text", password);
        QMetaObject::invokeMethod(item(QStringLiteral("loginButton")), "clicked");
        if (!QTest::qWaitFor([&] { return route() == int(RootController::Route::Main); }, 20000))
            return nullptr;
        auto *chat = m_app->window()->property("chat").value<ChatViewModel *>();
        // Signed in once the first hello has brought the friends.
        return chat && QTest::qWaitFor([chat] { return !chat->friends().isEmpty(); }, 20000) ? chat : nullptr;
    }

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
