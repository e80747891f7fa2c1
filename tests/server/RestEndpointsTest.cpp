// Every REST endpoint: what it answers on success, and the status and text of each refusal.
#include "ServerFixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QSslSocket>
#include <QtTest>

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

const QString TinyGif = QStringLiteral("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7");

QJsonObject credentials(const QString &name, const QString &password)
{
    return {{QStringLiteral("username"), name}, {QStringLiteral("password"), password}};
}
} // namespace

class RestEndpointsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registrationFollowsTheClientsRules()
    {
        ServerFixture server;
        RestProbe rest(server.baseUrl());
        const RestReply ok = rest.post(QStringLiteral("/api/register"), credentials(QStringLiteral("小明2"), QStringLiteral("abcd")));
        QCOMPARE(ok.status, 200);
        QCOMPARE(ok.json, (QJsonObject{{QStringLiteral("ok"), true}}));
        const QString nameRule = QStringLiteral("用户名需为2-20位字母、数字或中文");
        for (const QString &bad : {QStringLiteral("a"), QString(21, u'a'), QStringLiteral("a b"), QStringLiteral("bob!")}) {
            const RestReply refused = rest.post(QStringLiteral("/api/register"), credentials(bad, QStringLiteral("abcd")));
            QCOMPARE(refused.status, 400);
            QCOMPARE(refused.error(), nameRule);
        }
        for (const QString &bad : {QStringLiteral("abc"), QString(65, u'p')}) {
            const RestReply refused = rest.post(QStringLiteral("/api/register"), credentials(QStringLiteral("carol"), bad));
            QCOMPARE(refused.status, 400);
            QCOMPARE(refused.error(), QStringLiteral("密码长度需为4-64位"));
        }
        QCOMPARE(rest.post(QStringLiteral("/api/register"), credentials(QStringLiteral("carol"), QString(64, u'p'))).status, 200);
        const RestReply taken = rest.post(QStringLiteral("/api/register"), credentials(QStringLiteral("CAROL"), QStringLiteral("abcd")));
        QCOMPARE(taken.status, 409);
        QCOMPARE(taken.error(), QStringLiteral("用户名已被占用"));
        const RestReply garbage = rest.postRaw(QStringLiteral("/api/register"), "not json");
        QCOMPARE(garbage.status, 400);
        QCOMPARE(garbage.error(), QStringLiteral("请求格式错误"));
    }

    void loginIssuesATokenAndASecureCookie()
    {
        ServerFixture server;
        server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        const RestReply login = rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234")));
        QCOMPARE(login.status, 200);
        QCOMPARE(login.json.value(QStringLiteral("ok")).toBool(), true);
        const QString token = login.json.value(QStringLiteral("token")).toString();
        QCOMPARE(token.size(), 43); // 256 bits, URL-safe Base64
        QCOMPARE(login.json.value(QStringLiteral("user")).toObject().value(QStringLiteral("username")).toString(), QStringLiteral("alice"));
        const QByteArray cookie = login.header("Set-Cookie");
        QVERIFY(cookie.startsWith("zp_session=" + token.toLatin1()));
        for (const QByteArray &attribute : {QByteArrayLiteral("HttpOnly"), QByteArrayLiteral("Secure"), QByteArrayLiteral("SameSite=Strict")})
            QVERIFY2(cookie.contains(attribute), cookie.constData());

        // The cookie alone signs in nothing but logging out and the group search.
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {}).status, 401);

        const RestReply missing = rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QString()));
        QCOMPARE(missing.status, 400);
        QCOMPARE(missing.error(), QStringLiteral("请输入用户名和密码"));
        const RestReply wrong = rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("nope")));
        QCOMPARE(wrong.status, 401);
        QCOMPARE(wrong.error(), QStringLiteral("用户名或密码错误"));
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("ghost"), QStringLiteral("nope"))).error(),
                 QStringLiteral("用户名或密码错误"));
    }

    void repeatedFailuresAreThrottled()
    {
        ServerFixture server;
        server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("guess"))).status, 401);
        const RestReply blocked = rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234")));
        QCOMPARE(blocked.status, 429);
        QCOMPARE(blocked.error(), QStringLiteral("尝试次数过多，请稍后再试"));
        server.clock().advance(15 * 60 * 1000);
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234"))).status, 200);
    }

    void meAndLogoutEndTheSession()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 200);
        const RestReply forged = rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), QStringLiteral("x")}});
        QCOMPARE(forged.status, 401);
        QCOMPARE(forged.error(), QStringLiteral("登录已失效，请重新登录"));

        auto socket = server.connect(alice);
        const RestReply out = rest.post(QStringLiteral("/api/logout"), {{QStringLiteral("token"), alice.token}});
        QCOMPARE(out.status, 200);
        QCOMPARE(out.json, (QJsonObject{{QStringLiteral("ok"), true}}));
        QVERIFY(out.header("Set-Cookie").contains("Max-Age=0"));
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 401);
        QVERIFY(socket->waitClosed());
        QCOMPARE(rest.post(QStringLiteral("/api/logout"), {}).status, 200); // nobody signed in: still fine
    }

    void sessionsExpire()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        server.clock().advance(90LL * 24 * 3600 * 1000);
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 200);
        server.clock().advance(1);
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 401);
    }

    void silentConnectionsAreClosed()
    {
        ServerFixture server;
        QSslSocket socket;
        QSignalSpy encrypted(&socket, &QSslSocket::encrypted);
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), quint16(server.baseUrl().port()));
        QVERIFY(encrypted.wait(10000)); // the server runs in this thread: no blocking waits
        socket.write("POST /api/me HTTP/1.1\r\nHost: 127.0.0.1\r\n"); // and then nothing more
        QSignalSpy closed(&socket, &QSslSocket::disconnected);
        QVERIFY(closed.wait(5000));
    }

    void theSocketPathWantsAnUpgrade()
    {
        ServerFixture server;
        const RestReply plain = RestProbe(server.baseUrl()).get(QStringLiteral("/ws"));
        QCOMPARE(plain.status, 426);
        QCOMPARE(plain.error(), QStringLiteral("需要WebSocket连接"));
    }

    void usernameAndPasswordChanges()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        server.signUp(QStringLiteral("bob"));
        RestProbe rest(server.baseUrl());
        const auto rename = [&](const QString &name) {
            return rest.post(QStringLiteral("/api/change-username"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("newUsername"), name}});
        };
        const RestReply renamed = rename(QStringLiteral("艾丽丝"));
        QCOMPARE(renamed.status, 200);
        QCOMPARE(renamed.json.value(QStringLiteral("user")).toObject().value(QStringLiteral("username")).toString(), QStringLiteral("艾丽丝"));
        QCOMPARE(rename(QStringLiteral("Bob")).status, 409);
        QCOMPARE(rename(QStringLiteral("x")).status, 400);
        QCOMPARE(rest.post(QStringLiteral("/api/change-username"), {{QStringLiteral("newUsername"), QStringLiteral("zed")}}).status, 401);

        const auto change = [&](const QString &old, const QString &fresh, const QString &again) {
            return rest.post(QStringLiteral("/api/change-password"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("oldPassword"), old},
                                                                      {QStringLiteral("newPassword"), fresh}, {QStringLiteral("newPassword2"), again}});
        };
        QCOMPARE(change(QStringLiteral("pass1234"), QStringLiteral("abcd"), QStringLiteral("abce")).error(), QStringLiteral("两次输入的新密码不一致"));
        QCOMPARE(change(QStringLiteral("pass1234"), QStringLiteral("abc"), QStringLiteral("abc")).error(), QStringLiteral("密码长度需为4-64位"));
        const RestReply wrongOld = change(QStringLiteral("nope"), QStringLiteral("abcd"), QStringLiteral("abcd"));
        QCOMPARE(wrongOld.status, 400);
        QCOMPARE(wrongOld.error(), QStringLiteral("原密码错误"));
        QCOMPARE(change(QStringLiteral("pass1234"), QStringLiteral("abcd"), QStringLiteral("abcd")).status, 200);
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("艾丽丝"), QStringLiteral("pass1234"))).status, 401);
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("艾丽丝"), QStringLiteral("abcd"))).status, 200);
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 200); // this session stays
    }

    void uploadsMustBeImagesOfAcceptedFormatsAndSizes()
    {
        Limits limits = ServerFixture::testLimits();
        limits.maxImagePixels = 1'000'000;
        ServerFixture server(limits);
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        const auto upload = [&](const QString &data) {
            return rest.post(QStringLiteral("/api/upload-msg-image"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), data}});
        };
        for (const auto &[data, type] : {std::pair{encoded(picture(), "PNG"), QByteArrayLiteral("image/png")},
                                         std::pair{encoded(picture(), "JPEG"), QByteArrayLiteral("image/jpeg")},
                                         std::pair{encoded(picture(), "WEBP"), QByteArrayLiteral("image/webp")},
                                         std::pair{TinyGif, QByteArrayLiteral("image/gif")}}) {
            const RestReply stored = upload(data);
            QCOMPARE(stored.status, 200);
            const QString url = stored.json.value(QStringLiteral("url")).toString();
            QVERIFY2(url.startsWith(QStringLiteral("/uploads/")), qPrintable(url));
            const RestReply served = rest.get(url);
            QCOMPARE(served.status, 200);
            QCOMPARE(served.header("Content-Type"), type);
            QVERIFY(served.header("Cache-Control").contains("immutable"));
            QCOMPARE(served.body, QByteArray::fromBase64(data.toLatin1()));
            QCOMPARE(upload(data).json.value(QStringLiteral("url")).toString(), url); // stored once, by content
        }
        QCOMPARE(upload(QStringLiteral("%%%not base64")).error(), QStringLiteral("图片数据无效"));
        QCOMPARE(upload(encoded(picture(), "BMP")).error(), QStringLiteral("图片格式不支持，仅支持JPEG、PNG、GIF、WebP"));
        QCOMPARE(upload(QString::fromLatin1(QByteArray("hello, world").toBase64())).status, 400);
        QByteArray broken = QByteArray::fromBase64(encoded(picture(64, 64), "PNG").toLatin1());
        broken.truncate(broken.size() / 2);
        QCOMPARE(upload(QString::fromLatin1(broken.toBase64())).status, 400);
        const RestReply huge = upload(encoded(picture(1100, 1000), "PNG"));
        QCOMPARE(huge.status, 413);
        QCOMPARE(huge.error(), QStringLiteral("图片尺寸过大"));
        const RestReply heavy = upload(QString::fromLatin1(QByteArray(600 * 1024, 'x').toBase64()));
        QCOMPARE(heavy.status, 413);
        QCOMPARE(heavy.error(), QStringLiteral("图片太大"));
        QCOMPARE(upload(encoded(picture(), "PNG")).status, 200);
        QCOMPARE(rest.post(QStringLiteral("/api/upload-msg-image"), {{QStringLiteral("data"), encoded(picture(), "PNG")}}).status, 401);
        QCOMPARE(rest.get(QStringLiteral("/uploads/0000.png")).status, 404);
    }

    void oversizedBodiesAreRefusedWithoutHarm()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        const QString padding(1'070'000, u'a'); // just over the 1 MB body limit, under the connection cap
        const RestReply tooBig = rest.post(QStringLiteral("/api/avatar"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), padding}});
        QCOMPARE(tooBig.status, 413);
        QCOMPARE(tooBig.error(), QStringLiteral("请求内容太大"));
        const RestReply account = rest.post(QStringLiteral("/api/login"), {{QStringLiteral("username"), QString(20000, u'a')}});
        QCOMPARE(account.status, 413);
        // Far past the cap the connection is answered 413 and closed before the body is buffered.
        const RestReply flood = rest.postRaw(QStringLiteral("/api/avatar"), QByteArray(4 * 1024 * 1024, 'x'));
        QVERIFY2(flood.status == 413 || !flood.transportError.isEmpty(), qPrintable(QString::number(flood.status)));
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), alice.token}}).status, 200);
    }

    void avatarsAndGroupAvatars()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        RestProbe rest(server.baseUrl());
        const RestReply avatar = rest.post(QStringLiteral("/api/avatar"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("data"), encoded(picture(), "PNG")}});
        QCOMPARE(avatar.status, 200);
        const QString path = avatar.json.value(QStringLiteral("avatar")).toString();
        QVERIFY(path.startsWith(QStringLiteral("/uploads/")));
        QCOMPARE(b->waitFor(QStringLiteral("friend-update")).value(QStringLiteral("friends")).toArray().first().toObject()
                     .value(QStringLiteral("avatar")).toString(), path);

        a->send({{QStringLiteral("type"), QStringLiteral("create-group")}, {QStringLiteral("name"), QStringLiteral("g")},
                 {QStringLiteral("members"), QJsonArray{bob.id}}});
        const QString gid = a->waitFor(QStringLiteral("group-created")).value(QStringLiteral("group")).toObject().value(QStringLiteral("id")).toString();
        const auto setGroupAvatar = [&](const QString &token, const QString &group) {
            return rest.post(QStringLiteral("/api/group-avatar"), {{QStringLiteral("token"), token}, {QStringLiteral("gid"), group},
                                                                   {QStringLiteral("data"), encoded(picture(), "JPEG")}});
        };
        const RestReply notOwner = setGroupAvatar(bob.token, gid);
        QCOMPARE(notOwner.status, 403);
        QCOMPARE(notOwner.error(), QStringLiteral("只有群主可以修改群头像"));
        QCOMPARE(setGroupAvatar(alice.token, QStringLiteral("gnope")).status, 404);
        const RestReply set = setGroupAvatar(alice.token, gid);
        QCOMPARE(set.status, 200);
        const QJsonObject updated = b->waitFor(QStringLiteral("group-avatar-updated"));
        QCOMPARE(updated.value(QStringLiteral("gid")).toString(), gid);
        QCOMPARE(updated.value(QStringLiteral("avatar")).toString(), set.json.value(QStringLiteral("avatar")).toString());
    }

    void momentPosts()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe rest(server.baseUrl());
        const auto post = [&](const QString &text, const QJsonArray &images) {
            return rest.post(QStringLiteral("/api/moment-post"), {{QStringLiteral("token"), alice.token}, {QStringLiteral("text"), text},
                                                                  {QStringLiteral("images"), images}});
        };
        const RestReply posted = post(QStringLiteral("第一条"), {});
        QCOMPARE(posted.status, 200);
        const QJsonObject moment = posted.json.value(QStringLiteral("moment")).toObject();
        QCOMPARE(moment.value(QStringLiteral("text")).toString(), QStringLiteral("第一条"));
        QCOMPARE(moment.value(QStringLiteral("author")).toString(), alice.id);
        QCOMPARE(moment.value(QStringLiteral("authorName")).toString(), QStringLiteral("alice"));
        QCOMPARE(post(QStringLiteral("  "), {}).error(), QStringLiteral("动态内容不能为空"));
        QJsonArray ten;
        for (int i = 0; i < 10; ++i)
            ten.append(encoded(picture(), "PNG"));
        QCOMPARE(post(QStringLiteral("x"), ten).error(), QStringLiteral("最多只能上传9张图片"));
        QCOMPARE(post(QStringLiteral("x"), {QStringLiteral("bm90IGFuIGltYWdl")}).status, 400);
    }

    void groupSearchUsesTheSessionCookie()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        auto a = server.connect(alice);
        for (const QString &name : {QStringLiteral("读书会"), QStringLiteral("100%_fun")}) {
            a->send({{QStringLiteral("type"), QStringLiteral("create-group")}, {QStringLiteral("name"), name}, {QStringLiteral("members"), QJsonArray()}});
            a->waitFor(QStringLiteral("group-created"));
        }
        RestProbe anonymous(server.baseUrl());
        const RestReply refused = anonymous.get(QStringLiteral("/api/search-groups?keyword=%E8%AF%BB"));
        QCOMPARE(refused.status, 200);
        QCOMPARE(refused.json.value(QStringLiteral("ok")).toBool(true), false);
        QCOMPARE(refused.error(), QStringLiteral("请先登录"));

        RestProbe rest(server.baseUrl());
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials(QStringLiteral("alice"), QStringLiteral("pass1234"))).status, 200);
        const QJsonArray found = rest.get(QStringLiteral("/api/search-groups?keyword=%E8%AF%BB")).json.value(QStringLiteral("groups")).toArray();
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().toObject().value(QStringLiteral("name")).toString(), QStringLiteral("读书会"));
        QCOMPARE(found.first().toObject().value(QStringLiteral("ownerName")).toString(), QStringLiteral("alice"));
        QCOMPARE(found.first().toObject().value(QStringLiteral("memberCount")).toInt(), 1);
        // "%" and "_" are matched literally.
        QCOMPARE(rest.get(QStringLiteral("/api/search-groups?keyword=%25_")).json.value(QStringLiteral("groups")).toArray().size(), 1);
        QCOMPARE(rest.get(QStringLiteral("/api/search-groups?keyword=_%25")).json.value(QStringLiteral("groups")).toArray().size(), 0);
        const RestReply empty = rest.get(QStringLiteral("/api/search-groups?keyword="));
        QCOMPARE(empty.json, (QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("groups"), QJsonArray()}}));
    }

    void updateFilesAreServedFromTheirFolder()
    {
        ServerFixture server;
        QDir(server.dataDir()).mkpath(QStringLiteral("updates"));
        QFile version(QDir(server.dataDir()).filePath(QStringLiteral("updates/version.json")));
        QVERIFY(version.open(QIODevice::WriteOnly));
        version.write(R"({"version":"1.3.0"})");
        version.close();
        RestProbe rest(server.baseUrl());
        const RestReply served = rest.get(QStringLiteral("/downloads/zephlin/version.json"));
        QCOMPARE(served.status, 200);
        QCOMPARE(served.header("Content-Type"), QByteArrayLiteral("application/json"));
        QCOMPARE(served.json.value(QStringLiteral("version")).toString(), QStringLiteral("1.3.0"));
        QCOMPARE(rest.get(QStringLiteral("/downloads/zephlin/Zephlin-1.3.0.ipa")).status, 404);
        QCOMPARE(rest.get(QStringLiteral("/downloads/zephlin/..%2Fzephlin.db")).status, 404);
    }
};

QTEST_GUILESS_MAIN(RestEndpointsTest)
#include "RestEndpointsTest.moc"
