// Live server events, delivered as frames: message reconciliation, duplicates, direct-room keys,
// recalls, friend and group events, toasts and the notifications of bans and kicks.
#include "ChatFixture.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// The notifications posted, as "name" or "name=object".
QStringList notices(const QSignalSpy &posted)
{
    QStringList list;
    for (const QList<QVariant> &notice : posted) {
        const QVariant object = notice.at(1).value<QVariant>();
        list.append(notice.at(0).toString() + (object.isValid() ? QLatin1Char('=') + object.toString() : QString()));
    }
    return list;
}
} // namespace

class TestChatLiveEvents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownEchoClearsEveryOptimisticMessageOfItsListOnly()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        // Two sends in flight in the hall and one in a group, as a restored cache would hold them.
        f.deliver("{'type':'hello','globalMsgs':[{'id':'temp_A','from':'me','content':'1','time':1},"
                  "{'id':'h1','from':'b','content':'2','time':2},{'id':'temp_B','from':'me','content':'3','time':3}],"
                  "'groupMsgs':{'g':[{'id':'temp_C','from':'me','content':'4','time':4}]}}");
        // Someone else's message leaves the optimistic ones alone.
        f.deliver("{'type':'global','id':'h2','from':'b','content':'x','time':5}");
        QCOMPARE(chat.globalMessages().size(), 4);

        f.deliver("{'type':'global','id':'s1','from':'me','content':'mine','time':6}");
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("h1"), QStringLiteral("h2"), QStringLiteral("s1")}));
        QVERIFY(chat.globalMessages().last().isFromMe);
        QVERIFY(!chat.globalMessages().first().isFromMe);
        QCOMPARE(ChatFixture::ids(chat.groupMessages().value(QStringLiteral("g"))), QStringList{QStringLiteral("temp_C")});
    }

    void duplicateDeliveryListedOnceButStillSaved()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        const char *frame = "{'type':'global','id':'d','from':'b','content':'hi','time':5}";
        f.deliver(frame);
        f.deliver("{'type':'global','id':'e','from':'c','content':'yo','time':6}");
        QVERIFY(f.settle());
        const int writes = chat.cache().writes();
        f.deliver(frame); // the copy arrives after another message: not the last one listed
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("d"), QStringLiteral("e")}));
        QVERIFY(chat.cache().savePending());
        QVERIFY(f.settle());
        // The value did not change, so nothing was sealed again; the disk holds it once.
        QCOMPARE(chat.cache().writes(), writes);
        QCOMPARE(SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"))->size(), 2);

        // A message without an id gets the computed one, and a second copy is a duplicate too.
        f.deliver("{'type':'global','from':'u1','content':'hi','time':5}");
        f.deliver("{'type':'global','from':'u1','content':'hi','time':5}");
        QCOMPARE(chat.globalMessages().last().id, QStringLiteral("u1_hi_5"));
        QCOMPARE(chat.globalMessages().size(), 3);
    }

    void roomKeyEdges()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("m"));
        // A group message without a group id is dropped, and nothing is saved for it.
        f.deliver("{'type':'group','id':'g0','from':'b','content':'x','time':1}");
        QVERIFY(chat.groupMessages().isEmpty());
        QVERIFY(!chat.cache().savePending());
        f.deliver("{'type':'group','id':'g1','from':'b','content':'x','time':1,'gid':'G'}");
        QCOMPARE(ChatFixture::ids(chat.groupMessages().value(QStringLiteral("G"))), QStringList{QStringLiteral("g1")});
        QVERIFY(chat.cache().savePending());

        // Both directions sharing one room is walked end to end; an own direct message without
        // "to" is filed under the key formed with "".
        f.deliver("{'type':'dm','id':'3','from':'m','content':'lost','time':3}");
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("_m"))), QStringList{QStringLiteral("3")});

        // The key puts the smaller id first, for whichever user is signed in.
        QCOMPARE(ChatViewModel::dmRoomKey(QStringLiteral("s"), QStringLiteral("s")), QStringLiteral("s_s"));
        ChatFixture::setMe(QStringLiteral("c"));
        QCOMPARE(ChatViewModel::storeRef(RoomType::dm(QStringLiteral("b"), QString())).key, QStringLiteral("b_c"));
        // Reading a room that never received a message creates no entry.
        QVERIFY(chat.messages(RoomType::group(QStringLiteral("none"), QString())).isEmpty());
        QVERIFY(chat.messages(RoomType::dm(QStringLiteral("z"), QString())).isEmpty());
        QVERIFY(!chat.groupMessages().contains(QStringLiteral("none")));
        QVERIFY(!chat.dmMessages().contains(QStringLiteral("c_z")));
    }

    void recallsRemoveFromTheirRoomAndNeverCreateOne()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("a"));
        f.deliver("{'type':'hello','globalMsgs':[{'id':'r','from':'b','content':'1','time':1},{'id':'k','from':'b','content':'2','time':2}],"
                  "'dmRooms':{'a_b':[{'id':'r','from':'b','content':'1','time':1}]},"
                  "'groupMsgs':{'g':[{'id':'r','from':'b','content':'1','time':1}]}}");
        f.deliver("{'type':'recalled','room':'dm','id':'r','to':'zz'}");
        f.deliver("{'type':'recalled','room':'group','id':'r','gid':'nope'}");
        f.deliver("{'type':'recalled','room':'dm','id':'r'}");
        f.deliver("{'type':'recalled','room':'moments','id':'r'}");
        QCOMPARE(chat.dmMessages().keys(), QStringList{QStringLiteral("a_b")});
        QCOMPARE(chat.groupMessages().keys(), QStringList{QStringLiteral("g")});
        QCOMPARE(chat.globalMessages().size(), 2);

        f.deliver("{'type':'recalled','room':'global','id':'r'}");
        f.deliver("{'type':'recalled','room':'dm','id':'r','to':'b'}");
        f.deliver("{'type':'recalled','room':'group','id':'r','gid':'g'}");
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), QStringList{QStringLiteral("k")});
        QVERIFY(chat.dmMessages().value(QStringLiteral("a_b")).isEmpty());
        QVERIFY(chat.groupMessages().value(QStringLiteral("g")).isEmpty());
    }

    void friendAndGroupEvents()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        f.deliver("{'type':'friend-request','request':{'id':'fr','from':'b','time':1}}");
        f.deliver("{'type':'friend-request','request':{'id':'fr','from':'b','time':1}}");
        QCOMPARE(chat.pendingRequests().size(), 1);
        QVERIFY(!chat.hasToast());

        f.deliver("{'type':'friend-update','friends':[{'id':'b','username':'B'}]}");
        QCOMPARE(chat.user(QStringLiteral("b"))->username, QStringLiteral("B"));
        QVERIFY(!chat.user(QStringLiteral("me")));
        QVERIFY(chat.cache().savePending());
        QVERIFY(f.settle());

        f.deliver("{'type':'group-created','group':{'id':'g','name':'茶','owner':'b','members':['b']}}");
        f.deliver("{'type':'group-created','group':{'id':'g','name':'茶','owner':'b','members':['b']}}");
        QCOMPARE(chat.groups().size(), 2);
        QVERIFY(chat.groups().at(0).isOwner);
        QCOMPARE(chat.toast(), QStringLiteral("群聊「茶」已创建"));
        QVERIFY(!chat.cache().savePending());

        f.deliver("{'type':'group-renamed','gid':'g','group':{'id':'g','name':'新名','owner':'b','members':['x','y']}}");
        QCOMPARE(chat.groups().at(0).name, QStringLiteral("新名"));
        QCOMPARE(chat.groups().at(0).members, QStringList{QStringLiteral("b")});
        QCOMPARE(chat.groups().at(1).name, QStringLiteral("茶"));

        f.deliver("{'type':'group-member-removed','gid':'g','userId':'z','group':{'id':'g','name':'n','owner':'b','members':['x','y']}}");
        QCOMPARE(chat.groups().at(0).members, (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
        QCOMPARE(chat.groups().at(0).name, QStringLiteral("新名"));

        f.deliver("{'type':'group','id':'gm','from':'b','content':'x','time':1,'gid':'g'}");
        f.deliver("{'type':'group-removed','gid':'g','error':'群已解散'}");
        QVERIFY(chat.groups().isEmpty());
        QVERIFY(!chat.groupMessages().contains(QStringLiteral("g")));
        QCOMPARE(chat.toast(), QStringLiteral("群已解散"));

        f.deliver("{'type':'group-apply-accepted','gid':'g2'}");
        QVERIFY(chat.groups().isEmpty());
        QCOMPARE(chat.toast(), QStringLiteral("你已成功加入群聊"));
        QVERIFY(chat.cache().savePending());
        f.deliver("{'type':'group-apply-accepted','gid':'g2','group':{'id':'g2','name':'n','owner':'me','members':['me']}}");
        QCOMPARE(chat.groups().size(), 1);
        QVERIFY(!chat.groups().at(0).isOwner);

        f.deliver("{'type':'group-apply-request','apply':{'id':'ap','gid':'g2','from':'c','time':1}}");
        QCOMPARE(chat.toast(), QStringLiteral("收到新的入群申请"));
        chat.showToast(QStringLiteral("other"));
        f.deliver("{'type':'group-apply-request','apply':{'id':'ap','gid':'g2','from':'c','time':1}}");
        QCOMPARE(chat.groupRequests().size(), 1);
        QCOMPARE(chat.toast(), QStringLiteral("other"));
    }

    void toastsOfTheServerEvents_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("toast");
        QTest::newRow("error") << QStringLiteral("{'type':'error','error':'坏了'}") << QStringLiteral("坏了");
        QTest::newRow("system") << QStringLiteral("{'type':'system','content':'维护'}") << QStringLiteral("维护");
        QTest::newRow("request failed") << QStringLiteral("{'type':'request-sent','error':'不存在'}") << QStringLiteral("不存在");
    }

    void toastsOfTheServerEvents()
    {
        QFETCH(QString, frame);
        QFETCH(QString, toast);
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliver(frame.toUtf8().constData());
        QCOMPARE(chat.toast(), toast);
    }

    void toastTimerClearsOnlyItsOwnText()
    {
        ChatFixture f;
        ChatServices services = f.services();
        // Wide margins around each timer so a loaded machine cannot reorder them.
        services.toastDuration = 600ms;
        ChatViewModel chat(services);
        chat.showToast(QStringLiteral("first"));
        QTest::qWait(300);
        chat.showToast(QStringLiteral("second"));
        QTest::qWait(450); // the first toast's timer has fired, the second's has not
        QCOMPARE(chat.toast(), QStringLiteral("second"));
        QTRY_VERIFY(!chat.hasToast());
        f.ws->onDisconnect();
        QCOMPARE(chat.toast(), QStringLiteral("连接已断开，正在重连..."));
    }

    void presenceAnnouncementAndHallEvents()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliver("{'type':'presence','online':[{'id':'a'},{'id':'b'}]}");
        QCOMPARE(chat.onlineUsers(), (QSet<QString>{QStringLiteral("a"), QStringLiteral("b")}));
        f.deliver("{'type':'presence','online':[]}");
        QVERIFY(chat.onlineUsers().isEmpty());

        f.deliver("{'type':'announcement-update','announcement':'新公告'}");
        f.deliver("{'type':'announcement-update','announcement':''}");
        QCOMPARE(chat.announcement(), QStringLiteral("新公告"));

        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        f.deliver("{'type':'hall-renamed','hallName':'新厅'}");
        f.deliver("{'type':'max-online','maxOnline':9}");
        QCOMPARE(notices(posted), (QStringList{QStringLiteral("hallRenamed=新厅"), QStringLiteral("maxOnlineUpdate=9")}));
    }

    void banAndKickShowTheReasonAndSignOutEvenWithoutChatState()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        f.deliver("{'type':'banned'}");
        QCOMPARE(chat.toast(), QStringLiteral("账号已被封禁"));
        f.chat.reset();
        f.deliver("{'type':'kicked','error':'x'}");
        f.deliver("{'type':'hall-renamed'}");
        QCOMPARE(notices(posted), (QStringList{QStringLiteral("userBanned"), QStringLiteral("userKicked"), QStringLiteral("hallRenamed=公共大厅")}));
        // Events for a chat state that is gone are dropped.
        f.deliver("{'type':'global','id':'late','from':'b','content':'x','time':1}");
    }
};

QTEST_GUILESS_MAIN(TestChatLiveEvents)
#include "TestChatLiveEvents.moc"
