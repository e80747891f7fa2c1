// The whole client against the real server: the real application object and QML screens, a fresh
// profile that registers and lands on the main tabs, a restart restored from the stored token, a
// stored token the server rejects leading back to sign-in, a new server address given on the
// command line signing out, and the demo administrator running the hall and the own account
// from the profile tab while a second client watches.
#include "APIService.h"
#include "AppState.h"
#include "KeychainHelper.h"
#include "RootController.h"
#include "ServerProcess.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
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

    std::optional<LoginResponse> logIn(const QString &name, const QString &password)
    {
        std::optional<Result<LoginResponse>> answer;
        APIService::shared().login(name, password, this, [&](Result<LoginResponse> r) { answer = r; });
        if (!QTest::qWaitFor([&] { return answer.has_value(); }, 20000) || !answer->ok())
            return std::nullopt;
        return answer->value();
    }

    // One command of the administrator's sheet: its field filled, its button pressed.
    void admin(const char *field, const QString &text, const char *action)
    {
        QObject *console = item(QStringLiteral("adminConsole"));
        QVERIFY(console);
        if (field)
            console->setProperty(field, text);
        QVERIFY(QMetaObject::invokeMethod(console, action));
    }

    // A sheet of the profile opened, its fields typed, "确认更改" pressed, closed on success.
    void submitSheet(const char *flag, const QList<QPair<QString, QString>> &fields)
    {
        QObject *profile = item(QStringLiteral("profileView"));
        profile->setProperty(flag, true);
        for (const auto &[name, text] : fields) {
            QTRY_VERIFY(item(name));
            type(name, text);
        }
        click(QStringLiteral("confirmButton"));
        QTRY_VERIFY_WITH_TIMEOUT(!profile->property(flag).toBool(), 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        ZephlinApplication::configure(*qGuiApp);
        QVERIFY(m_server.seedDemo());
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

    void administratorRunsTheHallAndTheAccount()
    {
        launch();
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::SignIn), 20000);
        type(QStringLiteral("loginUsername"), QStringLiteral("admin"));
        type(QStringLiteral("loginPassword"), QStringLiteral("admin123"));
        click(QStringLiteral("loginButton"));
        QTRY_COMPARE_WITH_TIMEOUT(route(), int(RootController::Route::Main), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(m_app->appState().isAdmin(), 10000);

        // Alice, a friend of the administrator, watches with the client core.
        std::optional<LoginResponse> alice = logIn(QStringLiteral("alice"), QStringLiteral("alice123"));
        QVERIFY(alice);
        WebSocketService aliceSocket;
        QString hallName, announcement, banned;
        int maxOnline = -1;
        bool cleared = false;
        std::optional<HelloMessage> hello;
        aliceSocket.onHello = [&](const HelloMessage &h) { hello = h; };
        aliceSocket.onHallRenamed = [&](const QString &name) { hallName = name; };
        aliceSocket.onMaxOnlineUpdate = [&](int limit) { maxOnline = limit; };
        aliceSocket.onAnnouncementUpdate = [&](const QString &text) { announcement = text; };
        aliceSocket.onHallCleared = [&] { cleared = true; };
        aliceSocket.onBanned = [&](const QString &text) { banned = text; };
        aliceSocket.connectToServer(alice->token);
        QTRY_VERIFY_WITH_TIMEOUT(hello.has_value(), 10000);

        item(QStringLiteral("mainTabs"))->setProperty("selectedTab", 3);
        item(QStringLiteral("profileView"))->setProperty("showAdmin", true);
        QTRY_VERIFY(item(QStringLiteral("adminConsole")));
        admin("hallName", QStringLiteral("周末大厅"), "renameHall");
        admin("maxOnline", QStringLiteral("+50"), "setLimit");
        admin("announceText", QStringLiteral("今晚维护"), "announce");
        admin(nullptr, QString(), "clearHall");
        QTRY_COMPARE_WITH_TIMEOUT(hallName, QStringLiteral("周末大厅"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(maxOnline, 50, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(announcement, QStringLiteral("今晚维护"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(cleared, 10000);
        admin("banUsername", QStringLiteral("alice"), "ban");
        QTRY_COMPARE_WITH_TIMEOUT(banned, QStringLiteral("账号已被封禁"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!aliceSocket.isConnected(), 10000);
        aliceSocket.disconnectFromServer();
        QVERIFY(!logIn(QStringLiteral("alice"), QStringLiteral("alice123")));
        admin("unbanUsername", QStringLiteral("alice"), "unban");
        QTRY_VERIFY_WITH_TIMEOUT(logIn(QStringLiteral("alice"), QStringLiteral("alice123")).has_value(), 10000);
        item(QStringLiteral("profileView"))->setProperty("showAdmin", false);

        // A new picture, name and password for the administrator.
        QTemporaryDir pictures;
        const QString picture = pictures.filePath(QStringLiteral("me.png"));
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(picture));
        const std::optional<QString> oldAvatar = m_app->appState().currentUser()->avatar;
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("profileView")), "pickAvatar",
                                          Q_ARG(QVariant, QUrl::fromLocalFile(picture))));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->appState().currentUser()->avatar != oldAvatar, 20000);
        submitSheet("showChangeUsername", {{QStringLiteral("newUsernameField"), QStringLiteral("站长老王")}});
        QCOMPARE(m_app->appState().currentUser()->username, QStringLiteral("站长老王"));
        submitSheet("showChangePassword", {{QStringLiteral("oldPasswordField"), QStringLiteral("admin123")},
                                           {QStringLiteral("newPasswordField"), QStringLiteral("admin456")},
                                           {QStringLiteral("confirmPasswordField"), QStringLiteral("admin456")}});
        QVERIFY(logIn(QStringLiteral("站长老王"), QStringLiteral("admin456")));
        QVERIFY(!logIn(QStringLiteral("站长老王"), QStringLiteral("admin123")));

        // Alice, signed in again, sees the new name and picture among her friends.
        alice = logIn(QStringLiteral("alice"), QStringLiteral("alice123"));
        QVERIFY(alice);
        hello.reset();
        aliceSocket.connectToServer(alice->token);
        QTRY_VERIFY_WITH_TIMEOUT(hello.has_value(), 10000);
        const User me = *m_app->appState().currentUser();
        const QList<User> friends = hello->friends.value_or(QList<User>());
        const auto friendIt = std::find_if(friends.begin(), friends.end(), [&](const User &u) { return u.id == me.id; });
        QVERIFY(friendIt != friends.end());
        QCOMPARE(friendIt->username, QStringLiteral("站长老王"));
        QCOMPARE(friendIt->avatar, me.avatar);
        aliceSocket.disconnectFromServer();
    }
};

QTEST_MAIN(AppEndToEndTest)
#include "AppEndToEndTest.moc"
