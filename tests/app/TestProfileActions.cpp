// The profile tab's actions and sheets without a server, for what neither the profile screen's
// test nor the end-to-end administrator walk covers: a refused avatar, the log export handed to the
// desktop, the account forms' boundaries and the edges of the administrator's commands.
#include "AdminConsole.h"
#include "AppState.h"
#include "ChangePasswordForm.h"
#include "ChangeUsernameForm.h"
#include "KeychainHelper.h"
#include "ProfileViewModel.h"
#include "SettingsStore.h"
#include "SystemClipboard.h"
#include "WebSocketService.h"

#include <QImage>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace std::chrono_literals;

class TestProfileActions : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WebSocketService> m_ws;
    std::unique_ptr<AppState> m_state;
    int m_requests = 0;

    void signIn()
    {
        m_state->setToken(QStringLiteral("tok"));
        m_state->setCurrentUser(User{QStringLiteral("u1"), QStringLiteral("老王")});
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SettingsStore::shared().setLocation(m_dir->path());
        WebSocketTiming timing;
        timing.connectionCheckInterval = 600s;
        m_ws = std::make_unique<WebSocketService>(timing);
        AppState::Services services;
        services.ws = m_ws.get();
        services.restLogout = [] {};
        m_state = std::make_unique<AppState>(services);
        m_requests = 0;
    }

    void avatarChange_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("avatar");
        QTest::addColumn<QString>("toast");
        QTest::newRow("server refuses") << true << "" << "/uploads/a1.jpg" << "上传失败";
        QTest::newRow("not an image") << false << "/uploads/a2.jpg" << "/uploads/a1.jpg" << "";
    }

    void avatarChange()
    {
        QFETCH(bool, image);
        QFETCH(QString, answer);
        QFETCH(QString, avatar);
        QFETCH(QString, toast);
        ProfileViewModel profile;
        profile.setProperty("appState", QVariant::fromValue(m_state.get()));
        signIn();
        User user = *m_state->currentUser();
        user.avatar = QStringLiteral("/uploads/a1.jpg");
        m_state->setCurrentUser(user);
        QByteArray uploaded;
        profile.setUpload([&](const QString &, const QByteArray &jpeg, QObject *context, auto done) {
            uploaded = jpeg;
            QTimer::singleShot(0, context, [answer, done] {
                done(answer.isEmpty() ? Result<AvatarResponse>::failure(QStringLiteral("上传失败"))
                                      : Result<AvatarResponse>(AvatarResponse{true, answer}));
            });
        });
        const QString file = m_dir->filePath(QStringLiteral("pick.png"));
        if (image) {
            QImage picture(8, 8, QImage::Format_ARGB32);
            picture.fill(Qt::red);
            QVERIFY(picture.save(file));
        } else {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("not a picture");
        }
        QSignalSpy failed(&profile, &ProfileViewModel::avatarFailed);
        profile.changeAvatar(QUrl::fromLocalFile(file));
        QCOMPARE(uploaded.startsWith("\xff\xd8"), image);
        QTRY_COMPARE(m_state->currentUser()->avatar.value_or(QString()), avatar);
        QTest::qWait(10);
        QCOMPARE(failed.isEmpty() ? QString() : failed.first().first().toString(), toast);
    }

    void exportedLogIsHandedToTheDesktop()
    {
        ProfileViewModel profile;
        profile.setProperty("appState", QVariant::fromValue(m_state.get()));
        QStringList revealed;
        profile.setHandOff([&](const QString &path) { revealed << path; });
        SystemClipboard::setText(QStringLiteral("before"));
        profile.setExporter([] { return std::optional<QUrl>(); });
        QVERIFY(!profile.exportLog());
        QVERIFY(revealed.isEmpty());
        QCOMPARE(SystemClipboard::text(), QStringLiteral("before"));
        QVERIFY(profile.logShareMessage().isEmpty());

        const QString path = m_dir->filePath(QStringLiteral("20261207-050000.zplog"));
        profile.setExporter([path] { return std::optional<QUrl>(QUrl::fromLocalFile(path)); });
        QVERIFY(profile.exportLog());
        QCOMPARE(revealed, QStringList{path});
        QCOMPARE(SystemClipboard::text(), path);
        QVERIFY(profile.logShareMessage().contains(path));
    }

    void accountFormsValidateBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        QTest::newRow("two-character name") << "name" << QStringList{"老王"} << "" << 1;
        QTest::newRow("confirmation differs") << "password" << QStringList{"old", "abcd", "abce"} << "两次密码不一致" << 0;
        QTest::newRow("password accepted") << "password" << QStringList{"", "abcd", "abcd"} << "" << 1;
    }

    void accountFormsValidateBeforeAnyRequest()
    {
        QFETCH(QString, form);
        QFETCH(QStringList, fields);
        QFETCH(QString, message);
        QFETCH(int, requests);
        signIn();
        ChangeUsernameForm name;
        name.setRequest([this](const QString &, const QString &, QObject *, auto) { ++m_requests; });
        ChangePasswordForm password;
        password.setRequest([this](const QString &, const QString &, const QString &, const QString &, QObject *, auto) { ++m_requests; });
        AccountForm &target = form == u"name" ? static_cast<AccountForm &>(name) : password;
        target.setProperty("appState", QVariant::fromValue(m_state.get()));
        const char *names[] = {"oldPassword", "newPassword", "confirmPassword"};
        for (int i = 0; i < fields.size(); ++i)
            target.setProperty(form == u"name" ? "newUsername" : names[i], fields.at(i));
        QMetaObject::invokeMethod(&target, "submit");
        QCOMPARE(target.message(), message);
        QCOMPARE(m_requests, requests);
        QCOMPARE(target.isLoading(), requests > 0);
    }

    void accountFormsReportTheServer()
    {
        signIn();
        ChangeUsernameForm name;
        name.setProperty("appState", QVariant::fromValue(m_state.get()));
        name.setProperty("newUsername", QStringLiteral("小李"));
        name.setRequest([&](const QString &, const QString &, QObject *, auto done) {
            done(Result<User>::failure(QStringLiteral("用户名已存在")));
        });
        QSignalSpy closed(&name, &AccountForm::succeeded);
        name.submit();
        QCOMPARE(name.message(), QStringLiteral("用户名已存在"));
        QVERIFY(!name.isLoading());
        QCOMPARE(closed.size(), 0);
    }

    void adminTable_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("left");
        QTest::newRow("limit 0") << "setLimit" << "maxOnline" << "0" << R"({"type":"set-max-online","value":0})" << "已设置" << "0";
        QTest::newRow("limit padded") << "setLimit" << "maxOnline" << " 7" << "" << "" << " 7";
        QTest::newRow("hall a space") << "renameHall" << "hallName" << " " << R"({"name":" ","type":"rename-hall"})" << "已改名" << " ";
        QTest::newRow("hall empty") << "renameHall" << "hallName" << "" << "" << "" << "";
        QTest::newRow("announce empty") << "announce" << "announceText" << "" << "" << "" << "";
    }

    void adminTable()
    {
        QFETCH(QString, action);
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, frame);
        QFETCH(QString, toast);
        QFETCH(QString, left);
        AdminConsole console;
        QStringList frames;
        console.setSender([&](const QJsonObject &command) {
            frames << QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact));
        });
        QSignalSpy toasts(&console, &AdminConsole::toast);
        console.setProperty(field.toUtf8(), text);
        QVERIFY(QMetaObject::invokeMethod(&console, action.toUtf8()));
        QCOMPARE(frames, frame.isEmpty() ? QStringList() : QStringList{frame});
        QCOMPARE(toasts.isEmpty() ? QString() : toasts.first().first().toString(), toast);
        QCOMPARE(console.property(field.toUtf8()).toString(), left);
    }
};

QTEST_MAIN(TestProfileActions)
#include "TestProfileActions.moc"
