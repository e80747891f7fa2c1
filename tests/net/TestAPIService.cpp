// The server address and everything derived from it, from the stored "zp_server_url"; and the REST
// client against a real HTTPS server on loopback (the account and upload endpoints reach the real
// server in the end-to-end tests): the moment post's body, result records, the error mapping, the
// group search's own rules, cookies and sign-out.
#include "APIService.h"
#include "LogRecorder.h"
#include "LocalHttpsServer.h"
#include "LoopbackTls.h"
#include "NetworkSession.h"
#include "ServerConfig.h"

#include <QJsonArray>
#include <QNetworkCookieJar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace loopback;

namespace {

QJsonObject bodyOf(const LocalHttpsServer::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

// Collects the one answer of an operation.
template <typename T>
struct Answer
{
    std::optional<Result<T>> result;
    ApiCallback<T> callback()
    {
        return [this](Result<T> r) { result = std::move(r); };
    }
};

} // namespace

class TestAPIService : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::optional<DevCertificates> m_certificates;
    std::unique_ptr<LocalHttpsServer> m_server;
    APIService &api = APIService::shared();

    void answerWith(int status, const QByteArray &body, QList<std::pair<QByteArray, QByteArray>> headers = {})
    {
        m_server->responder = [=](const LocalHttpsServer::Request &) {
            return LocalHttpsServer::Response{status, "application/json", body, headers};
        };
    }

    // Starts an operation with a fresh collector and waits for its answer.
    template <typename T>
    Result<T> call(const std::function<void(ApiCallback<T>)> &start)
    {
        Answer<T> answer;
        start(answer.callback());
        [&] { QTRY_VERIFY_WITH_TIMEOUT(answer.result.has_value(), 20000); }();
        return answer.result.value_or(Result<T>::failure(QStringLiteral("no answer")));
    }

