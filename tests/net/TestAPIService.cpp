// The REST client against a real HTTPS server on loopback: exact request bodies, result records,
// the error mapping, the group search's own rules, cookies and sign-out, refused certificates.
#include "APIService.h"
#include "HttpTestServer.h"
#include "NetworkSession.h"
#include "SettingsStore.h"
#include "TlsTrust.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkCookieJar>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

using Response = HttpTestServer::Response;

QJsonObject bodyOf(const HttpTestServer::Request &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}

const QByteArray userJson = R"({"id":"u1","username":"amy"})";

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
    std::unique_ptr<HttpTestServer> m_server;
    APIService &api = APIService::shared();

    void answerWith(int status, const QByteArray &body, QList<std::pair<QByteArray, QByteArray>> headers = {})
    {
        m_server->responder = [=](const HttpTestServer::Request &) { return Response{status, body, headers, false}; };
    }

    template <typename T>
    Result<T> wait(Answer<T> &answer)
    {
        [&] { QTRY_VERIFY_WITH_TIMEOUT(answer.result.has_value(), 20000); }();
        return answer.result.value_or(Result<T>::failure(QStringLiteral("no answer")));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::shared().setLocation(m_dir.path());
        Result<DevCertificates> certificates = DevCertificates::generate();
        QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
        m_certificates = certificates.value();
        TlsTrust::addCaCertificates({m_certificates->caCertificate});
    }

    void init()
    {
        m_server = std::make_unique<HttpTestServer>(*m_certificates);
        QVERIFY(m_server->listen() != 0);
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), m_server->baseURL());
    }

    void timeoutIsOneMinute() { QCOMPARE(APIService::timeoutMs, 60000); }

    void loginPostsJsonAndDecodes()
    {
        answerWith(200, R"({"ok":true,"token":"T","user":)" + userJson + "}");
        Answer<LoginResponse> answer;
        api.login(QStringLiteral("amy"), QStringLiteral("pw"), nullptr, answer.callback());
        const Result<LoginResponse> result = wait(answer);
        QVERIFY2(result.ok(), qPrintable(result.error()));
        QCOMPARE(result->token, QStringLiteral("T"));
        QCOMPARE(result->user.username, QStringLiteral("amy"));
        QCOMPARE(m_server->requests.size(), 1);
        const HttpTestServer::Request &request = m_server->requests.first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.target, QByteArray("/api/login"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/json"));
        QVERIFY(!request.headers.contains("authorization"));
        QCOMPARE(bodyOf(request), json(R"({"username":"amy","password":"pw"})"));
    }

    void endpointBodies()
    {
        answerWith(200, R"({"ok":true,"user":)" + userJson + "}");
        Answer<RegisterResponse> registered;
        api.registerUser(QStringLiteral("bo"), QStringLiteral("pw"), nullptr, registered.callback());
        QVERIFY(wait(registered).ok());
        Answer<MeResponse> me;
        api.me(QStringLiteral("T"), nullptr, me.callback());
        QCOMPARE(wait(me)->user.id, QStringLiteral("u1"));
        Answer<User> renamed;
        api.changeUsername(QStringLiteral("T"), QStringLiteral("amy2"), nullptr, renamed.callback());
        QCOMPARE(wait(renamed)->username, QStringLiteral("amy"));

        QCOMPARE(m_server->requests.size(), 3);
        QCOMPARE(m_server->requests.at(0).target, QByteArray("/api/register"));
        QCOMPARE(bodyOf(m_server->requests.at(0)), json(R"({"username":"bo","password":"pw"})"));
        QCOMPARE(m_server->requests.at(1).target, QByteArray("/api/me"));
        QCOMPARE(bodyOf(m_server->requests.at(1)), json(R"({"token":"T"})"));
        QCOMPARE(m_server->requests.at(2).target, QByteArray("/api/change-username"));
        QCOMPARE(bodyOf(m_server->requests.at(2)), json(R"({"token":"T","newUsername":"amy2"})"));
    }

    void passwordChangeAnswersABooleanMap()
    {
        answerWith(200, R"({"ok":true})");
        Answer<BooleanMap> changed;
        api.changePassword(QStringLiteral("T"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), nullptr,
                           changed.callback());
        QCOMPARE(wait(changed).value(), (BooleanMap{{QStringLiteral("ok"), true}}));
        QCOMPARE(bodyOf(m_server->requests.first()),
                 json(R"({"token":"T","oldPassword":"a","newPassword":"b","newPassword2":"c"})"));

        answerWith(200, R"({"ok":"yes"})");
        Answer<BooleanMap> odd;
        api.changePassword(QStringLiteral("T"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), nullptr,
                           odd.callback());
        QVERIFY(!wait(odd).ok());
    }

    void imagesTravelAsPlainBase64()
    {
        // Large enough that a line-wrapping encoder would wrap it.
        QByteArray image(300 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(7);
        for (char &byte : image)
            byte = char(generator.bounded(256));

        answerWith(200, "{\"ok\":true,\"avatar\":\"/a/1.jpg\",\"url\":\"https://h/i/1.jpg\"}");
        Answer<AvatarResponse> avatar;
        api.uploadAvatar(QStringLiteral("T"), image, nullptr, avatar.callback());
        QCOMPARE(wait(avatar)->avatar, QStringLiteral("/a/1.jpg"));
        Answer<AvatarResponse> groupAvatar;
        api.uploadGroupAvatar(QStringLiteral("T"), QStringLiteral("g1"), image, nullptr, groupAvatar.callback());
        QVERIFY(wait(groupAvatar).ok());
        Answer<ImageUploadResponse> upload;
        api.uploadMessageImage(QStringLiteral("T"), image, nullptr, upload.callback());
        QCOMPARE(wait(upload)->url, QStringLiteral("https://h/i/1.jpg"));

        const QByteArray base64 = image.toBase64();
        QVERIFY(!base64.contains('\n'));
        QCOMPARE(m_server->requests.at(0).target, QByteArray("/api/avatar"));
        QCOMPARE(bodyOf(m_server->requests.at(0)),
                 (QJsonObject{{QStringLiteral("token"), QStringLiteral("T")}, {QStringLiteral("data"), QString::fromLatin1(base64)}}));
        QCOMPARE(m_server->requests.at(1).target, QByteArray("/api/group-avatar"));
        QCOMPARE(bodyOf(m_server->requests.at(1)),
                 (QJsonObject{{QStringLiteral("token"), QStringLiteral("T")},
                              {QStringLiteral("gid"), QStringLiteral("g1")},
                              {QStringLiteral("data"), QString::fromLatin1(base64)}}));
        QCOMPARE(m_server->requests.at(2).target, QByteArray("/api/upload-msg-image"));
        QCOMPARE(QByteArray::fromBase64(bodyOf(m_server->requests.at(2)).value(QLatin1String("data")).toString().toLatin1()),
                 image);
    }

    void postMomentSendsImagesInOrderAndReturnsTheMoment()
    {
        answerWith(200, R"({"ok":true,"moment":{"id":"m1","author":"u1","text":"t","time":1}})");
        Answer<Moment> posted;
        api.postMoment(QStringLiteral("T"), QStringLiteral("引号\"t"), {QByteArray("one"), QByteArray("two")}, nullptr,
                       posted.callback());
        QCOMPARE(wait(posted)->id, QStringLiteral("m1"));
        Answer<Moment> textOnly;
        api.postMoment(QStringLiteral("T"), QStringLiteral("t"), {}, nullptr, textOnly.callback());
        QVERIFY(wait(textOnly).ok());

        QCOMPARE(m_server->requests.at(0).target, QByteArray("/api/moment-post"));
        QCOMPARE(bodyOf(m_server->requests.at(0)),
                 (QJsonObject{{QStringLiteral("token"), QStringLiteral("T")},
                              {QStringLiteral("text"), QStringLiteral("引号\"t")},
                              {QStringLiteral("images"), QJsonArray{QStringLiteral("b25l"), QStringLiteral("dHdv")}}}));
        QCOMPARE(bodyOf(m_server->requests.at(1)), json(R"({"token":"T","text":"t","images":[]})"));
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
        QTest::newRow("404 empty") << 404 << QByteArray() << QStringLiteral("HTTP错误 404");
        QTest::newRow("200 ok false has no token") << 200 << QByteArray(R"({"ok":false,"error":"x"})") << QString();
        QTest::newRow("200 not JSON") << 200 << QByteArray("<html/>") << QString();
    }
    void errorMapping()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        answerWith(status, body);
        Answer<LoginResponse> answer;
        api.login(QStringLiteral("a"), QStringLiteral("b"), nullptr, answer.callback());
        const Result<LoginResponse> result = wait(answer);
        QVERIFY(!result.ok());
        if (error.isEmpty()) {
            QVERIFY(!result.error().isEmpty());
            QVERIFY(result.error() != QStringLiteral("x"));
            QVERIFY(!result.error().startsWith(QStringLiteral("HTTP错误")));
        } else {
            QCOMPARE(result.error(), error);
        }
    }

    void addressThatDoesNotParseFailsBeforeSending()
    {
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), QStringLiteral("https://exa mple.org"));
        Answer<MeResponse> me;
        api.me(QStringLiteral("T"), nullptr, me.callback());
        QVERIFY(!me.result.has_value()); // answered later, never inside the call
        QCOMPARE(wait(me).error(), QStringLiteral("无效响应"));
        Answer<QList<SearchGroup>> search;
        api.searchGroups(QStringLiteral("k"), nullptr, search.callback());
        QCOMPARE(wait(search).error(), QStringLiteral("无效响应"));
        QVERIFY(m_server->requests.isEmpty());
    }

    // Qt reports an answer that is not HTTP as a transport failure with its own text.
    void answerThatIsNotHttpFails()
    {
        m_server->responder = [](const HttpTestServer::Request &) { return Response{0, "garbage\r\n\r\n", {}, true}; };
        Answer<MeResponse> me;
        api.me(QStringLiteral("T"), nullptr, me.callback());
        const Result<MeResponse> result = wait(me);
        QVERIFY(!result.ok());
        QVERIFY(!result.error().isEmpty());
    }

    void transportFailuresPassTheirOwnText()
    {
        const QString refusedBase = m_server->baseURL();
        m_server.reset(); // nothing listens there any more
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), refusedBase);
        Answer<MeResponse> me;
        api.me(QStringLiteral("T"), nullptr, me.callback());
        const Result<MeResponse> result = wait(me);
        QVERIFY(!result.ok());
        QVERIFY(result.error().contains(QStringLiteral("refused"), Qt::CaseInsensitive));
    }

    void untrustedCertificateIsRefused()
    {
        Result<DevCertificates> other = DevCertificates::generate();
        QVERIFY(other.ok());
        HttpTestServer untrusted(other.value());
        QVERIFY(untrusted.listen() != 0);
        SettingsStore::shared().setString(QStringLiteral("zp_server_url"), untrusted.baseURL());
        Answer<MeResponse> me;
        api.me(QStringLiteral("T"), nullptr, me.callback());
        const Result<MeResponse> result = wait(me);
        QVERIFY(!result.ok());
        QVERIFY2(result.error().contains(QStringLiteral("SSL"), Qt::CaseInsensitive), qPrintable(result.error()));
        QVERIFY(untrusted.requests.isEmpty());
    }

    void searchGroups_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("groups");
        QTest::newRow("groups") << 200 << QByteArray(R"({"ok":true,"groups":[{"id":"g","name":"n"}]})") << QString() << 1;
        QTest::newRow("ok without groups") << 200 << QByteArray(R"({"ok":true})") << QString() << 0;
        QTest::newRow("no ok member") << 200 << QByteArray(R"({"groups":[]})") << QString() << 0;
        QTest::newRow("ok false") << 200 << QByteArray(R"({"ok":false})") << QStringLiteral("搜索失败") << 0;
        QTest::newRow("ok false with error") << 200 << QByteArray(R"({"ok":false,"error":"e"})") << QStringLiteral("e") << 0;
        QTest::newRow("error status ignores the body") << 403 << QByteArray(R"({"error":"x"})") << QStringLiteral("HTTP错误 403") << 0;
    }
    void searchGroups()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, error);
        QFETCH(int, groups);
        answerWith(status, body);
        Answer<QList<SearchGroup>> search;
        api.searchGroups(QStringLiteral("a b"), nullptr, search.callback());
        const Result<QList<SearchGroup>> result = wait(search);
        if (error.isEmpty()) {
            QVERIFY2(result.ok(), qPrintable(result.error()));
            QCOMPARE(result->size(), groups);
        } else {
            QCOMPARE(result.error(), error);
        }
        const HttpTestServer::Request &request = m_server->requests.first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.target, QByteArray("/api/search-groups?keyword=a%20b"));
        QVERIFY(request.body.isEmpty());
        QVERIFY(!request.headers.contains("content-type"));
        QVERIFY(!request.headers.contains("authorization"));
    }

    void searchKeywordEscapesDelimiters()
    {
        answerWith(200, R"({"ok":true})");
        Answer<QList<SearchGroup>> search;
        api.searchGroups(QStringLiteral("c++ & a=b/群"), nullptr, search.callback());
        QVERIFY(wait(search).ok());
        QCOMPARE(m_server->requests.first().target,
                 QByteArray("/api/search-groups?keyword=c%2B%2B%20%26%20a%3Db%2F%E7%BE%A4"));
    }

    void cookiesAreReplayedUntilLogout()
    {
        answerWith(200, R"({"ok":true})", {{"Set-Cookie", "sid=abc; Path=/; Secure; HttpOnly"}});
        Answer<RegisterResponse> first;
        api.registerUser(QStringLiteral("a"), QStringLiteral("b"), nullptr, first.callback());
        QVERIFY(wait(first).ok());
        Answer<RegisterResponse> second;
        api.registerUser(QStringLiteral("a"), QStringLiteral("b"), nullptr, second.callback());
        QVERIFY(wait(second).ok());
        QCOMPARE(m_server->requests.at(1).headers.value("cookie"), QByteArray("sid=abc"));

        answerWith(500, "down");
        bool done = false;
        api.logout(nullptr, [&] { done = true; });
        QTRY_VERIFY(done);
        QCOMPARE(m_server->requests.at(2).target, QByteArray("/api/logout"));
        QCOMPARE(m_server->requests.at(2).body, QByteArray("{}"));
        QVERIFY(NetworkSession::shared().cookieJar()->cookiesForUrl(QUrl(m_server->baseURL())).isEmpty());

        answerWith(200, R"({"ok":true})");
        Answer<RegisterResponse> third;
        api.registerUser(QStringLiteral("a"), QStringLiteral("b"), nullptr, third.callback());
        QVERIFY(wait(third).ok());
        QVERIFY(!m_server->requests.at(3).headers.contains("cookie"));
    }

    void logoutWithTheServerUnreachableStillClearsCookies()
    {
        answerWith(200, R"({"ok":true})", {{"Set-Cookie", "sid=abc; Path=/; Secure"}});
        Answer<RegisterResponse> first;
        api.registerUser(QStringLiteral("a"), QStringLiteral("b"), nullptr, first.callback());
        QVERIFY(wait(first).ok());
        const QUrl site(m_server->baseURL());
        QCOMPARE(NetworkSession::shared().cookieJar()->cookiesForUrl(site).size(), 1);
        m_server.reset();
        bool done = false;
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
