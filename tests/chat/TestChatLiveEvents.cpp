// Live server events, delivered as frames: message reconciliation, duplicates, direct-room keys,
// recalls, friend and group events, toasts and the notifications of bans and kicks.
#include "ChatFixture.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QSignalSpy>
#include <QTest>

class TestChatLiveEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownEchoClearsEveryOptimisticMessageOfItsListOnly()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        // Two sends in flight in the hall and one in a group, as a restored cache would hold them.
        f.deliver(ChatFixture::hello({
            {QStringLiteral("globalMsgs"), QJsonArray{ChatFixture::stored(QStringLiteral("temp_A"), QStringLiteral("me")),
                                                     ChatFixture::stored(QStringLiteral("h1"), QStringLiteral("b")),
                                                     ChatFixture::stored(QStringLiteral("temp_B"), QStringLiteral("me"))}},
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("g"), QJsonArray{ChatFixture::stored(QStringLiteral("temp_C"), QStringLiteral("me"))}}}},
        }));
        // Someone else's message leaves the optimistic ones alone.
        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("h2"), QStringLiteral("b"), QStringLiteral("x"), 1));
        QCOMPARE(chat.globalMessages().size(), 4);

        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("s1"), QStringLiteral("me"), QStringLiteral("mine"), 2));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("h1"), QStringLiteral("h2"), QStringLiteral("s1")}));
        QVERIFY(chat.globalMessages().last().isFromMe);
        QVERIFY(!chat.globalMessages().first().isFromMe);
        QCOMPARE(ChatFixture::ids(chat.groupMessages().value(QStringLiteral("g"))), QStringList{QStringLiteral("temp_C")});
    }

    void duplicateDeliveryListedOnceButStillSaved()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        const QJsonObject frame = ChatFixture::message(QStringLiteral("global"), QStringLiteral("d"), QStringLiteral("b"), QStringLiteral("hi"), 5);
        f.deliver(frame);
        QTRY_VERIFY(!chat.cache().savePending());
        const int writes = chat.cache().writes();
        f.deliver(frame);
        QCOMPARE(chat.globalMessages().size(), 1);
        QVERIFY(chat.cache().savePending());
        QTRY_VERIFY(!chat.cache().savePending());
        // The value did not change, so nothing was sealed again; the disk holds it once.
        QCOMPARE(chat.cache().writes(), writes);
        QCOMPARE(SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"))->size(), 1);

        // A message without an id gets the computed one, and a second copy is a duplicate too.
        QJsonObject anonymous = ChatFixture::message(QStringLiteral("global"), QString(), QStringLiteral("u1"), QStringLiteral("hi"), 5);
        f.deliver(anonymous);
        f.deliver(anonymous);
        QCOMPARE(chat.globalMessages().last().id, QStringLiteral("u1_hi_5"));
        QCOMPARE(chat.globalMessages().size(), 2);
    }

    void directMessagesBothWaysShareTheRoomKey()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("m"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::message(QStringLiteral("dm"), QStringLiteral("1"), QStringLiteral("m"), QStringLiteral("to p"), 1,
                                       {{QStringLiteral("to"), QStringLiteral("p")}}));
        f.deliver(ChatFixture::message(QStringLiteral("dm"), QStringLiteral("2"), QStringLiteral("p"), QStringLiteral("from p"), 2));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("m_p"))), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(ChatFixture::ids(chat.messages(RoomType::dm(QStringLiteral("p"), QStringLiteral("P")))), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));

        // An own direct message without "to" is filed under the key formed with "".
        f.deliver(ChatFixture::message(QStringLiteral("dm"), QStringLiteral("3"), QStringLiteral("m"), QStringLiteral("lost"), 3));
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("_m"))), QStringList{QStringLiteral("3")});

        // The key puts the smaller id first, for whichever user is signed in.
        QCOMPARE(ChatViewModel::dmRoomKey(QStringLiteral("a"), QStringLiteral("b")), QStringLiteral("a_b"));
        QCOMPARE(ChatViewModel::dmRoomKey(QStringLiteral("c"), QStringLiteral("b")), QStringLiteral("b_c"));
        QCOMPARE(ChatViewModel::dmRoomKey(QStringLiteral("s"), QStringLiteral("s")), QStringLiteral("s_s"));
        ChatFixture::setMe(QStringLiteral("c"));
        QCOMPARE(ChatViewModel::storeRef(RoomType::dm(QStringLiteral("b"), QString())).key, QStringLiteral("b_c"));
        // Reading a room that never received a message creates no entry.
        QVERIFY(chat.messages(RoomType::group(QStringLiteral("none"), QString())).isEmpty());
        QVERIFY(chat.messages(RoomType::dm(QStringLiteral("z"), QString())).isEmpty());
        QVERIFY(!chat.groupMessages().contains(QStringLiteral("none")));
        QVERIFY(!chat.dmMessages().contains(QStringLiteral("c_z")));
    }

    void groupMessagesNeedAGroupIdAndHallKeepsFiveHundred()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::message(QStringLiteral("group"), QStringLiteral("g0"), QStringLiteral("b"), QStringLiteral("x"), 1));
        QVERIFY(chat.groupMessages().isEmpty());
        QVERIFY(!chat.cache().savePending());
        f.deliver(ChatFixture::message(QStringLiteral("group"), QStringLiteral("g1"), QStringLiteral("b"), QStringLiteral("x"), 1,
                                       {{QStringLiteral("gid"), QStringLiteral("G")}}));
        QCOMPARE(ChatFixture::ids(chat.groupMessages().value(QStringLiteral("G"))), QStringList{QStringLiteral("g1")});
        QVERIFY(chat.cache().savePending());

        QJsonArray hall;
        for (int i = 0; i < 500; ++i)
            hall.append(ChatFixture::stored(QStringLiteral("m%1").arg(i), QStringLiteral("b")));
        f.deliver(ChatFixture::hello({{QStringLiteral("globalMsgs"), hall}}));
        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("new"), QStringLiteral("b"), QStringLiteral("x"), 1));
        QCOMPARE(chat.globalMessages().size(), 500);
        QCOMPARE(chat.globalMessages().first().id, QStringLiteral("m1"));
        QCOMPARE(chat.globalMessages().last().id, QStringLiteral("new"));
    }

    void recallsRemoveFromTheirRoomAndNeverCreateOne()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("a"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::hello({
            {QStringLiteral("globalMsgs"), QJsonArray{ChatFixture::stored(QStringLiteral("r"), QStringLiteral("b")),
                                                     ChatFixture::stored(QStringLiteral("k"), QStringLiteral("b"))}},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("a_b"), QJsonArray{ChatFixture::stored(QStringLiteral("r"), QStringLiteral("b"))}}}},
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("g"), QJsonArray{ChatFixture::stored(QStringLiteral("r"), QStringLiteral("b"))}}}},
        }));
        QTRY_VERIFY(!chat.cache().savePending());
        const auto recall = [&](const QJsonObject &extra) {
            QJsonObject frame = extra;
            frame.insert(QStringLiteral("type"), QStringLiteral("recalled"));
            frame.insert(QStringLiteral("id"), QStringLiteral("r"));
            f.deliver(frame);
        };
        recall({{QStringLiteral("room"), QStringLiteral("dm")}, {QStringLiteral("to"), QStringLiteral("zz")}});
        recall({{QStringLiteral("room"), QStringLiteral("group")}, {QStringLiteral("gid"), QStringLiteral("nope")}});
        recall({{QStringLiteral("room"), QStringLiteral("dm")}});
        recall({{QStringLiteral("room"), QStringLiteral("moments")}});
        QVERIFY(!chat.dmMessages().contains(QStringLiteral("a_zz")));
        QVERIFY(!chat.groupMessages().contains(QStringLiteral("nope")));
        QCOMPARE(chat.dmMessages().size(), 1);
        QCOMPARE(chat.groupMessages().size(), 1);
        QCOMPARE(chat.globalMessages().size(), 2);

        recall({{QStringLiteral("room"), QStringLiteral("global")}});
        recall({{QStringLiteral("room"), QStringLiteral("dm")}, {QStringLiteral("to"), QStringLiteral("b")}});
        recall({{QStringLiteral("room"), QStringLiteral("group")}, {QStringLiteral("gid"), QStringLiteral("g")}});
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), QStringList{QStringLiteral("k")});
        QVERIFY(chat.dmMessages().value(QStringLiteral("a_b")).isEmpty());
        QVERIFY(chat.groupMessages().value(QStringLiteral("g")).isEmpty());
        // Recalls are not save points.
        QVERIFY(!chat.cache().savePending());
        QCOMPARE(SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"))->size(), 2);
    }

    void friendAndGroupEvents()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("me"));
        ChatViewModel &chat = f.make();
        const QJsonObject request{{QStringLiteral("id"), QStringLiteral("fr")}, {QStringLiteral("from"), QStringLiteral("b")}, {QStringLiteral("time"), 1}};
        f.deliver({{QStringLiteral("type"), QStringLiteral("friend-request")}, {QStringLiteral("request"), request}});
        f.deliver({{QStringLiteral("type"), QStringLiteral("friend-request")}, {QStringLiteral("request"), request}});
        QCOMPARE(chat.pendingRequests().size(), 1);
        QVERIFY(!chat.hasToast());

        f.deliver({{QStringLiteral("type"), QStringLiteral("friend-update")}, {QStringLiteral("friends"), QJsonArray{ChatFixture::user(QStringLiteral("b"))}}});
        QCOMPARE(chat.user(QStringLiteral("b"))->username, QStringLiteral("B"));
        QVERIFY(!chat.user(QStringLiteral("me")));
        QVERIFY(chat.cache().savePending());
        QTRY_VERIFY(!chat.cache().savePending());

        const QJsonObject created{{QStringLiteral("type"), QStringLiteral("group-created")},
                                  {QStringLiteral("group"), ChatFixture::group(QStringLiteral("g"), QStringLiteral("b"), QStringLiteral("茶"))}};
        f.deliver(created);
        f.deliver(created);
        QCOMPARE(chat.groups().size(), 2);
        QVERIFY(chat.groups().at(0).isOwner);
        QCOMPARE(chat.toast(), QStringLiteral("群聊「茶」已创建"));
        QVERIFY(!chat.cache().savePending());

        QJsonObject renamed = ChatFixture::group(QStringLiteral("g"), QStringLiteral("b"), QStringLiteral("新名"));
        renamed.insert(QStringLiteral("members"), QJsonArray{QStringLiteral("x"), QStringLiteral("y")});
        f.deliver({{QStringLiteral("type"), QStringLiteral("group-renamed")}, {QStringLiteral("gid"), QStringLiteral("g")}, {QStringLiteral("group"), renamed}});
        QCOMPARE(chat.groups().at(0).name, QStringLiteral("新名"));
        QCOMPARE(chat.groups().at(0).members, QStringList{QStringLiteral("b")});
        QCOMPARE(chat.groups().at(1).name, QStringLiteral("茶"));

        f.deliver({{QStringLiteral("type"), QStringLiteral("group-member-removed")}, {QStringLiteral("gid"), QStringLiteral("g")},
                   {QStringLiteral("userId"), QStringLiteral("z")}, {QStringLiteral("group"), renamed}});
        QCOMPARE(chat.groups().at(0).members, (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
        QCOMPARE(chat.groups().at(0).name, QStringLiteral("新名"));

        f.deliver({{QStringLiteral("type"), QStringLiteral("group-avatar-updated")}, {QStringLiteral("gid"), QStringLiteral("g")},
                   {QStringLiteral("avatar"), QStringLiteral("/a.png")}});
        QCOMPARE(chat.group(QStringLiteral("g"))->avatar, QStringLiteral("/a.png"));

        f.deliver(ChatFixture::message(QStringLiteral("group"), QStringLiteral("gm"), QStringLiteral("b"), QStringLiteral("x"), 1,
                                       {{QStringLiteral("gid"), QStringLiteral("g")}}));
        f.deliver({{QStringLiteral("type"), QStringLiteral("group-removed")}, {QStringLiteral("gid"), QStringLiteral("g")},
                   {QStringLiteral("error"), QStringLiteral("群已解散")}});
        QVERIFY(chat.groups().isEmpty());
        QVERIFY(!chat.groupMessages().contains(QStringLiteral("g")));
        QCOMPARE(chat.toast(), QStringLiteral("群已解散"));

        f.deliver({{QStringLiteral("type"), QStringLiteral("group-apply-accepted")}, {QStringLiteral("gid"), QStringLiteral("g2")}});
        QVERIFY(chat.groups().isEmpty());
        QCOMPARE(chat.toast(), QStringLiteral("你已成功加入群聊"));
        QVERIFY(chat.cache().savePending());
        f.deliver({{QStringLiteral("type"), QStringLiteral("group-apply-accepted")}, {QStringLiteral("gid"), QStringLiteral("g2")},
                   {QStringLiteral("group"), ChatFixture::group(QStringLiteral("g2"), QStringLiteral("me"))}});
        QCOMPARE(chat.groups().size(), 1);
        QVERIFY(!chat.groups().at(0).isOwner);

        const QJsonObject apply{{QStringLiteral("id"), QStringLiteral("ap")}, {QStringLiteral("gid"), QStringLiteral("g2")},
                                {QStringLiteral("from"), QStringLiteral("c")}, {QStringLiteral("time"), 1}};
        f.deliver({{QStringLiteral("type"), QStringLiteral("group-apply-request")}, {QStringLiteral("apply"), apply}});
        QCOMPARE(chat.toast(), QStringLiteral("收到新的入群申请"));
        chat.showToast(QStringLiteral("other"));
        f.deliver({{QStringLiteral("type"), QStringLiteral("group-apply-request")}, {QStringLiteral("apply"), apply}});
        QCOMPARE(chat.groupRequests().size(), 1);
        QCOMPARE(chat.toast(), QStringLiteral("other"));
    }

    void toastsOfTheServerEvents_data()
    {
        QTest::addColumn<QJsonObject>("frame");
        QTest::addColumn<QString>("toast");
        const auto frame = [](const char *type, const QJsonObject &members = {}) {
            QJsonObject object = members;
            object.insert(QStringLiteral("type"), QString::fromLatin1(type));
            return object;
        };
        QTest::newRow("error") << frame("error", {{QStringLiteral("error"), QStringLiteral("坏了")}}) << QStringLiteral("坏了");
        QTest::newRow("error default") << frame("error") << QStringLiteral("未知错误");
        QTest::newRow("system") << frame("system", {{QStringLiteral("content"), QStringLiteral("维护")}}) << QStringLiteral("维护");
        QTest::newRow("request sent") << frame("request-sent", {{QStringLiteral("ok"), true}}) << QStringLiteral("验证请求已发送");
        QTest::newRow("request failed") << frame("request-sent", {{QStringLiteral("error"), QStringLiteral("不存在")}}) << QStringLiteral("不存在");
        QTest::newRow("request failed silently") << frame("request-sent") << QStringLiteral("发送失败");
        QTest::newRow("apply sent") << frame("group-apply-sent", {{QStringLiteral("gid"), QStringLiteral("g")}}) << QStringLiteral("申请已发送，请等待群主审批");
        QTest::newRow("apply rejected") << frame("group-apply-rejected") << QStringLiteral("你的入群申请被拒绝了");
    }

    void toastsOfTheServerEvents()
    {
        QFETCH(QJsonObject, frame);
        QFETCH(QString, toast);
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliver(frame);
        QCOMPARE(chat.toast(), toast);
        // Timed toasts clear themselves.
        QTRY_VERIFY(!chat.hasToast());
    }

    void toastTimerClearsOnlyItsOwnText()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        chat.showToast(QStringLiteral("first"));
        QTest::qWait(20);
        chat.showToast(QStringLiteral("second"));
        QTest::qWait(30); // the first toast's timer has fired by now
        QCOMPARE(chat.toast(), QStringLiteral("second"));
        QTRY_VERIFY(!chat.hasToast());
        f.ws->onDisconnect();
        QCOMPARE(chat.toast(), QStringLiteral("连接已断开，正在重连..."));
    }

    void presenceAnnouncementAndHallEvents()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        f.deliver({{QStringLiteral("type"), QStringLiteral("presence")},
                   {QStringLiteral("online"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("a")}}, QJsonObject{{QStringLiteral("id"), QStringLiteral("b")}}}}});
        QCOMPARE(chat.onlineUsers(), (QSet<QString>{QStringLiteral("a"), QStringLiteral("b")}));
        f.deliver({{QStringLiteral("type"), QStringLiteral("presence")}, {QStringLiteral("online"), QJsonArray()}});
        QVERIFY(chat.onlineUsers().isEmpty());

        f.deliver({{QStringLiteral("type"), QStringLiteral("announcement-update")}, {QStringLiteral("announcement"), QStringLiteral("新公告")}});
        f.deliver({{QStringLiteral("type"), QStringLiteral("announcement-update")}, {QStringLiteral("announcement"), QString()}});
        QCOMPARE(chat.announcement(), QStringLiteral("新公告"));

        f.deliver({{QStringLiteral("type"), QStringLiteral("moments")},
                   {QStringLiteral("moments"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("m")}, {QStringLiteral("author"), QStringLiteral("a")},
                                                                      {QStringLiteral("text"), QStringLiteral("t")}, {QStringLiteral("time"), 1}}}}});
        QCOMPARE(chat.moments().size(), 1);

        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("h"), QStringLiteral("b"), QStringLiteral("x"), 1));
        QTRY_VERIFY(!chat.cache().savePending());
        f.deliver({{QStringLiteral("type"), QStringLiteral("hall-cleared")}});
        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(!chat.cache().savePending());

        posted.clear();
        f.deliver({{QStringLiteral("type"), QStringLiteral("hall-renamed")}, {QStringLiteral("hallName"), QStringLiteral("新厅")}});
        f.deliver({{QStringLiteral("type"), QStringLiteral("max-online")}, {QStringLiteral("maxOnline"), 9}});
        QCOMPARE(posted.size(), 2);
        QCOMPARE(posted.at(0).at(0).toString(), QStringLiteral("hallRenamed"));
        QCOMPARE(posted.at(0).at(1).value<QVariant>().toString(), QStringLiteral("新厅"));
        QCOMPARE(posted.at(1).at(0).toString(), QStringLiteral("maxOnlineUpdate"));
        QCOMPARE(posted.at(1).at(1).value<QVariant>().toInt(), 9);
    }

    void banAndKickShowTheReasonAndSignOutEvenWithoutChatState()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        f.deliver({{QStringLiteral("type"), QStringLiteral("banned")}});
        QCOMPARE(chat.toast(), QStringLiteral("账号已被封禁"));
        QCOMPARE(posted.size(), 1);
        QCOMPARE(posted.at(0).at(0).toString(), QStringLiteral("userBanned"));
        QVERIFY(!posted.at(0).at(1).value<QVariant>().isValid());

        f.chat.reset();
        f.deliver({{QStringLiteral("type"), QStringLiteral("kicked")}, {QStringLiteral("error"), QStringLiteral("x")}});
        f.deliver({{QStringLiteral("type"), QStringLiteral("hall-renamed")}});
        QCOMPARE(posted.size(), 3);
        QCOMPARE(posted.at(1).at(0).toString(), QStringLiteral("userKicked"));
        QCOMPARE(posted.at(2).at(1).value<QVariant>().toString(), QStringLiteral("公共大厅"));
        // Events for a chat state that is gone are dropped.
        f.deliver(ChatFixture::message(QStringLiteral("global"), QStringLiteral("late"), QStringLiteral("b"), QStringLiteral("x"), 1));
    }
};

QTEST_GUILESS_MAIN(TestChatLiveEvents)
#include "TestChatLiveEvents.moc"
