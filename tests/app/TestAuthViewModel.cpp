// The sign-in card against a loopback HTTPS server: what its message line shows when the server
// hangs or presents a certificate nobody trusts (the REST client's test has the other transport
// failures), and a registration whose automatic sign-in fails.
#include "APIService.h"
#include "AppState.h"
#include "AuthViewModel.h"
#include "LocalHttpsServer.h"
#include "LoopbackTls.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace loopback;

class TestAuthViewModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::optional<DevCertificates> m_certificates;

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
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::shared().setLocation(m_dir.path());
        QVERIFY((m_certificates = trustedCertificates()));
        APIService::shared().setTimeout(std::chrono::milliseconds(300));
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
        const Result<DevCertificates> untrusted = DevCertificates::generate();
        QVERIFY(untrusted.ok());
        LocalHttpsServer http;
        QVERIFY(http.start(server == QLatin1String("untrusted") ? *untrusted : *m_certificates));
        http.setHolding(server == QLatin1String("hangs"));
        setServer(http.baseURL());

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
        setServer(http.baseURL());
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

QTEST_GUILESS_MAIN(TestAuthViewModel)
#include "TestAuthViewModel.moc"
