// Friends, groups, moments and site administration over the WebSocket: who gets which event, and
// which requests are refused.
#include "ServerFixture.h"

#include "RestProbe.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QtTest>

namespace {
QStringList idsOf(const QJsonArray &users)
{
    QStringList ids;
    for (const QJsonValue &user : users)
        ids << user.toObject().value(QStringLiteral("id")).toString();
    return ids;
}

QStringList membersOf(const QJsonObject &event)
{
    QStringList ids;
    for (const QJsonValue &id : event.value(QStringLiteral("group")).toObject().value(QStringLiteral("members")).toArray())
        ids << id.toString();
    return ids;
}
} // namespace

class SocialCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void friendRequestsAreSentAnsweredAndWithdrawn()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        auto a = server.connect(alice);
        auto b = server.connect(bob);

        const auto requestSent = [&](const QString &name) {
            a->send(frame(QStringLiteral("friend-request"), {{QStringLiteral("username"), name}}));
            return a->waitFor(QStringLiteral("request-sent"));
        };
        QCOMPARE(errorOf(requestSent(QStringLiteral("nobody"))), QStringLiteral("用户不存在"));
        QCOMPARE(errorOf(requestSent(QStringLiteral("alice"))), QStringLiteral("不能添加自己为好友"));
        const QJsonObject sent = requestSent(QStringLiteral("BOB")); // names match regardless of case
        QCOMPARE(sent.value(QStringLiteral("ok")).toBool(), true);
        const QJsonObject request = b->waitFor(QStringLiteral("friend-request")).value(QStringLiteral("request")).toObject();
        QCOMPARE(request.value(QStringLiteral("from")).toString(), alice.id);
        QCOMPARE(request.value(QStringLiteral("fromName")).toString(), QStringLiteral("alice"));
        QVERIFY(requestSent(QStringLiteral("bob")).value(QStringLiteral("ok")).toBool());
        QVERIFY(b->quietFor(QStringLiteral("friend-request"))); // asked again: told once

        a->send(frame(QStringLiteral("request-respond"), {{QStringLiteral("requestId"), request.value(QStringLiteral("id"))},
                                                          {QStringLiteral("action"), QStringLiteral("accept")}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("好友请求不存在或已处理"));
        b->send(frame(QStringLiteral("request-respond"), {{QStringLiteral("requestId"), request.value(QStringLiteral("id"))},
                                                          {QStringLiteral("action"), QStringLiteral("accept")}}));
        const QJsonObject answered = b->waitFor(QStringLiteral("request-respond"));
        QCOMPARE(answered.value(QStringLiteral("action")).toString(), QStringLiteral("accept"));
        QCOMPARE(answered.value(QStringLiteral("fromName")).toString(), QStringLiteral("alice"));
        QCOMPARE(idsOf(a->waitFor(QStringLiteral("friend-update")).value(QStringLiteral("friends")).toArray()), QStringList{bob.id});
        QCOMPARE(idsOf(b->waitFor(QStringLiteral("friend-update")).value(QStringLiteral("friends")).toArray()), QStringList{alice.id});
        QCOMPARE(a->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("bob 已通过你的好友请求"));
        QCOMPARE(errorOf(requestSent(QStringLiteral("bob"))), QStringLiteral("你们已经是好友了"));

        b->send(frame(QStringLiteral("unfriend"), {{QStringLiteral("userId"), alice.id}}));
        QVERIFY(idsOf(a->waitFor(QStringLiteral("friend-update")).value(QStringLiteral("friends")).toArray()).isEmpty());
        QVERIFY(idsOf(b->waitFor(QStringLiteral("friend-update")).value(QStringLiteral("friends")).toArray()).isEmpty());
        b->send(frame(QStringLiteral("unfriend"), {{QStringLiteral("userId"), alice.id}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("对方不是你的好友"));
    }

    void groupsAreCreatedJoinedAndManagedByTheirOwner()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        const auto carol = server.signUp(QStringLiteral("carol"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        auto c = server.connect(carol);

        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("g")},
                                                       {QStringLiteral("members"), QJsonArray{carol.id}}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("只能邀请好友入群"));
        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("   ")}, {QStringLiteral("members"), QJsonArray()}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("群名称需为1-30个字符"));
        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("徒步")},
                                                       {QStringLiteral("members"), QJsonArray{bob.id}}}));
        const QJsonObject created = a->waitFor(QStringLiteral("group-created"));
        const QString gid = created.value(QStringLiteral("group")).toObject().value(QStringLiteral("id")).toString();
        QCOMPARE(membersOf(created), (QStringList{alice.id, bob.id}));
        // Only the creator is told "group-created"; the invited friend joins like an accepted applicant.
        QVERIFY(b->quietFor(QStringLiteral("group-created")));
        QCOMPARE(b->waitFor(QStringLiteral("group-apply-accepted")).value(QStringLiteral("gid")).toString(), gid);

        c->send(frame(QStringLiteral("group-apply"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(c->waitFor(QStringLiteral("group-apply-sent")).value(QStringLiteral("gid")).toString(), gid);
        const QJsonObject apply = a->waitFor(QStringLiteral("group-apply-request")).value(QStringLiteral("apply")).toObject();
        QCOMPARE(apply.value(QStringLiteral("from")).toString(), carol.id);
        QCOMPARE(apply.value(QStringLiteral("groupName")).toString(), QStringLiteral("徒步"));
        b->send(frame(QStringLiteral("group-apply-respond"), {{QStringLiteral("applyId"), apply.value(QStringLiteral("id"))},
                                                              {QStringLiteral("action"), QStringLiteral("accept")}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("只有群主可以执行此操作"));
        a->send(frame(QStringLiteral("group-apply-respond"), {{QStringLiteral("applyId"), apply.value(QStringLiteral("id"))},
                                                              {QStringLiteral("action"), QStringLiteral("accept")}}));
        QCOMPARE(membersOf(c->waitFor(QStringLiteral("group-apply-accepted"))), (QStringList{alice.id, bob.id, carol.id}));
        const QJsonObject grown = b->waitFor(QStringLiteral("group-member-removed"));
        QCOMPARE(grown.value(QStringLiteral("userId")).toString(), QString());
        QCOMPARE(membersOf(grown).size(), 3);
        QCOMPARE(membersOf(a->waitFor(QStringLiteral("group-member-removed"))).size(), 3);

        b->send(frame(QStringLiteral("group-apply"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("你已经是该群成员了"));
        a->send(frame(QStringLiteral("group-rename"), {{QStringLiteral("gid"), gid}, {QStringLiteral("name"), QString(31, u'x')}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("群名称需为1-30个字符"));
        a->send(frame(QStringLiteral("group-add-members"), {{QStringLiteral("gid"), gid}, {QStringLiteral("members"), QJsonArray{bob.id}}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("所选好友已在群中"));
        b->send(frame(QStringLiteral("group-rename"), {{QStringLiteral("gid"), gid}, {QStringLiteral("name"), QStringLiteral("x")}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("只有群主可以执行此操作"));
        a->send(frame(QStringLiteral("group-rename"), {{QStringLiteral("gid"), gid}, {QStringLiteral("name"), QStringLiteral("登山")}}));
        for (WsProbe *member : {a.get(), b.get(), c.get()})
            QCOMPARE(member->waitFor(QStringLiteral("group-renamed")).value(QStringLiteral("group")).toObject()
                         .value(QStringLiteral("name")).toString(), QStringLiteral("登山"));

        a->send(frame(QStringLiteral("group-remove-member"), {{QStringLiteral("gid"), gid}, {QStringLiteral("userId"), carol.id}}));
        QCOMPARE(c->waitFor(QStringLiteral("group-removed")).value(QStringLiteral("error")).toString(), QStringLiteral("你已被移出群聊「登山」"));
        const QJsonObject shrunk = b->waitFor(QStringLiteral("group-member-removed"));
        QCOMPARE(shrunk.value(QStringLiteral("userId")).toString(), carol.id);
        QCOMPARE(membersOf(shrunk), (QStringList{alice.id, bob.id}));
        QCOMPARE(membersOf(a->waitFor(QStringLiteral("group-member-removed"))), (QStringList{alice.id, bob.id}));

        a->send(frame(QStringLiteral("group-leave"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("群主不能退出群聊，可以解散群聊"));
        b->send(frame(QStringLiteral("group-leave"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(b->waitFor(QStringLiteral("group-removed")).value(QStringLiteral("gid")).toString(), gid);
        QCOMPARE(membersOf(a->waitFor(QStringLiteral("group-member-removed"))), QStringList{alice.id});

        a->send(frame(QStringLiteral("group-add-members"), {{QStringLiteral("gid"), gid}, {QStringLiteral("members"), QJsonArray{bob.id}}}));
        QCOMPARE(b->waitFor(QStringLiteral("group-apply-accepted")).value(QStringLiteral("gid")).toString(), gid);
        QCOMPARE(membersOf(a->waitFor(QStringLiteral("group-member-removed"))), (QStringList{alice.id, bob.id}));

        b->send(frame(QStringLiteral("group-dissolve"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("只有群主可以执行此操作"));
        a->send(frame(QStringLiteral("group-dissolve"), {{QStringLiteral("gid"), gid}}));
        QCOMPARE(b->waitFor(QStringLiteral("group-removed")).value(QStringLiteral("error")).toString(), QStringLiteral("群聊「登山」已解散"));
        QVERIFY(!a->waitFor(QStringLiteral("group-removed")).isEmpty());
        WsProbe check(server.wsUrl());
        QVERIFY(check.open());
        QVERIFY(check.signIn(alice.token).value(QStringLiteral("groups")).toArray().isEmpty());
    }

    void deniedApplicantsAreTold()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto carol = server.signUp(QStringLiteral("carol"));
        auto a = server.connect(alice);
        auto c = server.connect(carol);
        a->send(frame(QStringLiteral("create-group"), {{QStringLiteral("name"), QStringLiteral("g")}, {QStringLiteral("members"), QJsonArray()}}));
        const QString gid = a->waitFor(QStringLiteral("group-created")).value(QStringLiteral("group")).toObject()
                                .value(QStringLiteral("id")).toString();
        c->send(frame(QStringLiteral("group-apply"), {{QStringLiteral("gid"), gid}}));
        const QString applyId = a->waitFor(QStringLiteral("group-apply-request")).value(QStringLiteral("apply")).toObject()
                                    .value(QStringLiteral("id")).toString();
        a->send(frame(QStringLiteral("group-apply-respond"), {{QStringLiteral("applyId"), applyId}, {QStringLiteral("action"), QStringLiteral("deny")}}));
        QCOMPARE(c->waitFor(QStringLiteral("group-apply-rejected")).value(QStringLiteral("gid")).toString(), gid);
        a->send(frame(QStringLiteral("group-apply-respond"), {{QStringLiteral("applyId"), applyId}, {QStringLiteral("action"), QStringLiteral("accept")}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("入群申请不存在或已处理"));
    }

    void momentsGoOutAsTheWholeFeed()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        const auto bob = server.signUp(QStringLiteral("bob"));
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        RestProbe rest(server.baseUrl());
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const RestReply posted = rest.post(QStringLiteral("/api/moment-post"),
                                           {{QStringLiteral("token"), alice.token}, {QStringLiteral("text"), QStringLiteral("hello")},
                                            {QStringLiteral("images"), QJsonArray{QString::fromLatin1(png.toBase64())}}});
        QCOMPARE(posted.status, 200);
        const QString mid = posted.json.value(QStringLiteral("moment")).toObject().value(QStringLiteral("id")).toString();
        const QJsonArray feed = b->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray();
        QCOMPARE(feed.size(), 1);
        QCOMPARE(feed.first().toObject().value(QStringLiteral("images")).toArray().size(), 1);
        a->waitFor(QStringLiteral("moments"));

        b->send(frame(QStringLiteral("moment-like"), {{QStringLiteral("mid"), mid}}));
        QCOMPARE(a->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray().first().toObject()
                     .value(QStringLiteral("likes")).toArray(), QJsonArray{bob.id});
        b->waitFor(QStringLiteral("moments"));
        b->send(frame(QStringLiteral("moment-comment"), {{QStringLiteral("mid"), mid}, {QStringLiteral("text"), QStringLiteral("nice")}}));
        const QJsonObject comment = a->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray().first().toObject()
                                        .value(QStringLiteral("comments")).toArray().first().toObject();
        QCOMPARE(comment.value(QStringLiteral("author")).toString(), bob.id);
        QCOMPARE(comment.value(QStringLiteral("authorName")).toString(), QStringLiteral("bob"));
        b->waitFor(QStringLiteral("moments"));
        const QString cid = bob.id + QStringLiteral("nice") + QString::number(qint64(comment.value(QStringLiteral("time")).toDouble()));

        const auto carol = server.signUp(QStringLiteral("carol"));
        server.befriend(alice, carol);
        auto c = server.connect(carol);
        c->send(frame(QStringLiteral("moment-comment-delete"), {{QStringLiteral("mid"), mid}, {QStringLiteral("cid"), cid}}));
        QCOMPARE(errorOf(c->waitFor(QStringLiteral("error"))), QStringLiteral("只能删除自己的评论"));
        c->send(frame(QStringLiteral("moment-delete"), {{QStringLiteral("mid"), mid}}));
        QCOMPARE(errorOf(c->waitFor(QStringLiteral("error"))), QStringLiteral("只能删除自己的动态"));
        a->send(frame(QStringLiteral("moment-comment-delete"), {{QStringLiteral("mid"), mid}, {QStringLiteral("cid"), cid}}));
        QVERIFY(b->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray().first().toObject()
                    .value(QStringLiteral("comments")).toArray().isEmpty());
        a->waitFor(QStringLiteral("moments"));
        a->send(frame(QStringLiteral("moment-delete"), {{QStringLiteral("mid"), mid}}));
        QVERIFY(b->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray().isEmpty());
        a->send(frame(QStringLiteral("moment-like"), {{QStringLiteral("mid"), mid}}));
        QCOMPARE(errorOf(a->waitFor(QStringLiteral("error"))), QStringLiteral("动态不存在或已删除"));
    }

    void feedChangesCloseTogetherShareOneBroadcast()
    {
        Limits limits = ServerFixture::testLimits();
        limits.feedDelayMs = 500;
        ServerFixture server(limits);
        const auto alice = server.signUp(QStringLiteral("alice"));
        auto a = server.connect(alice);
        RestProbe rest(server.baseUrl());
        const RestReply posted = rest.post(QStringLiteral("/api/moment-post"), {{QStringLiteral("token"), alice.token},
                                                                               {QStringLiteral("text"), QStringLiteral("hi")},
                                                                               {QStringLiteral("images"), QJsonArray()}});
        const QString mid = posted.json.value(QStringLiteral("moment")).toObject().value(QStringLiteral("id")).toString();
        QVERIFY(!a->waitFor(QStringLiteral("moments")).isEmpty());
        for (const QString &text : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")})
            a->send(frame(QStringLiteral("moment-comment"), {{QStringLiteral("mid"), mid}, {QStringLiteral("text"), text}}));
        const QJsonArray feed = a->waitFor(QStringLiteral("moments")).value(QStringLiteral("moments")).toArray();
        QCOMPARE(feed.first().toObject().value(QStringLiteral("comments")).toArray().size(), 3);
        QVERIFY(a->quietFor(QStringLiteral("moments"), 700));
    }

    void administratorsRunTheHall()
    {
        ServerFixture server;
        const auto root = server.signUp(QStringLiteral("root"), true);
        const auto bob = server.signUp(QStringLiteral("bob"));
        auto admin = server.connect(root);
        auto b = server.connect(bob);

        for (const QString &type : {QStringLiteral("clear-hall"), QStringLiteral("ban-user"), QStringLiteral("announce")}) {
            b->send(frame(type, {{QStringLiteral("username"), QStringLiteral("root")}}));
            QCOMPARE(errorOf(b->waitFor(QStringLiteral("error"))), QStringLiteral("需要管理员权限"));
        }
        admin->send(frame(QStringLiteral("set-max-online"), {{QStringLiteral("value"), QStringLiteral("50")}}));
        QCOMPARE(errorOf(admin->waitFor(QStringLiteral("error"))), QStringLiteral("在线人数上限需为0-100000的整数（0为不限）"));
        admin->send(frame(QStringLiteral("set-max-online"), {{QStringLiteral("value"), 50}}));
        QCOMPARE(b->waitFor(QStringLiteral("max-online")).value(QStringLiteral("maxOnline")).toInt(), 50);
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("在线人数上限已设为 50"));
        admin->send(frame(QStringLiteral("rename-hall"), {{QStringLiteral("name"), QStringLiteral("茶馆")}}));
        QCOMPARE(b->waitFor(QStringLiteral("hall-renamed")).value(QStringLiteral("hallName")).toString(), QStringLiteral("茶馆"));
        admin->send(frame(QStringLiteral("announce"), {{QStringLiteral("content"), QStringLiteral("明天维护")}}));
        QCOMPARE(b->waitFor(QStringLiteral("announcement-update")).value(QStringLiteral("announcement")).toString(), QStringLiteral("明天维护"));
        b->send(frame(QStringLiteral("global"), {{QStringLiteral("content"), QStringLiteral("hi")}}));
        b->waitFor(QStringLiteral("global"));
        admin->send(frame(QStringLiteral("clear-hall")));
        QVERIFY(!b->waitFor(QStringLiteral("hall-cleared")).isEmpty());

        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("root")}}));
        QCOMPARE(errorOf(admin->waitFor(QStringLiteral("error"))), QStringLiteral("不能封禁自己"));
        admin->send(frame(QStringLiteral("ban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(errorOf(b->waitFor(QStringLiteral("banned"))), QStringLiteral("账号已被封禁"));
        QVERIFY(b->waitClosed());
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("已封禁用户 bob"));

        WsProbe again(server.wsUrl());
        QVERIFY(again.open());
        const QJsonObject hello = again.signIn(root.token);
        QCOMPARE(hello.value(QStringLiteral("hallName")).toString(), QStringLiteral("茶馆"));
        QCOMPARE(hello.value(QStringLiteral("maxOnline")).toInt(), 50);
        QCOMPARE(hello.value(QStringLiteral("isAdmin")).toBool(), true);
        QVERIFY(hello.value(QStringLiteral("globalMsgs")).toArray().isEmpty());

        RestProbe rest(server.baseUrl());
        const QJsonObject credentials{{QStringLiteral("username"), QStringLiteral("bob")}, {QStringLiteral("password"), QStringLiteral("pass1234")}};
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), bob.token}}).status, 401);
        const RestReply refused = rest.post(QStringLiteral("/api/login"), credentials);
        QCOMPARE(refused.status, 403);
        QCOMPARE(refused.error(), QStringLiteral("账号已被封禁"));
        admin->send(frame(QStringLiteral("unban-user"), {{QStringLiteral("username"), QStringLiteral("bob")}}));
        QCOMPARE(admin->waitFor(QStringLiteral("system")).value(QStringLiteral("content")).toString(), QStringLiteral("已解除封禁"));
        QCOMPARE(rest.post(QStringLiteral("/api/me"), {{QStringLiteral("token"), bob.token}}).status, 401); // the ban ended it for good
        QCOMPARE(rest.post(QStringLiteral("/api/login"), credentials).status, 200);
    }

    void changingThePasswordKicksTheOtherSessions()
    {
        ServerFixture server;
        const auto alice = server.signUp(QStringLiteral("alice"));
        RestProbe otherDevice(server.baseUrl());
        const QString otherToken = otherDevice.post(QStringLiteral("/api/login"), {{QStringLiteral("username"), QStringLiteral("alice")},
                                                                                   {QStringLiteral("password"), QStringLiteral("pass1234")}})
                                       .json.value(QStringLiteral("token")).toString();
        auto here = server.connect(alice);
        auto there = server.connect({alice.id, alice.name, otherToken});
        RestProbe rest(server.baseUrl());
        const RestReply changed = rest.post(QStringLiteral("/api/change-password"),
                                            {{QStringLiteral("token"), alice.token}, {QStringLiteral("oldPassword"), QStringLiteral("pass1234")},
                                             {QStringLiteral("newPassword"), QStringLiteral("newpass")}, {QStringLiteral("newPassword2"), QStringLiteral("newpass")}});
        QCOMPARE(changed.status, 200);
        QCOMPARE(errorOf(there->waitFor(QStringLiteral("kicked"))), QStringLiteral("密码已修改，请重新登录"));
        QVERIFY(there->waitClosed());
        QVERIFY(here->quietFor(QStringLiteral("kicked")));
        QVERIFY(here->isOpen());
    }
};

QTEST_GUILESS_MAIN(SocialCommandsTest)
#include "SocialCommandsTest.moc"
