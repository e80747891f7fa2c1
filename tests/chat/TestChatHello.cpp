// The hello snapshot folded into the chat state field by field, as the server sends it, and the
// next snapshots: absent members empty their lists, room maps replace or merge.
#include "ChatFixture.h"
#include "NotificationCenter.h"

#include <QSignalSpy>
#include <QTest>

class TestChatHello : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void snapshotsReplaceListsJudgedByTheirOwnUserAndMergeDirectRooms()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("old"));
        QSignalSpy posted(&NotificationCenter::shared(), &NotificationCenter::posted);
        f.deliver("{'type':'hello','self':{'id':'me','username':'ME'},"
                  "'globalMsgs':[{'id':'g1','from':'me','content':'a','time':1},{'id':'g2','from':'b','content':'b','time':2}],"
                  "'groups':[{'id':'x','name':'X','owner':'me','members':['me']},{'id':'y','name':'Y','owner':'b','members':['b']}],"
                  "'friends':[{'id':'b','username':'B'}],"
                  "'pendingRequests':[{'id':'r1','from':'c','time':1}],"
                  "'groupApplyRequests':[{'id':'a1','gid':'x','from':'d','time':2}],"
                  "'moments':[{'id':'mo1','author':'b','text':'hi','time':3}],"
                  "'groupMsgs':{'x':[{'id':'x1','from':'me','content':'c','time':3}]},"
                  "'dmRooms':{'b_me':[{'id':'d1','from':'b','content':'d','time':4}],'c_me':[{'id':'d2','from':'c','content':'e','time':5}]},"
                  "'announcement':'公告','hallName':'大厅','maxOnline':7,'isAdmin':true}");

        QCOMPARE(ChatViewModel::currentUserId(), QStringLiteral("me"));
        QCOMPARE(chat.currentUserName(), QStringLiteral("ME"));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
        QVERIFY(chat.globalMessages().at(0).isFromMe);
        QVERIFY(!chat.globalMessages().at(1).isFromMe);
        QVERIFY(chat.groups().at(0).isOwner);
        QVERIFY(!chat.groups().at(1).isOwner);
        QCOMPARE(chat.friends().size(), 1);
        QCOMPARE(chat.pendingRequests().at(0).id, QStringLiteral("r1"));
        QCOMPARE(chat.groupRequests().at(0).id, QStringLiteral("a1"));
        QCOMPARE(chat.moments().at(0).id, QStringLiteral("mo1"));
        QVERIFY(chat.groupMessages().value(QStringLiteral("x")).at(0).isFromMe);
        QCOMPARE(ChatFixture::ids(chat.messages(RoomType::dm(QStringLiteral("b"), QStringLiteral("B")))), QStringList{QStringLiteral("d1")});
        QCOMPARE(chat.announcement(), QStringLiteral("公告"));

        // Hall name, capacity and administrator flag go to the session state, typed.
        QCOMPARE(posted.size(), 3);
        const QList<QPair<QString, QVariant>> expected{{QStringLiteral("hallRenamed"), QStringLiteral("大厅")},
                                                       {QStringLiteral("maxOnlineUpdate"), 7},
                                                       {QStringLiteral("adminStatusUpdate"), true}};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(posted.at(i).at(0).toString(), expected.at(i).first);
            const QVariant object = posted.at(i).at(1).value<QVariant>();
            QCOMPARE(object.typeId(), expected.at(i).second.typeId());
            QCOMPARE(object, expected.at(i).second);
        }

        // Absent members empty their lists but keep the rooms, the announcement and the settings.
        posted.clear();
        f.deliver("{'type':'hello','announcement':''}");
        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(chat.friends().isEmpty());
        QVERIFY(chat.groups().isEmpty());
        QVERIFY(chat.pendingRequests().isEmpty());
        QVERIFY(chat.groupRequests().isEmpty());
        QVERIFY(chat.moments().isEmpty());
        QCOMPARE(chat.groupMessages().value(QStringLiteral("x")).size(), 1);
        QCOMPARE(chat.dmMessages().size(), 2);
        QCOMPARE(chat.announcement(), QStringLiteral("公告"));
        QCOMPARE(ChatViewModel::currentUserId(), QStringLiteral("me"));
        QVERIFY(posted.isEmpty());

        // Group rooms are replaced whole, direct rooms merged room by room.
        f.deliver("{'type':'hello','groupMsgs':{},'dmRooms':{'b_me':[]}}");
        QVERIFY(chat.groupMessages().isEmpty());
        QVERIFY(chat.dmMessages().contains(QStringLiteral("b_me")));
        QVERIFY(chat.dmMessages().value(QStringLiteral("b_me")).isEmpty());
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("c_me"))), QStringList{QStringLiteral("d2")});
    }

    void pendingMessagesAcrossTheSnapshot_data()
    {
        // A message written offline (client id …001) in a room, then a snapshot.
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("snapshot");
        QTest::addColumn<QStringList>("after"); // the room's ids afterwards; "temp" for the pending one
        const QString delivered = QStringLiteral("{'id':'s1','from':'me','content':'x','time':1,'clientId':'00000000-0000-4000-8000-000000000001'}");
        QTest::newRow("hall sent") << "global" << "{'type':'hello','globalMsgs':[{'id':'h1','from':'b','content':'y','time':1}]}"
                                   << QStringList{"h1", "temp"};
        QTest::newRow("hall holds it") << "global" << "{'type':'hello','globalMsgs':[" + delivered + "]}" << QStringList{"s1"};
        QTest::newRow("direct room sent") << "dm" << "{'type':'hello','dmRooms':{'b_me':[]}}" << QStringList{"temp"};
        QTest::newRow("direct room not sent") << "dm" << "{'type':'hello'}" << QStringList{"temp"};
        QTest::newRow("group room sent") << "group" << "{'type':'hello','groupMsgs':{'g':[" + delivered + "]}}" << QStringList{"s1"};
        QTest::newRow("group gone") << "group" << "{'type':'hello','groupMsgs':{'h':[]}}" << QStringList{};
    }

    void pendingMessagesAcrossTheSnapshot()
    {
        QFETCH(QString, room);
        QFETCH(QString, snapshot);
        QFETCH(QStringList, after);
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        const RoomType target = room == QLatin1String("dm") ? RoomType::dm(QStringLiteral("b"), QStringLiteral("B"))
            : room == QLatin1String("group")               ? RoomType::group(QStringLiteral("g"), QStringLiteral("G"))
                                                           : RoomType::global();
        chat.setCurrentRoom(target);
        chat.sendMessage(QStringLiteral("x"));
        f.deliver(loopback::json(snapshot.toUtf8().constData()));
        after.replaceInStrings(QStringLiteral("temp"), QStringLiteral("temp_00000000-0000-4000-8000-000000000001"));
        QCOMPARE(ChatFixture::ids(chat.messages(target)), after);
    }

    // A snapshot keeps every hall message it sends; one that fails to decode changes nothing.
    void snapshotKeepsEveryHallMessageOrNothing()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliverHall(600);
        QCOMPARE(chat.globalMessages().size(), 600);
        QCOMPARE(chat.globalMessages().first().id, QStringLiteral("m0"));
        f.deliver("{'type':'hello','friends':[{'id':'b','username':'B'}]}");
        f.deliver("{'type':'hello','friends':[],'globalMsgs':[{'id':'x','from':'b','content':'no time'}]}");
        QCOMPARE(chat.friends().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestChatHello)
#include "TestChatHello.moc"
