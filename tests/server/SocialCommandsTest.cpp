// Friends, groups, moments and site administration over the WebSocket: who gets which event, and
// which requests are refused.
#include "ServerFixture.h"

#include <QJsonArray>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// The ids in a list of users, or of user ids.
QStringList idsOf(const QJsonArray &users)
{
    QStringList ids;
    for (const QJsonValue &user : users)
        ids << (user.isObject() ? user.toObject().value(u"id"_s) : user).toString();
    return ids;
}

QStringList membersOf(const QJsonObject &event)
{
    return idsOf(event.value(u"group"_s).toObject().value(u"members"_s).toArray());
}

// The first post of a "moments" event.
QJsonObject firstMoment(const QJsonObject &event)
{
    return event.value(u"moments"_s).toArray().first().toObject();
}
} // namespace

class SocialCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void friendRequestsAreSentAnsweredAndWithdrawn()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        auto a = server.connect(alice);
        auto b = server.connect(bob);

        const auto requestSent = [&](const QString &name) {
            return a->ask(frame(u"friend-request"_s, {{u"username"_s, name}}), u"request-sent"_s);
        };
        QCOMPARE(errorOf(requestSent(u"nobody"_s)), u"用户不存在"_s);
        QCOMPARE(errorOf(requestSent(u"alice"_s)), u"不能添加自己为好友"_s);
        QCOMPARE(requestSent(u"BOB"_s).value(u"ok"_s).toBool(), true); // names match regardless of case
        const QJsonObject request = b->waitFor(u"friend-request"_s).value(u"request"_s).toObject();
        QCOMPARE(request.value(u"from"_s).toString(), alice.id);
        QCOMPARE(request.value(u"fromName"_s).toString(), u"alice"_s);
        QVERIFY(requestSent(u"bob"_s).value(u"ok"_s).toBool());
        QVERIFY(b->quietFor(u"friend-request"_s)); // asked again: told once

        const QJsonObject accept = frame(u"request-respond"_s, {{u"requestId"_s, request.value(u"id"_s)}, {u"action"_s, u"accept"_s}});
        QCOMPARE(a->refused(accept), u"好友请求不存在或已处理"_s);
        QCOMPARE(b->ask(accept, u"request-respond"_s).value(u"fromName"_s).toString(), u"alice"_s);
        QCOMPARE(idsOf(a->waitFor(u"friend-update"_s).value(u"friends"_s).toArray()), QStringList{bob.id});
        QCOMPARE(idsOf(b->waitFor(u"friend-update"_s).value(u"friends"_s).toArray()), QStringList{alice.id});
        QCOMPARE(a->waitFor(u"system"_s).value(u"content"_s).toString(), u"bob 已通过你的好友请求"_s);
        QCOMPARE(errorOf(requestSent(u"bob"_s)), u"你们已经是好友了"_s);

        // Both losing each other on an unfriending is the contacts end-to-end test's (its chat screen case).
        const QJsonObject unfriend = frame(u"unfriend"_s, {{u"userId"_s, alice.id}});
        b->send(unfriend);
        QCOMPARE(b->refused(unfriend), u"对方不是你的好友"_s);
    }

    void groupsAreCreatedJoinedAndManagedByTheirOwner()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        const auto carol = server.signUp(u"carol"_s);
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        auto c = server.connect(carol);
        const auto command = [](const QString &type, const QString &gid, std::initializer_list<QPair<QString, QJsonValue>> members = {}) {
            QJsonObject made = frame(type, members);
            made.insert(u"gid"_s, gid);
            return made;
        };

        QCOMPARE(a->refused(frame(u"create-group"_s, {{u"name"_s, u"g"_s}, {u"members"_s, QJsonArray{carol.id}}})), u"只能邀请好友入群"_s);
        QCOMPARE(a->refused(frame(u"create-group"_s, {{u"name"_s, u"   "_s}, {u"members"_s, QJsonArray()}})), u"群名称需为1-30个字符"_s);
        const QJsonObject created = a->ask(frame(u"create-group"_s, {{u"name"_s, u"徒步"_s}, {u"members"_s, QJsonArray{bob.id}}}),
                                           u"group-created"_s);
        const QString gid = created.value(u"group"_s).toObject().value(u"id"_s).toString();
        QCOMPARE(membersOf(created), (QStringList{alice.id, bob.id}));
        // Only the creator is told "group-created"; the invited friend joins like an accepted applicant.
        QVERIFY(b->quietFor(u"group-created"_s));
        QCOMPARE(b->waitFor(u"group-apply-accepted"_s).value(u"gid"_s).toString(), gid);

        // Carol applies: denied, told so, and the answer cannot be changed; her second application is accepted.
        QCOMPARE(c->ask(command(u"group-apply"_s, gid), u"group-apply-sent"_s).value(u"gid"_s).toString(), gid);
        const QJsonObject denied = a->waitFor(u"group-apply-request"_s).value(u"apply"_s).toObject();
        QCOMPARE(denied.value(u"from"_s).toString(), carol.id);
        QCOMPARE(denied.value(u"groupName"_s).toString(), u"徒步"_s);
        const auto respond = [](const QJsonObject &application, const QString &action) {
            return frame(u"group-apply-respond"_s, {{u"applyId"_s, application.value(u"id"_s)}, {u"action"_s, action}});
        };
        a->send(respond(denied, u"deny"_s));
        QCOMPARE(c->waitFor(u"group-apply-rejected"_s).value(u"gid"_s).toString(), gid);
        QCOMPARE(a->refused(respond(denied, u"accept"_s)), u"入群申请不存在或已处理"_s);
        c->send(command(u"group-apply"_s, gid));
        const QJsonObject application = a->waitFor(u"group-apply-request"_s).value(u"apply"_s).toObject();
        QCOMPARE(b->refused(respond(application, u"accept"_s)), u"只有群主可以执行此操作"_s);
        a->send(respond(application, u"accept"_s));
        QCOMPARE(membersOf(c->waitFor(u"group-apply-accepted"_s)), (QStringList{alice.id, bob.id, carol.id}));

        QCOMPARE(b->refused(command(u"group-apply"_s, gid)), u"你已经是该群成员了"_s);
        QCOMPARE(a->refused(command(u"group-rename"_s, gid, {{u"name"_s, QString(31, u'x')}})), u"群名称需为1-30个字符"_s);
        QCOMPARE(a->refused(command(u"group-add-members"_s, gid, {{u"members"_s, QJsonArray{bob.id}}})), u"所选好友已在群中"_s);
        QCOMPARE(b->refused(command(u"group-rename"_s, gid, {{u"name"_s, u"x"_s}})), u"只有群主可以执行此操作"_s);

        // What the remaining members are told of a joining or removed member, and of a new name, is the
        // contacts end-to-end test's.
        a->send(command(u"group-remove-member"_s, gid, {{u"userId"_s, carol.id}}));
        QCOMPARE(c->waitFor(u"group-removed"_s).value(u"error"_s).toString(), u"你已被移出群聊「徒步」"_s);
        QJsonObject shrunk;
        do
            shrunk = a->waitFor(u"group-member-removed"_s);
        while (!shrunk.isEmpty() && shrunk.value(u"userId"_s).toString() != carol.id);
        QCOMPARE(membersOf(shrunk), (QStringList{alice.id, bob.id}));

        QCOMPARE(a->refused(command(u"group-leave"_s, gid)), u"群主不能退出群聊，可以解散群聊"_s);
        QCOMPARE(b->ask(command(u"group-leave"_s, gid), u"group-removed"_s).value(u"gid"_s).toString(), gid);
        QCOMPARE(membersOf(a->waitFor(u"group-member-removed"_s)), QStringList{alice.id});

        // Adding members and dissolving with members inside are the contacts end-to-end test's.
        a->send(command(u"group-dissolve"_s, gid));
        QVERIFY(!a->waitFor(u"group-removed"_s).isEmpty());
        WsProbe check(server.wsUrl());
        QVERIFY(check.open());
        QVERIFY(check.signIn(alice.token).value(u"groups"_s).toArray().isEmpty());
    }

    void momentsArePostedAndGoOutAsTheWholeFeed()
    {
        ServerFixture server;
        const auto alice = server.signUp(u"alice"_s);
        const auto bob = server.signUp(u"bob"_s);
        server.befriend(alice, bob);
        auto a = server.connect(alice);
        auto b = server.connect(bob);
        RestProbe rest(server.baseUrl());
        const QString gif = u"R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7"_s;
        const auto post = [&](const QString &text, const QJsonArray &images) {
            return rest.post(u"/api/moment-post"_s, {{u"token"_s, alice.token}, {u"text"_s, text}, {u"images"_s, images}});
        };
        QCOMPARE(post(u"  "_s, {}).error(), u"动态内容不能为空"_s);
        QCOMPARE(post(u"x"_s, QJsonArray::fromStringList(QStringList(10, gif))).error(), u"最多只能上传9张图片"_s);
        QCOMPARE(post(u"x"_s, {u"bm90IGFuIGltYWdl"_s}).status, 400);
        // Posting, liking, commenting and deleting reaching the friend are the contacts end-to-end test's.
        const RestReply posted = post(u"第一条"_s, {gif});
        QCOMPARE(posted.status, 200);
        const QJsonObject moment = posted.json.value(u"moment"_s).toObject();
        QCOMPARE(moment.value(u"author"_s).toString(), alice.id);
        QCOMPARE(moment.value(u"authorName"_s).toString(), u"alice"_s);
        const QString mid = moment.value(u"id"_s).toString();
        QVERIFY(!a->waitFor(u"moments"_s).isEmpty() && !b->waitFor(u"moments"_s).isEmpty());
        b->send(frame(u"moment-comment"_s, {{u"mid"_s, mid}, {u"text"_s, u"nice"_s}}));
        const QJsonObject comment = firstMoment(a->waitFor(u"moments"_s)).value(u"comments"_s).toArray().first().toObject();
        QCOMPARE(comment.value(u"authorName"_s).toString(), u"bob"_s);
        const QString cid = bob.id + u"nice"_s + QString::number(qint64(comment.value(u"time"_s).toDouble()));

        const auto carol = server.signUp(u"carol"_s);
        server.befriend(alice, carol);
        auto c = server.connect(carol);
        const QJsonObject deleteComment = frame(u"moment-comment-delete"_s, {{u"mid"_s, mid}, {u"cid"_s, cid}});
        QCOMPARE(c->refused(deleteComment), u"只能删除自己的评论"_s);
        QCOMPARE(c->refused(frame(u"moment-delete"_s, {{u"mid"_s, mid}})), u"只能删除自己的动态"_s);
        a->send(frame(u"moment-delete"_s, {{u"mid"_s, mid}}));
        QVERIFY(a->waitFor(u"moments"_s).value(u"moments"_s).toArray().isEmpty());
        QCOMPARE(a->refused(frame(u"moment-like"_s, {{u"mid"_s, mid}})), u"动态不存在或已删除"_s);
    }

    void feedChangesCloseTogetherShareOneBroadcast()
    {
        Limits limits = ServerFixture::testLimits();
        limits.feedDelayMs = 500;
        ServerFixture server(limits);
        const auto alice = server.signUp(u"alice"_s);
        auto a = server.connect(alice);
        const RestReply posted = RestProbe(server.baseUrl()).post(u"/api/moment-post"_s, {{u"token"_s, alice.token}, {u"text"_s, u"hi"_s},
                                                                                         {u"images"_s, QJsonArray()}});
        const QString mid = posted.json.value(u"moment"_s).toObject().value(u"id"_s).toString();
        QVERIFY(!a->waitFor(u"moments"_s).isEmpty());
        for (const QString &text : {u"1"_s, u"2"_s, u"3"_s})
            a->send(frame(u"moment-comment"_s, {{u"mid"_s, mid}, {u"text"_s, text}}));
        QCOMPARE(firstMoment(a->waitFor(u"moments"_s)).value(u"comments"_s).toArray().size(), 3);
        QVERIFY(a->quietFor(u"moments"_s, 700));
    }

    // Administration's refusals, and its settings kept for the next hello. Each command reaching the
    // users, the ban ending the session and the unban are the app end-to-end test's; a ban ending
    // every session for good is the hostile-traffic test's.
    void administratorsRunTheHall()
    {
        ServerFixture server;
        const auto root = server.signUp(u"root"_s, true);
        const auto bob = server.signUp(u"bob"_s);
        auto admin = server.connect(root);
        auto b = server.connect(bob);

        for (const QString &type : {u"clear-hall"_s, u"ban-user"_s, u"announce"_s})
            QCOMPARE(b->refused(frame(type, {{u"username"_s, u"root"_s}})), u"需要管理员权限"_s);
        QCOMPARE(admin->refused(frame(u"set-max-online"_s, {{u"value"_s, u"50"_s}})), u"在线人数上限需为0-100000的整数（0为不限）"_s);
        QCOMPARE(admin->refused(frame(u"ban-user"_s, {{u"username"_s, u"root"_s}})), u"不能封禁自己"_s);
        admin->send(frame(u"set-max-online"_s, {{u"value"_s, 50}}));
        admin->send(frame(u"rename-hall"_s, {{u"name"_s, u"茶馆"_s}}));
        b->ask(frame(u"global"_s, {{u"content"_s, u"hi"_s}}), u"global"_s);
        admin->send(frame(u"clear-hall"_s));
        QVERIFY(!b->waitFor(u"hall-cleared"_s).isEmpty());
        admin->send(frame(u"ban-user"_s, {{u"username"_s, u"bob"_s}}));
        QVERIFY(b->waitClosed());

        WsProbe again(server.wsUrl());
        QVERIFY(again.open());
        const QJsonObject hello = again.signIn(root.token);
        QCOMPARE(hello.value(u"hallName"_s).toString(), u"茶馆"_s);
        QCOMPARE(hello.value(u"maxOnline"_s).toInt(), 50);
        QCOMPARE(hello.value(u"isAdmin"_s).toBool(), true);
        QVERIFY(hello.value(u"globalMsgs"_s).toArray().isEmpty());
        QCOMPARE(RestProbe(server.baseUrl()).login(u"bob"_s, ServerFixture::password()).outcome(), u"403 账号已被封禁"_s);
    }
};

QTEST_GUILESS_MAIN(SocialCommandsTest)
#include "SocialCommandsTest.moc"
