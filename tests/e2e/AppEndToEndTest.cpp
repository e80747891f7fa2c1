// The whole client against the real server: the real application object and QML screens, a fresh
// profile that registers and lands on the main tabs, a restart restored from the stored token, and
// a stored token the server rejects leading back to sign-in, and a new server address given on the
// command line signing out.
#include "AppState.h"
#include "KeychainHelper.h"
#include "RootController.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <memory>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

class AppEndToEndTest : public QObject
{
    Q_OBJECT

    ServerProcess m_server;
    std::unique_ptr<ZephlinApplication> m_app;

    // A process start: a new application object and root view over the same stored profile,
    // optionally with a server address given on the command line.
    void launch(const QString &serverURL = QString())
    {
        quit();
        RootController::resetForTesting();
        ZephlinApplication::Options options;
        options.silentUpdateCheck = false;
        options.serverURL = serverURL;
        m_app = std::make_unique<ZephlinApplication>(options);
        QVERIFY(m_app->showRootView());
    }

    // What a process exit leaves behind: the stored profile, no live connection.
    void quit()
    {
        m_app.reset();
        WebSocketService::shared().disconnectFromServer();
    }

    QObject *item(const QString &name) const { return m_app->window()->findChild<QObject *>(name); }

    int route() const { return item(QStringLiteral("rootController"))->property("route").toInt(); }

    void click(const QString &name)
    {
        QObject *button = item(name);
        QVERIFY2(button, qPrintable(name));
        QVERIFY(QMetaObject::invokeMethod(button, "clicked"));
    }

    void type(const QString &name, const QString &text)
    {
        QObject *field = item(name);
        QVERIFY2(field, qPrintable(name));
        field->setProperty("text", text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        ZephlinApplication::configure(*qGuiApp);
        QVERIFY(m_server.start());
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), m_server.baseURL());
    }

    void cleanupTestCase() { quit(); }

    void freshProfileRegistersAndLandsOnTheMainTabs()
    {
        launch();
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::SignIn), 10000);
        click(QStringLiteral("registerTab"));
        type(QStringLiteral("regUsername"), QStringLiteral("新用户"));
        type(QStringLiteral("regPassword"), QStringLiteral("secret-1"));
        type(QStringLiteral("regPassword2"), QStringLiteral("secret-1"));
        click(QStringLiteral("registerButton"));
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::Main), 20000);
        QVERIFY(item(QStringLiteral("mainTabs")));
        QVERIFY(KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        QVERIFY(!SettingsStore::shared().string(QStringLiteral("zp_current_uid")).value_or(QString()).isEmpty());
        // The main screen opens the live channel with the new session.
        QTRY_VERIFY_WITH_TIMEOUT(WebSocketService::shared().isConnected(), 10000);
    }

    void restartIsRestoredFromTheStoredToken()
    {
        launch();
        QCOMPARE(route(), int(RootController::Route::Splash));
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::Main), 20000);
        QCOMPARE(m_app->appState().currentUser()->username, QStringLiteral("新用户"));
    }

    void rejectedTokenLeadsToSignInAfterThreeAttempts()
    {
        quit();
        QVERIFY(KeychainHelper::shared().save(QByteArrayLiteral("not-a-session"), QStringLiteral("zp_token")));
        QElapsedTimer clock;
        clock.start();
        launch();
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::SignIn), 20000);
        // Three attempts one second apart, then the splash's own 0.8 s.
        QVERIFY2(clock.elapsed() >= 2800, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        QVERIFY(!m_app->appState().token().has_value());
    }

    // Another address on the command line signs out as the server settings screen does: no token,
    // no sealed chat cache, no current user id. The same address changes nothing.
    void serverOptionWithAnotherAddressSignsOutFully()
    {
        launch();
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::SignIn), 20000);
        type(QStringLiteral("loginUsername"), QStringLiteral("新用户"));
        type(QStringLiteral("loginPassword"), QStringLiteral("secret-1"));
        click(QStringLiteral("loginButton"));
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::Main), 20000);
        const QStringList signedInKeys{QStringLiteral("zp_friends"), QStringLiteral("zp_groups"), QStringLiteral("zp_global_msgs"),
                                       QStringLiteral("zp_dm_msgs"), QStringLiteral("zp_group_msgs"), QStringLiteral("zp_current_uid")};
        SettingsStore &settings = SettingsStore::shared();
        for (const QString &key : signedInKeys)
            QTRY_VERIFY2_WITH_TIMEOUT(settings.contains(key), qPrintable(key), 10000);

        launch(m_server.baseURL());
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::Main), 20000);

        // The same server under another name is another address.
        const QString other = QString(m_server.baseURL()).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        QVERIFY(other != m_server.baseURL());
        launch(other);
        QCOMPARE(settings.string(QStringLiteral("zp_server_url")), other);
        QVERIFY(!KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        for (const QString &key : signedInKeys)
            QVERIFY2(!settings.contains(key), qPrintable(key));
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::SignIn), 20000);
        settings.setString(QStringLiteral("zp_server_url"), m_server.baseURL());
    }
};

QTEST_MAIN(AppEndToEndTest)
#include "AppEndToEndTest.moc"