    Result<MeResponse> me()
    {
        return call<MeResponse>([&](auto done) { api.me(QStringLiteral("T"), nullptr, done); });
    }
    Result<RegisterResponse> registerUser()
    {
        return call<RegisterResponse>([&](auto done) { api.registerUser(QStringLiteral("bo"), QStringLiteral("pw"), nullptr, done); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::shared().setLocation(m_dir.path());
        QVERIFY((m_certificates = trustedCertificates()));
    }

    void init()
    {
        m_server = std::make_unique<LocalHttpsServer>();
        QVERIFY(m_server->start(*m_certificates));
        setServer(m_server->baseURL());
    }

    void webSocketAddress_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ws");
        QTest::addColumn<QString>("preview");
        QTest::newRow("https") << "https://chat.example.org" << "wss://chat.example.org/ws" << "wss://chat.example.org/ws";
        QTest::newRow("http still gets wss") << "http://10.0.0.5:3000" << "wss://10.0.0.5:3000/ws" << "ws://10.0.0.5:3000/ws";
        QTest::newRow("no scheme") << "10.0.0.5:3000" << "wss://10.0.0.5:3000/ws" << "ws://10.0.0.5:3000/ws";
        QTest::newRow("trailing slash stays") << "https://10.0.0.5/" << "wss://10.0.0.5//ws" << "wss://10.0.0.5//ws";
        QTest::newRow("upper-case scheme is not a prefix") << "HTTPS://h" << "wss://HTTPS://h/ws" << "ws://HTTPS://h/ws";
    }
    void webSocketAddress()
    {
        QFETCH(QString, base);
        QFETCH(QString, ws);
        QFETCH(QString, preview);
        setServer(base);
        QCOMPARE(ServerConfig::wsURL(), ws);
        QCOMPARE(ServerConfig::derivedWSURL(base), preview);
    }

    // Each row above stores its own address: the stored value is read at every use.
    void restAndImageAddressesAreTheBaseTextPlusThePath()
    {
        setServer(QStringLiteral("https://10.0.0.5/"));
        QCOMPARE(ServerConfig::url(QStringLiteral("/api/login"))->toString(QUrl::None),
                 QStringLiteral("https://10.0.0.5//api/login"));
        setServer(QStringLiteral("https://10.0.0.5:8443"));
        QCOMPARE(ServerConfig::url(QStringLiteral("/api/me"))->port(), 8443);
        QCOMPARE(ServerConfig::resolveImageURL(QStringLiteral("/uploads/a.jpg")), QStringLiteral("https://10.0.0.5:8443/uploads/a.jpg"));
        QCOMPARE(ServerConfig::resolveImageURL(QStringLiteral("http://10.0.0.6/x.png")), QStringLiteral("http://10.0.0.6/x.png"));
    }

    // The request bodies of the account endpoints are checked by the real server in the end-to-end
    // tests; the password change's answer is a map of booleans, and a member of another type fails it.
    void passwordChangeAnswersBooleansOnly()
    {
        const auto changePassword = [&] {
            return call<BooleanMap>([&](auto done) {
                api.changePassword(QStringLiteral("T"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), nullptr, done);
            });
        };
        answerWith(200, R"({"ok":true})");
        QCOMPARE(changePassword().value(), (BooleanMap{{QStringLiteral("ok"), true}}));
        answerWith(200, R"({"ok":"yes"})");
        QVERIFY(!changePassword().ok());
    }

    void postMomentSendsImagesInOrderAndReturnsTheMoment()
    {
        answerWith(200, R"({"ok":true,"moment":{"id":"m1","author":"u1","text":"t","time":1}})");
        const Result<Moment> posted = call<Moment>([&](auto done) {
            api.postMoment(QStringLiteral("T"), QStringLiteral("引号\"t"), {QByteArray("one"), QByteArray("two")}, nullptr, done);
        });
        QCOMPARE(posted->id, QStringLiteral("m1"));
        QVERIFY(call<Moment>([&](auto done) { api.postMoment(QStringLiteral("T"), QStringLiteral("t"), {}, nullptr, done); }).ok());
        QCOMPARE(m_server->requests.at(0).target, QByteArray("/api/moment-post"));
        QCOMPARE(bodyOf(m_server->requests.at(0)),
                 (QJsonObject{{QStringLiteral("token"), QStringLiteral("T")},
                              {QStringLiteral("text"), QStringLiteral("引号\"t")},
                              {QStringLiteral("images"), QJsonArray{QStringLiteral("b25l"), QStringLiteral("dHdv")}}}));
        QCOMPARE(bodyOf(m_server->requests.at(1)), json("{'token':'T','text':'t','images':[]}"));
    }

    void errorMapping_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error"); // empty: a decoder error (any non-empty text)
        QTest::newRow("401 error object") << 401 << QByteArray(R"({"error":"x"})") << QStringLiteral("x");
        QTest::newRow("401 with a non-string member") << 401 << QByteArray(R"({"ok":false,"error":"x"})")
                                                       << QStringLiteral("HTTP错误 401");
        QTest::newRow("400 strings without error") << 400 << QByteArray(R"({"message":"m"})") << QStringLiteral("HTTP错误 400");
        QTest::newRow("500 HTML page") << 500 << QByteArray("<html><body>oops</body></html>") << QStringLiteral("HTTP错误 500");
        QTest::newRow("200 not JSON") << 200 << QByteArray("<html/>") << QString();
    }
    void errorMapping()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        answerWith(status, body);
        const Result<LoginResponse> result =
            call<LoginResponse>([&](auto done) { api.login(QStringLiteral("a"), QStringLiteral("b"), nullptr, done); });
        QVERIFY(!result.ok());
        if (error.isEmpty()) {
            QVERIFY(!result.error().isEmpty());
            QVERIFY(!result.error().startsWith(QStringLiteral("HTTP错误")));
        } else {
            QCOMPARE(result.error(), error);
        }
    }

    // An address that does not parse makes no URL: nothing is sent.
    void addressThatDoesNotParseFailsBeforeSending()
    {
        setServer(QStringLiteral("https://exa mple.org"));
        Answer<MeResponse> later;
        api.me(QStringLiteral("T"), nullptr, later.callback());
        QVERIFY(!later.result.has_value()); // answered later, never inside the call
        QCOMPARE(me().error(), QStringLiteral("无效响应"));
        QCOMPARE(call<QList<SearchGroup>>([&](auto done) { api.searchGroups(QStringLiteral("k"), nullptr, done); }).error(),
                 QStringLiteral("无效响应"));
        QVERIFY(m_server->requests.isEmpty());
    }

    // Transport failures read in Chinese (the sign-in card's test has the other kinds); Qt's own
    // text stays in the log. A server that hangs up after a reply that is not HTTP interrupted it.
    void transportFailuresReadInChineseAndLogQtsText()
    {
        m_server->responder = [](const LocalHttpsServer::Request &) { return LocalHttpsServer::Response{0, {}, "garbage\r\n\r\n", {}, true}; };
        QCOMPARE(me().error(), QStringLiteral("连接已中断"));

        LogRecorder log;
        m_server.reset(); // nothing listens there any more
        QCOMPARE(me().error(), QStringLiteral("无法连接到服务器"));
        QVERIFY2(log.anyContains(QStringLiteral("/api/me failed: Connection refused")), qPrintable(log.lines.join('\n')));
    }

    void searchGroups_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("groups");
        const QString ab = QStringLiteral("a b");
        const QByteArray target = "/api/search-groups?keyword=a%20b";
        QTest::newRow("groups") << ab << target << 200 << QByteArray(R"({"ok":true,"groups":[{"id":"g","name":"n"}]})") << QString() << 1;
        QTest::newRow("ok without groups") << ab << target << 200 << QByteArray(R"({"ok":true})") << QString() << 0;
        QTest::newRow("no ok member") << ab << target << 200 << QByteArray(R"({"groups":[]})") << QString() << 0;
        QTest::newRow("ok false") << ab << target << 200 << QByteArray(R"({"ok":false})") << QStringLiteral("搜索失败") << 0;
        QTest::newRow("ok false with error") << ab << target << 200 << QByteArray(R"({"ok":false,"error":"e"})") << QStringLiteral("e") << 0;
        QTest::newRow("error status ignores the body")
            << ab << target << 403 << QByteArray(R"({"error":"x"})") << QStringLiteral("HTTP错误 403") << 0;
        QTest::newRow("delimiters escaped") << QStringLiteral("c++ & a=b/群") << QByteArray("/api/search-groups?keyword=c%2B%2B%20%26%20a%3Db%2F%E7%BE%A4")
                                            << 200 << QByteArray(R"({"ok":true})") << QString() << 0;
    }
    void searchGroups()
    {
        QFETCH(QString, keyword);
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        QFETCH(int, groups);
        answerWith(status, body);
        const Result<QList<SearchGroup>> result =
            call<QList<SearchGroup>>([&](auto done) { api.searchGroups(keyword, nullptr, done); });
        if (error.isEmpty()) {
            QVERIFY2(result.ok(), qPrintable(result.error()));
            QCOMPARE(result->size(), groups);
        } else {
            QCOMPARE(result.error(), error);
        }
        const LocalHttpsServer::Request &request = m_server->requests.first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.target, target);
        QVERIFY(request.body.isEmpty());
        QVERIFY(!request.headers.contains("content-type"));
        QVERIFY(!request.headers.contains("authorization"));
    }

    void cookiesAreReplayedUntilLogout()
    {
        const QUrl site(m_server->baseURL());
        answerWith(200, R"({"ok":true})", {{"Set-Cookie", "sid=abc; Path=/; Secure; HttpOnly"}});
        QVERIFY(registerUser().ok());
        QVERIFY(registerUser().ok());
        QCOMPARE(m_server->requests.at(1).headers.value("cookie"), QByteArray("sid=abc"));

        // Sign-out ignores the server's error and still forgets the cookie.
        answerWith(500, "down");
        bool done = false;
        api.logout(nullptr, [&] { done = true; });
        QTRY_VERIFY(done);
        QCOMPARE(m_server->requests.at(2).target, QByteArray("/api/logout"));
        QCOMPARE(m_server->requests.at(2).body, QByteArray("{}"));
        QVERIFY(NetworkSession::shared().cookieJar()->cookiesForUrl(site).isEmpty());
        answerWith(200, R"({"ok":true})", {{"Set-Cookie", "sid=new; Path=/; Secure"}});
        QVERIFY(registerUser().ok());
        QVERIFY(!m_server->requests.at(3).headers.contains("cookie"));

        // So does a sign-out that cannot reach the server at all.
        QCOMPARE(NetworkSession::shared().cookieJar()->cookiesForUrl(site).size(), 1);
        m_server.reset();
        done = false;
        api.logout(nullptr, [&] { done = true; });
        QTRY_VERIFY(done);
        QVERIFY(NetworkSession::shared().cookieJar()->cookiesForUrl(site).isEmpty());
    }

    void answerIsSkippedOnceTheContextIsGone()
    {
        answerWith(200, R"({"ok":true})");
        auto context = std::make_unique<QObject>();
        bool called = false;
        api.registerUser(QStringLiteral("a"), QStringLiteral("b"), context.get(), [&](Result<RegisterResponse>) { called = true; });
        context.reset();
        QTRY_COMPARE(m_server->requests.size(), 1);
        QTest::qWait(100);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestAPIService)
#include "TestAPIService.moc"
