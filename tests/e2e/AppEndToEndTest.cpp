// The whole client against the real server: the real application object and QML screens. A fresh
// profile registers and lands on the main tabs; a restart is restored from the stored token; a
// server address given on the command line signs out when it is another one; a stored token the
// server rejects leads back to sign-in. Then the demo administrator runs the hall and the own
// account from the profile tab while a second client watches.
#include "AppState.h"
#include "KeychainHelper.h"
#include "PeerClient.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

class AppEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;

    QObject *item(const QString &name) const { return m_driver.item(name); }
    AppState &appState() const { return m_driver.app()->appState(); }

    static bool canSignIn(const QString &name, const QString &password)
    {
        return DemoAppDriver::await<LoginResponse>([&](auto done) { APIService::shared().login(name, password, nullptr, done); }).ok();
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
            item(name)->setProperty("text", text);
        }
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("confirmButton")), "clicked"));
        QTRY_VERIFY_WITH_TIMEOUT(!profile->property(flag).toBool(), 10000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_driver.startServer()); }
    void cleanupTestCase() { m_driver.quit(); }

    void registerRestartChangeServerAndRejectedToken()
    {
        QVERIFY(m_driver.launch());
        QVERIFY(m_driver.submit(QStringLiteral("新用户"), QStringLiteral("secret-1"), true));
        QVERIFY(item(QStringLiteral("mainTabs")));
        QVERIFY(KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        // The main screen opens the live channel with the new session.
        QTRY_VERIFY_WITH_TIMEOUT(WebSocketService::shared().isConnected(), 10000);
        const QStringList signedInKeys{QStringLiteral("zp_friends"), QStringLiteral("zp_groups"), QStringLiteral("zp_global_msgs"),
                                       QStringLiteral("zp_dm_msgs"), QStringLiteral("zp_group_msgs"), QStringLiteral("zp_current_uid")};
        SettingsStore &settings = SettingsStore::shared();
        for (const QString &key : signedInKeys)
            QTRY_VERIFY2_WITH_TIMEOUT(settings.contains(key), qPrintable(key), 10000);

        // A restart, also with the same address on the command line, is restored from the token.
        QVERIFY(m_driver.start(m_driver.serverURL()));
        QCOMPARE(m_driver.route(), int(RootController::Route::Splash));
        QVERIFY(m_driver.waitForRoute(RootController::Route::Main));
        QCOMPARE(appState().currentUser()->username, QStringLiteral("新用户"));

        // Another address (the same server under another name) signs out as the server settings
        // screen does: no token, no sealed chat cache, no current user id.
        const QString other = QString(m_driver.serverURL()).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        QVERIFY(m_driver.start(other));
        QCOMPARE(settings.string(QStringLiteral("zp_server_url")), other);
        QVERIFY(!KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        for (const QString &key : signedInKeys)
            QVERIFY2(!settings.contains(key), qPrintable(key));
        QVERIFY(m_driver.waitForRoute(RootController::Route::SignIn));
        settings.setString(QStringLiteral("zp_server_url"), m_driver.serverURL());

        // A stored token the server rejects: three attempts one second apart, then the splash's own
        // 0.8 s, and sign-in with the token gone.
        m_driver.quit();
        QVERIFY(KeychainHelper::shared().save(QByteArrayLiteral("not-a-session"), QStringLiteral("zp_token")));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_driver.launch());
        QVERIFY2(clock.elapsed() >= 2800, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!KeychainHelper::shared().readData(QStringLiteral("zp_token")).has_value());
        QVERIFY(!appState().token().has_value());
    }

    void administratorRunsTheHallAndTheAccount()
    {
        QVERIFY(m_driver.signIn(QStringLiteral("admin"), QStringLiteral("admin123")));
        QTRY_VERIFY_WITH_TIMEOUT(appState().isAdmin(), 10000);

        // Alice, a friend of the administrator, watches with the client core.
        PeerClient alice;
        QVERIFY(alice.signIn(QStringLiteral("alice"), QStringLiteral("alice123")));
        QString hallName, announcement, banned;
        int maxOnline = -1;
        bool cleared = false;
        std::optional<HelloMessage> hello;
        alice.socket.onHello = [&](const HelloMessage &h) { hello = h; };
        alice.socket.onHallRenamed = [&](const QString &name) { hallName = name; };
        alice.socket.onMaxOnlineUpdate = [&](int limit) { maxOnline = limit; };
        alice.socket.onAnnouncementUpdate = [&](const QString &text) { announcement = text; };
        alice.socket.onHallCleared = [&] { cleared = true; };
        alice.socket.onBanned = [&](const QString &text) { banned = text; };
        QVERIFY(alice.connect());

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
        QTRY_VERIFY_WITH_TIMEOUT(!alice.socket.isConnected(), 10000);
        alice.socket.disconnectFromServer();
        QVERIFY(!canSignIn(QStringLiteral("alice"), QStringLiteral("alice123")));
        admin("unbanUsername", QStringLiteral("alice"), "unban");
        QTRY_VERIFY_WITH_TIMEOUT(canSignIn(QStringLiteral("alice"), QStringLiteral("alice123")), 10000);
        item(QStringLiteral("profileView"))->setProperty("showAdmin", false);

        // A new picture, name and password for the administrator.
        QTemporaryDir pictures;
        const QString picture = pictures.filePath(QStringLiteral("me.png"));
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(picture));
        const std::optional<QString> oldAvatar = appState().currentUser()->avatar;
        QVERIFY(QMetaObject::invokeMethod(item(QStringLiteral("profileView")), "pickAvatar",
                                          Q_ARG(QVariant, QUrl::fromLocalFile(picture))));
        QTRY_VERIFY_WITH_TIMEOUT(appState().currentUser()->avatar != oldAvatar, 20000);
        submitSheet("showChangeUsername", {{QStringLiteral("newUsernameField"), QStringLiteral("站长老王")}});
        QCOMPARE(appState().currentUser()->username, QStringLiteral("站长老王"));
        submitSheet("showChangePassword", {{QStringLiteral("oldPasswordField"), QStringLiteral("admin123")},
                                           {QStringLiteral("newPasswordField"), QStringLiteral("admin456")},
                                           {QStringLiteral("confirmPasswordField"), QStringLiteral("admin456")}});
        QVERIFY(canSignIn(QStringLiteral("站长老王"), QStringLiteral("admin456")));
        QVERIFY(!canSignIn(QStringLiteral("站长老王"), QStringLiteral("admin123")));

        // Alice, signed in again, sees the new name and picture among her friends.
        QVERIFY(alice.signIn(QStringLiteral("alice"), QStringLiteral("alice123")));
        hello.reset();
        QVERIFY(alice.connect());
        const User me = *appState().currentUser();
        const QList<User> friends = hello->friends.value_or(QList<User>());
        const auto friendIt = std::find_if(friends.begin(), friends.end(), [&](const User &u) { return u.id == me.id; });
        QVERIFY(friendIt != friends.end());
        QCOMPARE(friendIt->username, QStringLiteral("站长老王"));
        QCOMPARE(friendIt->avatar, me.avatar);
    }
};

QTEST_MAIN(AppEndToEndTest)
#include "AppEndToEndTest.moc"
