#pragma once
// Set-up of the screen tests: the media set-up (its images are the moments feed's) and the test-only
// TestSupport singleton (module ZephlinTest), which makes session states and signs them in without
// a server, feeds the chat state frames as the server would send them and records the frames
// screens send (a loopback TLS WebSocket server).
#include "AppState.h"
#include "LoopbackTls.h"
#include "WebSocketTestServer.h"
#include "NotificationCenter.h"
#include "MediaTestSetup.h"
#include "RootController.h"
#include "SecureStorage.h"
#include "SettingsStore.h"

#include <QJsonArray>
#include <QtQml/qqml.h>
#include <memory>

class TestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A fresh session state; it lives as long as the test run.
    Q_INVOKABLE AppState *newAppState()
    {
        RootController::resetForTesting();
        return new AppState(this);
    }
    Q_INVOKABLE void forgetServerURL() { SettingsStore::shared().remove(QStringLiteral("zp_server_url")); }
    Q_INVOKABLE void post(const QString &name) { NotificationCenter::shared().post(name); }
    Q_INVOKABLE void signIn(AppState *state, const QString &id, const QString &name, const QString &role = QString())
    {
        User user;
        user.id = id;
        user.username = name;
        if (!role.isEmpty())
            user.role = role;
        state->setToken(QStringLiteral("token-") + id);
        state->setCurrentUser(user);
        SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), id);
    }

    // One inbound frame, written with single quotes for readability.
    Q_INVOKABLE void deliver(const QString &frame)
    {
        WebSocketService::shared().handleMessage(QString(frame).replace(QLatin1Char('\''), QLatin1Char('"')));
    }
    // A key of the sealed chat cache as a restarted app finds it (JSON with single quotes).
    Q_INVOKABLE bool storeSealed(const QString &key, const QString &json)
    {
        return SecureStorage::shared().saveJson(QString(json).replace(QLatin1Char('\''), QLatin1Char('"')).toUtf8(), key);
    }
    // Connects the process-wide WebSocket client to a recording server; false when it cannot.
    Q_INVOKABLE bool connectRecorder()
    {
        if (!m_server) {
            if (!(m_certificates = loopback::trustedCertificates()))
                return false;
            m_server = std::make_unique<WebSocketTestServer>(*m_certificates);
            if (m_server->listen() == 0)
                return false;
        }
        loopback::setServer(m_server->baseURL());
        WebSocketService::shared().connectToServer(QStringLiteral("tok"));
        return true;
    }
    // Frames sent since the last call, parsed; the authentication frame is left out.
    Q_INVOKABLE QVariantList takeSentFrames()
    {
        QVariantList frames;
        if (!m_server)
            return frames;
        for (const QString &text : std::as_const(m_server->received)) {
            const QJsonObject frame = loopback::parsed(text);
            if (frame.value(QLatin1String("type")).toString() != QLatin1String("auth"))
                frames.append(frame.toVariantMap());
        }
        m_server->received.clear();
        return frames;
    }

private:
    std::optional<DevCertificates> m_certificates;
    std::unique_ptr<WebSocketTestServer> m_server;
};

class ScreenTestSetup : public MediaTestSetup
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        MediaTestSetup::qmlEngineAvailable(engine);
        qmlRegisterSingletonInstance("ZephlinTest", 1, 0, "TestSupport", &m_support);
    }

private:
    TestSupport m_support;
};
