#pragma once
// Set-up of the screen tests: adds the test-only TestSupport singleton (module ZephlinTest), which
// makes session states and signs them in without a server.
#include "AppState.h"
#include "NotificationCenter.h"
#include "QmlTestSetup.h"
#include "RootController.h"
#include "SettingsStore.h"

#include <QtQml/qqml.h>

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
    }
};

class ScreenTestSetup : public QmlTestSetup
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QmlTestSetup::qmlEngineAvailable(engine);
        qmlRegisterSingletonInstance("ZephlinTest", 1, 0, "TestSupport", &m_support);
    }

private:
    TestSupport m_support;
};
