// The session state: construction from what is stored, write-through, restoring the session with
// its retries, the notifications it and the root view observe, and signing out, by the user or by a
// token the server refuses at start (the chat state included). A refused token write leaving no
// token at all is the keychain helper's test. And the sign-in card against a loopback HTTPS server:
// what its message line shows when the server hangs or presents a certificate nobody trusts (the
// REST client's test has the other transport failures), and a registration whose automatic sign-in
// fails.
#include "APIService.h"
#include "AppState.h"
#include "AuthViewModel.h"
#include "ChatViewModel.h"
#include "KeychainHelper.h"
#include "LocalHttpsServer.h"
#include "LoopbackTls.h"
#include "NotificationCenter.h"
#include "RootController.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace std::chrono_literals;

namespace {
const QString tokenAccount = QStringLiteral("zp_token");
} // namespace

class TestAppState : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::optional<DevCertificates> m_certificates;
    std::unique_ptr<WebSocketService> m_ws;
    // Scripted answers of /api/me, one per attempt: a user id, or empty for a failure.
    QStringList m_meAnswers;
    QStringList m_meTokens;
    int m_restLogouts = 0;

    AppState::Services services()
    {
        AppState::Services services;
        services.ws = m_ws.get();
        services.retryDelay = 5ms;
        services.restLogout = [this] { ++m_restLogouts; };
        services.fetchMe = [this](const QString &token, QObject *context, std::function<void(Result<User>)> done) {
            m_meTokens.append(token);
            const QString answer = m_meAnswers.isEmpty() ? QString() : m_meAnswers.takeFirst();
            // Answers arrive later, on the main thread, while the context lives.
            QTimer::singleShot(0, context, [answer, done] {
                done(answer.isEmpty() ? Result<User>::failure(QStringLiteral("HTTP错误 500")) : Result<User>(User{answer, answer.toUpper()}));
            });
        };
        return services;
    }

    // A sign-in card over a fresh session, with both forms filled in.
    std::unique_ptr<AuthViewModel> card(AppState &state)
    {
        auto model = std::make_unique<AuthViewModel>();
        model->setProperty("appState", QVariant::fromValue(&state));
        for (const char *field : {"loginUsername", "regUsername"})
            model->setProperty(field, QStringLiteral("amy"));
        for (const char *field : {"loginPassword", "regPassword", "regPassword2"})
            model->setProperty(field, QStringLiteral("secret"));
        return model;
    }

    void waitUntilDone(AuthViewModel &model)
    {
        QVERIFY(model.isLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!model.isLoading(), 20000);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY((m_certificates = loopback::trustedCertificates())); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        SettingsStore::shared().setLocation(m_dir->path());
        KeychainHelper::shared().remove(tokenAccount);
        WebSocketTiming timing;
        timing.connectionCheckInterval = 600s;
        timing.reconnectStepSeconds = 600.0;
        m_ws = std::make_unique<WebSocketService>(timing);
        m_meAnswers.clear();
        m_meTokens.clear();
        m_restLogouts = 0;
    }

    // Values the session state does not know read the defaults, nothing is written for them (the
    // administrator flag excepted) and an unreadable token is removed; what screens assign is
    // written through and read by the next start.
    void storedValuesAreReadAndAssignmentsWrittenThrough()
    {
        SettingsStore &settings = SettingsStore::shared();
        settings.setString(QStringLiteral("zp_theme"), QStringLiteral("blue"));
        settings.setString(QStringLiteral("zp_font"), QStringLiteral("huge"));
        QVERIFY(KeychainHelper::shared().save(QByteArray("\xff\xfe", 2), tokenAccount));
        {
            AppState state(services());
            QVERIFY(!state.token());
            QVERIFY(!KeychainHelper::shared().readData(tokenAccount));
            QCOMPARE(state.theme(), AppState::Theme::Dark);
            QCOMPARE(state.fontSize(), AppState::FontSize::Md);
            QCOMPARE(settings.string(QStringLiteral("zp_theme")).value_or(QString()), QStringLiteral("blue"));
            QCOMPARE(settings.string(QStringLiteral("zp_font")).value_or(QString()), QStringLiteral("huge"));
            QVERIFY(settings.contains(QStringLiteral("zp_is_admin")));
            // Screens assign the stored strings; others change nothing.
            state.setProperty("theme", QStringLiteral("light"));
            state.setProperty("theme", QStringLiteral("sepia"));
            state.setProperty("fontSize", QStringLiteral("xl"));
            state.setToken(QStringLiteral("t2"));
            state.setIsAdmin(true);
        }
        AppState next(services());
        QCOMPARE(next.token(), QStringLiteral("t2"));
        QCOMPARE(next.theme(), AppState::Theme::Light);
        QCOMPARE(next.fontSize(), AppState::FontSize::Xl);
        QVERIFY(next.isAdmin());
        next.setToken(std::nullopt);
        QVERIFY(!KeychainHelper::shared().readData(tokenAccount));
    }

    // Three refusals in a row end the session: a row of the sign-out table, against a real server;
    // the first attempt's success is AppEndToEndTest's restart.
    void restoreSession_data()
    {
        QTest::addColumn<bool>("stored"); // a token in the keychain
        QTest::addColumn<QStringList>("answers"); // of /api/me, one per attempt; empty for a failure
        QTest::addColumn<int>("attempts");
        QTest::addColumn<bool>("kept");
        QTest::newRow("third attempt") << true << QStringList{QString(), QString(), QStringLiteral("u1")} << 3 << true;
        QTest::newRow("no token") << false << QStringList() << 0 << false;
    }
    void restoreSession()
    {
        QFETCH(bool, stored);
        QFETCH(QStringList, answers);
        QFETCH(int, attempts);
        QFETCH(bool, kept);
        if (stored)
            KeychainHelper::shared().save(QByteArrayLiteral("tok"), tokenAccount);
        AppState state(services());
        m_meAnswers = answers;
        // A second caller joins the check under way.
        int done = 0;
        for (int i = 0; i < 2; ++i)
            state.restoreSession(this, [&done] { ++done; });
        QTRY_COMPARE(done, 2);
        QCOMPARE(m_meTokens, QStringList(attempts, QStringLiteral("tok")));
        QCOMPARE(state.currentUser().has_value(), kept);
        QCOMPARE(state.token().has_value(), kept);
        QCOMPARE(KeychainHelper::shared().readData(tokenAccount).has_value(), kept);
        if (kept)
            QCOMPARE(state.currentUser()->id, QStringLiteral("u1"));
        QTest::qWait(20); // no attempt after the outcome
        QCOMPARE(m_meTokens.size(), attempts);
    }

    // The session state takes only values of the right type, and so does the root view, which
    // assigns them again: a root that converted would turn "9" into 9 or "yes" into an administrator.
    void notificationsOfTheRightTypeOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("object"); // invalid: posted without one
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected"); // after a valid value was posted first
        QTest::newRow("admin flag") << "adminStatusUpdate" << QVariant(true) << QByteArray("isAdmin") << QVariant(true);
        QTest::newRow("admin text") << "adminStatusUpdate" << QVariant(QStringLiteral("yes")) << QByteArray("isAdmin") << QVariant(false);
        QTest::newRow("hall name") << "hallRenamed" << QVariant(QStringLiteral("新厅")) << QByteArray("hallName") << QVariant(QStringLiteral("新厅"));
        QTest::newRow("hall number ignored") << "hallRenamed" << QVariant(5) << QByteArray("hallName") << QVariant(QStringLiteral("旧厅"));
        QTest::newRow("limit int") << "maxOnlineUpdate" << QVariant(50) << QByteArray("maxOnline") << QVariant(50);
        QTest::newRow("limit 64-bit") << "maxOnlineUpdate" << QVariant(qint64(60)) << QByteArray("maxOnline") << QVariant(60);
        QTest::newRow("limit text") << "maxOnlineUpdate" << QVariant(QStringLiteral("9")) << QByteArray("maxOnline") << QVariant(0);
        QTest::newRow("limit fraction") << "maxOnlineUpdate" << QVariant(9.5) << QByteArray("maxOnline") << QVariant(0);
    }
    void notificationsOfTheRightTypeOnly()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, object);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        const QHash<QString, QVariant> valid{{QStringLiteral("adminStatusUpdate"), true},
                                             {QStringLiteral("hallRenamed"), QStringLiteral("旧厅")},
                                             {QStringLiteral("maxOnlineUpdate"), 7}};
        AppState state(services());
        RootController root;
        for (const bool withRoot : {false, true}) {
            if (withRoot)
                root.setAppState(&state);
            NotificationCenter::shared().post(name, valid.value(name));
            NotificationCenter::shared().post(name, object);
            QCOMPARE(state.property(property.constData()), expected);
        }
    }

    void notificationsReachObserversOnTheMainThreadWhileTheyLive()
    {
        auto observer = std::make_unique<QObject>();
        QList<QVariant> objects;
        QList<QThread *> threads;
        NotificationCenter::shared().observe(QStringLiteral("probe"), observer.get(), [&](const QVariant &object) {
            objects.append(object);
            threads.append(QThread::currentThread());
        });
        NotificationCenter::shared().post(QStringLiteral("other"), 1);
        NotificationCenter::shared().post(QStringLiteral("probe"), 2);
        QCOMPARE(objects, QList<QVariant>{2}); // delivered before post() returns on the main thread
        std::unique_ptr<QThread> poster(QThread::create([] { NotificationCenter::shared().post(QStringLiteral("probe"), 3); }));
        poster->start();
        QVERIFY(poster->wait(5000));
        QTRY_COMPARE(objects.size(), 2);
        QCOMPARE(objects.at(1), QVariant(3));
        QCOMPARE(threads.at(1), QThread::currentThread());
        observer.reset();
        NotificationCenter::shared().post(QStringLiteral("probe"), 4);
        QCOMPARE(objects.size(), 2);
    }

    // The user signs out, or the server refuses the stored token at start: either way nothing of
    // the account is left for the next one on this device.
    void signOutLeavesNothingOfTheAccountAndKeepsPreferences_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("logout") << "logout";
        QTest::newRow("token refused at start") << "refused";
    }
    void signOutLeavesNothingOfTheAccountAndKeepsPreferences()
    {
        QFETCH(QString, how);
        const bool refusedAtStart = how == QLatin1String("refused");
        LocalHttpsServer server;
        QVERIFY(server.start(*m_certificates));
        loopback::setServer(server.baseURL());
        server.responder = [](const LocalHttpsServer::Request &) {
            return LocalHttpsServer::Response{401, "application/json", R"({"error":"未登录"})"};
        };
        AppState::Services sessionServices = services();
        sessionServices.fetchMe = nullptr; // the real /api/me, which the server refuses

        ChatServices chatServices;
        chatServices.ws = m_ws.get();
        ChatViewModel chat(chatServices);
        AppState state(sessionServices);
        state.setToken(QStringLiteral("tok"));
        state.setIsAdmin(true);
        state.setTheme(AppState::Theme::Light);
        state.setFontSize(AppState::FontSize::Sm);
        state.setHallName(QStringLiteral("厅"));

        // Alice's snapshot fills and saves the chat state.
        m_ws->handleMessage(QStringLiteral("{'type':'hello','self':{'id':'alice','username':'Alice'},'friends':[{'id':'bob','username':'Bob'}],"
                                           "'dmRooms':{'alice_bob':[{'id':'d','from':'bob','content':'secret','time':1}]}}")
                                .replace(QLatin1Char('\''), QLatin1Char('"')));
        QTRY_VERIFY(SettingsStore::shared().contains(QStringLiteral("zp_dm_msgs")));
        m_ws->connectToServer(QStringLiteral("tok"));
        QVERIFY(m_ws->isConnected());

        if (refusedAtStart) {
            bool done = false;
            state.restoreSession(this, [&done] { done = true; });
            QTRY_VERIFY_WITH_TIMEOUT(done, 20000);
            QCOMPARE(server.requestCount(QStringLiteral("/api/me")), AppState::restoreAttempts);
        } else {
            state.setCurrentUser(User{QStringLiteral("alice"), QStringLiteral("Alice")});
            state.logout();
        }
        QVERIFY(!m_ws->isConnected());
        QVERIFY(!state.token());
        QVERIFY(!KeychainHelper::shared().readData(tokenAccount));
        QVERIFY(!state.currentUser());
        QVERIFY(!state.isAdmin());
        QVERIFY(!SettingsStore::shared().boolean(QStringLiteral("zp_is_admin")));
        for (const char *key : {"zp_friends", "zp_groups", "zp_global_msgs", "zp_dm_msgs", "zp_group_msgs", "zp_current_uid"})
            QVERIFY2(!SettingsStore::shared().contains(QString::fromLatin1(key)), key);
        QCOMPARE(m_restLogouts, refusedAtStart ? 0 : 1);
        QCOMPARE(state.theme(), AppState::Theme::Light);
        QCOMPARE(state.fontSize(), AppState::FontSize::Sm);
        QCOMPARE(state.hallName(), QStringLiteral("厅"));

        // The next account on this device sees nothing of Alice's.
        QVERIFY(chat.friends().isEmpty());
        QVERIFY(chat.dmMessages().isEmpty());
        QTRY_COMPARE(chat.conversations()->rowCount(), 1);
    }

    void transportFailuresReadInChinese_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("message");
        QTest::newRow("hangs") << "hangs" << "请求超时";
        QTest::newRow("untrusted certificate") << "untrusted" << "服务器证书无效";
    }
    void transportFailuresReadInChinese()
    {
        QFETCH(QString, server);
        QFETCH(QString, message);
        APIService::shared().setTimeout(std::chrono::milliseconds(300));
        const Result<DevCertificates> untrusted = DevCertificates::generate();
        QVERIFY(untrusted.ok());
        LocalHttpsServer http;
        QVERIFY(http.start(server == QLatin1String("untrusted") ? *untrusted : *m_certificates));
        http.setHolding(server == QLatin1String("hangs"));
        loopback::setServer(http.baseURL());

        AppState state;
        auto model = card(state);
        model->doLogin();
        waitUntilDone(*model);
        QCOMPARE(model->message(), message);
        QVERIFY(!state.token());
    }

    void registrationWhoseSignInFailsStaysSignedOut()
    {
        LocalHttpsServer http;
        QVERIFY(http.start(*m_certificates));
        loopback::setServer(http.baseURL());
        http.setResponse(QStringLiteral("/api/register"), {200, "application/json", R"({"ok":true})"});
        http.setResponse(QStringLiteral("/api/login"), {401, "application/json", R"({"error":"用户名或密码错误"})"});
        AppState state;
        auto model = card(state);
        model->setTab(AuthViewModel::Tab::Register);
        model->doRegister();
        waitUntilDone(*model);
        QCOMPARE(model->message(), QStringLiteral("用户名或密码错误"));
        QCOMPARE(http.requests.size(), 2);
        QCOMPARE(http.requests.at(1).target, QByteArray("/api/login"));
        QVERIFY(!state.token());
        QVERIFY(!state.currentUser());
    }
};

QTEST_GUILESS_MAIN(TestAppState)
#include "TestAppState.moc"
