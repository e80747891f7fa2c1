// Every REST endpoint: what it answers on success, and the status and text of each refusal; the update
// files as served from the data folder. The per-address limits on registrations, failed and successful
// sign-ins, and the per-name limit on failed sign-ins: each refuses with 429 once reached and lets the
// address in again once its window has passed; a successful sign-in forgives the name's failures.
#include "ServerFixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
QString encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return QString::fromLatin1(bytes.toBase64());
}

QImage picture(int width = 16, int height = 16)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

const QString TinyGif = u"R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"_s;
} // namespace

class RestEndpointsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registrationFollowsTheClientsRules()
    {
        ServerFixture server;
        RestProbe rest(server.baseUrl());
        const RestReply ok = rest.registerUser(u"小明2"_s, u"abcd"_s);
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.json, (QJsonObject{{u"ok"_s, true}}));
        for (const QString &bad : {u"a"_s, QString(21, u'a'), u"a b"_s})
            QCOMPARE(rest.registerUser(bad, u"abcd"_s).outcome(), u"400 用户名需为2-20位字母、数字或中文"_s);
        for (const QString &bad : {u"abc"_s, QString(65, u'p')})
            QCOMPARE(rest.registerUser(u"carol"_s, bad).outcome(), u"400 密码长度需为4-64位"_s);
        QCOMPARE(rest.registerUser(u"carol"_s, QString(64, u'p')).status, 200);
        QCOMPARE(rest.registerUser(u"CAROL"_s, u"abcd"_s).outcome(), u"409 用户名已被占用"_s);
        QCOMPARE(rest.postRaw(u"/api/register"_s, "not json").outcome(), u"400 请求格式错误"_s);
    }

    void loginIssuesATokenAndASecureCookie()
    {
        ServerFixture server;
        server.signUp(u"alice"_s);
        RestProbe rest(server.baseUrl());
        const RestReply login = rest.login(u"alice"_s, ServerFixture::password());
        QCOMPARE(login.status, 200);
        QCOMPARE(login.json.value(u"ok"_s).toBool(), true);
        const QString token = login.json.value(u"token"_s).toString();
        QCOMPARE(token.size(), 43); // 256 bits, URL-safe Base64
        QCOMPARE(login.json.value(u"user"_s).toObject().value(u"username"_s).toString(), u"alice"_s);
        const QByteArray cookie = login.header("Set-Cookie");
        QVERIFY(cookie.startsWith("zp_session=" + token.toLatin1()));
        for (const QByteArray &attribute : {"HttpOnly"_ba, "Secure"_ba, "SameSite=Strict"_ba})
            QVERIFY2(cookie.contains(attribute), cookie.constData());

        QCOMPARE(rest.login(u"alice"_s, QString()).outcome(), u"400 请输入用户名和密码"_s);
        QCOMPARE(rest.login(u"alice"_s, u"nope"_s).outcome(), u"401 用户名或密码错误"_s);
        QCOMPARE(rest.login(u"ghost"_s, u"nope"_s).error(), u"用户名或密码错误"_s);
    }

    void sessionsEndBySigningOutOrExpiring()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        RestProbe rest(server.baseUrl());
        const auto me = [&rest](const QString &token) { return rest.post(u"/api/me"_s, {{u"token"_s, token}}); };
        QCOMPARE(me(alice.token).status, 200);
        QCOMPARE(me(u"x"_s).outcome(), u"401 登录已失效，请重新登录"_s);

        auto socket = server.connect(alice);
        const RestReply out = rest.post(u"/api/logout"_s, {{u"token"_s, alice.token}});
        QCOMPARE(out.status, 200);
        QCOMPARE(out.json, (QJsonObject{{u"ok"_s, true}}));
        QVERIFY(out.header("Set-Cookie").contains("Max-Age=0"));
        QCOMPARE(me(alice.token).status, 401);
        QVERIFY(socket->waitClosed());
        QCOMPARE(rest.post(u"/api/logout"_s, {}).status, 200); // nobody signed in: still fine

        const QString token = rest.login(u"alice"_s, ServerFixture::password()).json.value(u"token"_s).toString();
        server.clock().advance(90LL * 24 * 3600 * 1000);
        QCOMPARE(me(token).status, 200);
        server.clock().advance(1);
        QCOMPARE(me(token).status, 401);
    }

    void usernameAndPasswordChanges()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        server.signUp(u"bob"_s);
        RestProbe rest(server.baseUrl());
        const auto rename = [&](const QString &name) {
            return rest.post(u"/api/change-username"_s, {{u"token"_s, alice.token}, {u"newUsername"_s, name}});
        };
        // The new name and password taking effect are the app end-to-end test's.
        QCOMPARE(rename(u"艾丽丝"_s).status, 200);
        QCOMPARE(rename(u"Bob"_s).status, 409);
        QCOMPARE(rename(u"x"_s).status, 400);
        QCOMPARE(rest.post(u"/api/change-username"_s, {{u"newUsername"_s, u"zed"_s}}).status, 401);

        const auto change = [&](const QString &old, const QString &fresh, const QString &again) {
            return rest.post(u"/api/change-password"_s, {{u"token"_s, alice.token}, {u"oldPassword"_s, old},
                                                        {u"newPassword"_s, fresh}, {u"newPassword2"_s, again}});
        };
        QCOMPARE(change(u"pass1234"_s, u"abcd"_s, u"abce"_s).error(), u"两次输入的新密码不一致"_s);
        QCOMPARE(change(u"pass1234"_s, u"abc"_s, u"abc"_s).error(), u"密码长度需为4-64位"_s);
        QCOMPARE(change(u"nope"_s, u"abcd"_s, u"abcd"_s).outcome(), u"400 原密码错误"_s);

        // A change ends the other sessions of the account, and leaves the one that made it.
        const QString otherToken = RestProbe(server.baseUrl()).login(u"艾丽丝"_s, u"pass1234"_s).json.value(u"token"_s).toString();
        auto here = server.connect(alice);
        auto there = server.connect({alice.id, alice.name, otherToken});
        QCOMPARE(change(u"pass1234"_s, u"abcd"_s, u"abcd"_s).status, 200);
        QCOMPARE(errorOf(there->waitFor(u"kicked"_s)), u"密码已修改，请重新登录"_s);
        QVERIFY(there->waitClosed());
        QVERIFY(here->quietFor(u"kicked"_s));
        QVERIFY(here->isOpen());
        QCOMPARE(rest.post(u"/api/me"_s, {{u"token"_s, alice.token}}).status, 200);
    }

    void uploadsMustBeImagesOfAcceptedFormatsAndSizes()
    {
        Limits limits = ServerFixture::testLimits();
        limits.maxImagePixels = 1'000'000;
        ServerFixture server(limits);
        const auto alice = server.signUp(u"alice"_s);
        RestProbe rest(server.baseUrl());
        const auto upload = [&](const QString &data) {
            return rest.post(u"/api/upload-msg-image"_s, {{u"token"_s, alice.token}, {u"data"_s, data}});
        };
        for (const auto &[data, type] : {std::pair{encoded(picture(), "PNG"), "image/png"_ba}, std::pair{encoded(picture(), "JPEG"), "image/jpeg"_ba},
                                         std::pair{encoded(picture(), "WEBP"), "image/webp"_ba}, std::pair{TinyGif, "image/gif"_ba}}) {
            const RestReply stored = upload(data);
            QCOMPARE(stored.status, 200);
            const QString url = stored.json.value(u"url"_s).toString();
            QVERIFY2(url.startsWith(u"/uploads/"_s), qPrintable(url));
            const RestReply served = rest.get(url);
            QCOMPARE(served.status, 200);
            QCOMPARE(served.header("Content-Type"), type);
            QVERIFY(served.header("Cache-Control").contains("immutable"));
            QCOMPARE(served.body, QByteArray::fromBase64(data.toLatin1()));
            QCOMPARE(upload(data).json.value(u"url"_s).toString(), url); // stored once, by content
        }
        QCOMPARE(upload(u"%%%not base64"_s).error(), u"图片数据无效"_s);
        QCOMPARE(upload(encoded(picture(), "BMP")).error(), u"图片格式不支持，仅支持JPEG、PNG、GIF、WebP"_s);
        QCOMPARE(upload(QString::fromLatin1(QByteArray("hello, world").toBase64())).status, 400);
        QByteArray broken = QByteArray::fromBase64(encoded(picture(64, 64), "PNG").toLatin1());
        broken.truncate(broken.size() / 2);
        QCOMPARE(upload(QString::fromLatin1(broken.toBase64())).status, 400);
        QCOMPARE(upload(encoded(picture(1100, 1000), "PNG")).outcome(), u"413 图片尺寸过大"_s);
        QCOMPARE(upload(QString::fromLatin1(QByteArray(600 * 1024, 'x').toBase64())).outcome(), u"413 图片太大"_s);
        QCOMPARE(rest.post(u"/api/upload-msg-image"_s, {{u"data"_s, encoded(picture(), "PNG")}}).status, 401);
        QCOMPARE(rest.get(u"/uploads/0000.png"_s).status, 404);

        // A body just over the 1 MB limit, and an account form over its own much smaller one, are
        // refused without harm to the session.
        QCOMPARE(rest.post(u"/api/avatar"_s, {{u"token"_s, alice.token}, {u"data"_s, QString(1'070'000, u'a')}}).outcome(), u"413 请求内容太大"_s);
        QCOMPARE(rest.post(u"/api/login"_s, {{u"username"_s, QString(20000, u'a')}}).status, 413);
        QCOMPARE(upload(encoded(picture(), "PNG")).status, 200);
    }

    void avatarsAndGroupAvatars()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        RestProbe rest(server.baseUrl());
        const RestReply avatar = rest.post(u"/api/avatar"_s, {{u"token"_s, alice.token}, {u"data"_s, encoded(picture(), "PNG")}});
        QCOMPARE(avatar.status, 200);
        const QString path = avatar.json.value(u"avatar"_s).toString();
        QVERIFY(path.startsWith(u"/uploads/"_s));
        QCOMPARE(b->waitFor(u"friend-update"_s).value(u"friends"_s).toArray().first().toObject().value(u"avatar"_s).toString(), path);

        // Setting a group's picture and its members hearing of it is the contacts end-to-end test's.
        const QString gid = ServerFixture::createGroup(*a, u"g"_s, {bob.id});
        const auto setGroupAvatar = [&](const QString &token, const QString &group) {
            return rest.post(u"/api/group-avatar"_s, {{u"token"_s, token}, {u"gid"_s, group}, {u"data"_s, encoded(picture(), "JPEG")}});
        };
        QCOMPARE(setGroupAvatar(bob.token, gid).outcome(), u"403 只有群主可以修改群头像"_s);
        QCOMPARE(setGroupAvatar(alice.token, u"gnope"_s).status, 404);
    }

    void groupSearchUsesTheSessionCookie()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        auto a = server.connect(alice);
        for (const QString &name : {u"读书会"_s, u"100%_fun"_s})
            QVERIFY(!ServerFixture::createGroup(*a, name).isEmpty());
        RestProbe anonymous(server.baseUrl());
        const RestReply refused = anonymous.get(u"/api/search-groups?keyword=%E8%AF%BB"_s);
        QCOMPARE(refused.status, 200);
        QCOMPARE(refused.json.value(u"ok"_s).toBool(true), false);
        QCOMPARE(refused.error(), u"请先登录"_s);

        RestProbe rest(server.baseUrl());
        QCOMPARE(rest.login(u"alice"_s, ServerFixture::password()).status, 200);
        const auto found = [&rest](const QString &keyword) {
            return rest.get(u"/api/search-groups?keyword="_s + keyword).json.value(u"groups"_s).toArray();
        };
        const QJsonObject group = found(u"%E8%AF%BB"_s).first().toObject();
        QCOMPARE(found(u"%E8%AF%BB"_s).size(), 1);
        QCOMPARE(group.value(u"name"_s).toString(), u"读书会"_s);
        QCOMPARE(group.value(u"ownerName"_s).toString(), u"alice"_s);
        QCOMPARE(group.value(u"memberCount"_s).toInt(), 1);
        // "%" and "_" are matched literally.
        QCOMPARE(found(u"%25_"_s).size(), 1);
        QCOMPARE(found(u"_%25"_s).size(), 0);
        QCOMPARE(rest.get(u"/api/search-groups?keyword="_s).json, (QJsonObject{{u"ok"_s, true}, {u"groups"_s, QJsonArray()}}));
    }

    void limitsPerAddress_data()
    {
        const Limits limits = ServerFixture::testLimits();
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("allowed"); // attempts the address makes before it is refused
        QTest::addColumn<qint64>("window"); // how long until it is let in again
        QTest::newRow("registrations") << "register" << limits.registrationsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins") << "fail" << limits.failedLoginsPerAddress << limits.loginThrottleWindowMs;
        QTest::newRow("failed sign-ins of one name") << "guess" << limits.failedLoginsPerName << limits.loginThrottleWindowMs;
        QTest::newRow("sign-ins") << "login" << limits.signInBurst << qint64(1000 / limits.signInsPerSecond);
    }
    void limitsPerAddress()
    {
        QFETCH(QString, kind);
        QFETCH(int, allowed);
        QFETCH(qint64, window);
        ServerFixture server;
        server.signUp(u"alice"_s);
        server.clock().advance(ServerFixture::testLimits().loginThrottleWindowMs); // the set-up's own attempts are forgotten
        RestProbe rest(server.baseUrl());
        // Each attempt of its kind; a failed sign-in uses a new name each time, so only the address counts.
        int next = 0;
        const bool failing = kind == u"fail"_s || kind == u"guess"_s;
        const auto attempt = [&] {
            const QString name = u"user%1"_s.arg(next++);
            if (kind == u"register"_s)
                return rest.registerUser(name, ServerFixture::password());
            return failing ? rest.login(kind == u"fail"_s ? name : u"alice"_s, u"guess"_s) : rest.login(u"alice"_s, ServerFixture::password());
        };
        const int expected = failing ? 401 : 200;
        for (int i = 0; i < allowed; ++i)
            QCOMPARE(attempt().status, expected);
        // Once failures reach their limit, even the right password is refused.
        QCOMPARE((failing ? rest.login(u"alice"_s, ServerFixture::password()) : attempt()).outcome(), u"429 尝试次数过多，请稍后再试"_s);

        server.clock().advance(window - 1);
        QCOMPARE(attempt().status, 429);
        server.clock().advance(window); // past the window even for a bucket that refills gradually
        QCOMPARE(attempt().status, expected);
    }

    void successfulSignInForgivesTheNamesFailures()
    {
        ServerFixture server;
        server.signUp(u"alice"_s);
        RestProbe rest(server.baseUrl());
        for (int round = 0; round < 2; ++round) { // the second round counts from zero again: still below the limit
            for (int i = 1; i < ServerFixture::testLimits().failedLoginsPerName; ++i)
                QCOMPARE(rest.login(u"alice"_s, u"guess"_s).status, 401);
            QCOMPARE(rest.login(u"alice"_s, ServerFixture::password()).status, 200);
        }
    }

    // The update files from the data folder, and nothing else from it; what the update checker does
    // with them is its own test's.
    void updateFilesAreServedFromTheDataFolder()
    {
        ServerFixture server;
        const QDir updates(QDir(server.dataDir()).filePath(u"updates"_s));
        QVERIFY(updates.mkpath(u"."_s));
        RestProbe rest(server.baseUrl());
        for (const auto &[name, type] : {std::pair{u"version.json"_s, "application/json"_ba}, std::pair{u"Zephlin-9.1.0.ipa"_s, QByteArray()}}) {
            const QByteArray content = name.toUtf8().repeated(1000);
            QFile file(updates.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
            file.close();
            const RestReply served = rest.get(u"/downloads/zephlin/"_s + name);
            QCOMPARE(served.status, 200);
            QCOMPARE(served.body, content);
            if (!type.isEmpty())
                QCOMPARE(served.header("Content-Type"), type);
        }
        QCOMPARE(rest.get(u"/downloads/zephlin/Zephlin-1.3.0.ipa"_s).status, 404);
        QCOMPARE(rest.get(u"/downloads/zephlin/..%2Fzephlin.db"_s).status, 404);
    }
};

QTEST_GUILESS_MAIN(RestEndpointsTest)
#include "RestEndpointsTest.moc"
