// The whole client against the real server: the real application object and QML screens, from a
// fresh profile's registration to the demo administrator running the hall while a second client watches.
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

using namespace Qt::StringLiterals;

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
        QObject *console = item(u"adminConsole"_s);
        QVERIFY(console);
        if (field)
            console->setProperty(field, text);
        QVERIFY(QMetaObject::invokeMethod(console, action));
    }

    // A sheet of the profile opened, its fields typed, "确认更改" pressed, closed on success.
    void submitSheet(const char *flag, const QList<QPair<QString, QString>> &fields)
    {
        QObject *profile = item(u"profileView"_s);
        profile->setProperty(flag, true);
        for (const auto &[name, text] : fields) {
            QTRY_VERIFY(item(name));
            item(name)->setProperty("text", text);
        }
        QVERIFY(QMetaObject::invokeMethod(item(u"confirmButton"_s), "clicked"));
        QTRY_VERIFY_WITH_TIMEOUT(!profile->property(flag).toBool(), 10000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_driver.startServer()); }
    void cleanupTestCase() { m_driver.quit(); }

    void registerRestartChangeServerAndRejectedToken()
    {
        QVERIFY(m_driver.launch());
        QVERIFY(m_driver.submit(u"新用户"_s, u"secret-1"_s, true));
        QVERIFY(item(u"mainTabs"_s));
        QVERIFY(KeychainHelper::shared().readData(u"zp_token"_s).has_value());
        // The main screen opens the live channel with the new session.
        QTRY_VERIFY_WITH_TIMEOUT(WebSocketService::shared().isConnected(), 10000);
        const QStringList signedInKeys{u"zp_friends"_s, u"zp_groups"_s, u"zp_global_msgs"_s, u"zp_dm_msgs"_s, u"zp_group_msgs"_s, u"zp_current_uid"_s};
        SettingsStore &settings = SettingsStore::shared();
        for (const QString &key : signedInKeys)
            QTRY_VERIFY2_WITH_TIMEOUT(settings.contains(key), qPrintable(key), 10000);

        // A restart, also with the same address on the command line, is restored from the token (the
        // splash first is the root view QML test's).
        QVERIFY(m_driver.start(m_driver.serverURL()));
        QVERIFY(m_driver.waitForRoute(RootController::Route::Main));
        QCOMPARE(appState().currentUser()->username, u"新用户"_s);

        // Another address (the same server under another name) signs out as the server settings
        // screen does: no token, no sealed chat cache, no current user id.
        const QString other = QString(m_driver.serverURL()).replace(u"127.0.0.1"_s, u"localhost"_s);
        QVERIFY(m_driver.start(other));
        QCOMPARE(settings.string(u"zp_server_url"_s), other);
        QVERIFY(!KeychainHelper::shared().readData(u"zp_token"_s).has_value());
        for (const QString &key : signedInKeys)
            QVERIFY2(!settings.contains(key), qPrintable(key));
        QVERIFY(m_driver.waitForRoute(RootController::Route::SignIn));
        settings.setString(u"zp_server_url"_s, m_driver.serverURL());

        // A stored token the server rejects: three attempts one second apart, then the splash's own
        // 0.8 s, and sign-in with the token gone.
        m_driver.quit();
        QVERIFY(KeychainHelper::shared().save(QByteArrayLiteral("not-a-session"), u"zp_token"_s));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(m_driver.launch());
        QVERIFY2(clock.elapsed() >= 2800, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!KeychainHelper::shared().readData(u"zp_token"_s).has_value());
        QVERIFY(!appState().token().has_value());
    }

    void administratorRunsTheHallAndTheAccount()
    {
        QVERIFY(m_driver.signIn(u"admin"_s, u"admin123"_s));
        QTRY_VERIFY_WITH_TIMEOUT(appState().isAdmin(), 10000);

        // Alice, a friend of the administrator, watches with the client core.
        PeerClient alice;
        QVERIFY(alice.signIn(u"alice"_s, u"alice123"_s));
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

        item(u"mainTabs"_s)->setProperty("selectedTab", 3);
        item(u"profileView"_s)->setProperty("showAdmin", true);
        QTRY_VERIFY(item(u"adminConsole"_s));
        admin("hallName", u"周末大厅"_s, "renameHall");
        admin("maxOnline", u"+50"_s, "setLimit");
        admin("announceText", u"今晚维护"_s, "announce");
        admin(nullptr, QString(), "clearHall");
        QTRY_COMPARE_WITH_TIMEOUT(hallName, u"周末大厅"_s, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(maxOnline, 50, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(announcement, u"今晚维护"_s, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(cleared, 10000);
        admin("banUsername", u"alice"_s, "ban");
        QTRY_COMPARE_WITH_TIMEOUT(banned, u"账号已被封禁"_s, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!alice.socket.isConnected(), 10000);
        alice.socket.disconnectFromServer();
        QVERIFY(!canSignIn(u"alice"_s, u"alice123"_s));
        admin("unbanUsername", u"alice"_s, "unban");
        QTRY_VERIFY_WITH_TIMEOUT(canSignIn(u"alice"_s, u"alice123"_s), 10000);
        item(u"profileView"_s)->setProperty("showAdmin", false);

        // A new picture, name and password for the administrator.
        QTemporaryDir pictures;
        const QString picture = pictures.filePath(u"me.png"_s);
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(picture));
        const std::optional<QString> oldAvatar = appState().currentUser()->avatar;
        QVERIFY(QMetaObject::invokeMethod(item(u"profileView"_s), "pickAvatar", Q_ARG(QVariant, QUrl::fromLocalFile(picture))));
        QTRY_VERIFY_WITH_TIMEOUT(appState().currentUser()->avatar != oldAvatar, 20000);
        submitSheet("showChangeUsername", {{u"newUsernameField"_s, u"站长老王"_s}});
        QCOMPARE(appState().currentUser()->username, u"站长老王"_s);
        submitSheet("showChangePassword",
                    {{u"oldPasswordField"_s, u"admin123"_s}, {u"newPasswordField"_s, u"admin456"_s}, {u"confirmPasswordField"_s, u"admin456"_s}});
        QVERIFY(canSignIn(u"站长老王"_s, u"admin456"_s));
        QVERIFY(!canSignIn(u"站长老王"_s, u"admin123"_s));

        // Alice, signed in again, sees the new name and picture among her friends.
        QVERIFY(alice.signIn(u"alice"_s, u"alice123"_s));
        hello.reset();
        QVERIFY(alice.connect());
        const User me = *appState().currentUser();
        const QList<User> friends = hello->friends.value_or(QList<User>());
        const auto friendIt = std::find_if(friends.begin(), friends.end(), [&](const User &u) { return u.id == me.id; });
        QVERIFY(friendIt != friends.end());
        QCOMPARE(friendIt->username, u"站长老王"_s);
        QCOMPARE(friendIt->avatar, me.avatar);
    }
};

QTEST_MAIN(AppEndToEndTest)
#include "AppEndToEndTest.moc"
