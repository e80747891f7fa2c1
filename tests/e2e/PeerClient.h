#pragma once
// A second user beside the application under test: the client core in the test's own process,
// signed in over REST, with a WebSocket client of its own whose callbacks the test sets before
// connect(). (The chat state keeps the signed-in user in process-wide settings, so a second user
// gets no chat state of its own.)
#include "APIService.h"
#include "DemoAppDriver.h"
#include "WebSocketService.h"

#include <QTest>

class PeerClient
{
public:
    PeerClient() : socket(quickAuth()) {}
    ~PeerClient() { socket.disconnectFromServer(); }

    // Signs in (registering the account first when asked); false with a warning when refused.
    bool signIn(const QString &username, const QString &password, bool registering = false)
    {
        if (registering && !DemoAppDriver::await<RegisterResponse>([&](auto done) {
                                APIService::shared().registerUser(username, password, nullptr, done);
                            }).ok())
            return false;
        const Result<LoginResponse> login = DemoAppDriver::await<LoginResponse>([&](auto done) {
            APIService::shared().login(username, password, nullptr, done);
        });
        if (!login)
            qWarning() << username << "cannot sign in:" << login.error();
        else
            user = login->user, token = login->token;
        return login.ok();
    }

    // Connects with the session and waits for the hello (also passed on to the test's onHello).
    bool connect()
    {
        bool hello = false;
        const auto handler = socket.onHello;
        socket.onHello = [&hello, handler](const HelloMessage &message) {
            hello = true;
            if (handler)
                handler(message);
        };
        socket.connectToServer(token);
        const bool arrived = QTest::qWaitFor([&] { return hello; }, 10000);
        socket.onHello = handler;
        return arrived;
    }

    User user;
    QString token;
    WebSocketService socket;

private:
    static WebSocketTiming quickAuth()
    {
        WebSocketTiming timing;
        timing.authDelay = std::chrono::milliseconds(20);
        return timing;
    }
};
