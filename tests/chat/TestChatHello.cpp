// The hello snapshot folded into the chat state field by field, as the server sends it, and the
// next snapshots: absent members empty their lists, room maps replace or merge. And the list models
// screens scroll, checked by QAbstractItemModelTester while frames change the chat state: rows are
// inserted and removed one by one, and reset only when a list is replaced.
#include "ChatFixture.h"
#include "NotificationCenter.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

namespace {
QStringList column(const QAbstractItemModel &model, int role)
{
    QStringList values;
    for (int row = 0; row < model.rowCount(); ++row)
        values.append(model.data(model.index(row, 0), role).toString());
    return values;
}
} // namespace

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

        QCOMPARE(ChatFixture::sizes(chat), (QList<qsizetype>{2, 1, 2, 1, 1, 1, 1, 2}));
        QCOMPARE(ChatViewModel::currentUserId(), QStringLiteral("me"));
        QCOMPARE(chat.currentUserName(), QStringLiteral("ME"));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
        QVERIFY(chat.globalMessages().at(0).isFromMe);
        QVERIFY(!chat.globalMessages().at(1).isFromMe);
        QVERIFY(chat.groups().at(0).isOwner);
        QVERIFY(!chat.groups().at(1).isOwner);
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
        QCOMPARE(ChatFixture::sizes(chat), (QList<qsizetype>{0, 0, 0, 0, 0, 0, 1, 2}));
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

    // A snapshot keeps every hall message it sends, beyond the limit of live ones (one that fails to
    // decode reaches no slot: the dispatch test's bad nested record).
    void snapshotKeepsEveryHallMessage()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make();
        f.deliverHall(600);
        QCOMPARE(chat.globalMessages().size(), 600);
        QCOMPARE(chat.globalMessages().first().id, QStringLiteral("m0"));
    }

    void messageListFollowsTheOpenRoomRowByRow()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        MessageListModel &model = *chat.currentMessages();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 0);

        f.deliverHall(500);
        chat.setCurrentRoom(RoomType::global());
        QCOMPARE(model.rowCount(), 500);

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        f.deliver("{'type':'global','id':'new','from':'me','content':'hey','time':1}");
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 500);
        // The hall limit drops the oldest row.
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.at(0).at(1).toInt(), 0);
        QCOMPARE(model.rowCount(), 500);
        const QModelIndex last = model.index(499, 0);
        QCOMPARE(model.data(last, MessageListModel::IdRole).toString(), QStringLiteral("new"));
        QCOMPARE(model.data(last, MessageListModel::ContentRole).toString(), QStringLiteral("hey"));
        QVERIFY(model.data(last, MessageListModel::IsFromMeRole).toBool());
        QVERIFY(!model.data(last, MessageListModel::IsPendingRole).toBool());
        // So does the user's own message, shown before the server has it.
        chat.sendMessage(QStringLiteral("mine"));
        QCOMPARE(removed.size(), 2);
        QCOMPARE(column(model, MessageListModel::IdRole).first(), QStringLiteral("m2"));
        QVERIFY(model.data(model.index(499, 0), MessageListModel::IsPendingRole).toBool());

        f.deliver("{'type':'recalled','room':'global','id':'m10'}");
        QCOMPARE(removed.size(), 3);
        QCOMPARE(removed.at(2).at(1).toInt(), 8);
        // Messages of other rooms do not touch this one.
        f.deliver("{'type':'dm','id':'d','from':'p','content':'x','time':1}");
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(resets.size(), 0);

        f.deliver("{'type':'hall-cleared'}");
        QCOMPARE(resets.size(), 1);
        QCOMPARE(model.rowCount(), 0);

        chat.setCurrentRoom(RoomType::dm(QStringLiteral("p"), QStringLiteral("P")));
        QCOMPARE(column(model, MessageListModel::IdRole), QStringList{QStringLiteral("d")});
        chat.setCurrentRoom(std::nullopt);
        QCOMPARE(model.rowCount(), 0);

        // A room that does not exist yet fills row by row; a snapshot replacing the group rooms resets it.
        chat.setCurrentRoom(RoomType::group(QStringLiteral("g"), QStringLiteral("G")));
        const qsizetype before = resets.size();
        f.deliver("{'type':'group','id':'1','from':'b','content':'x','time':1,'gid':'g'}");
        f.deliver("{'type':'group','id':'2','from':'me','content':'y','time':2,'gid':'g'}");
        QCOMPARE(column(model, MessageListModel::IdRole), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(resets.size(), before);
        f.deliver("{'type':'hello','groupMsgs':{}}");
        QCOMPARE(resets.size(), before + 1);
        QCOMPARE(model.rowCount(), 0);
    }

    void conversationRowsFollowTheChatState()
    {
        ChatFixture f;
        ChatViewModel &chat = f.make(QStringLiteral("me"));
        ConversationListModel &model = *chat.conversations();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        // The list follows the chat state on the next turn of the event loop.
        const auto deliver = [&f](const char *frame) {
            f.deliver(frame);
            QCoreApplication::processEvents();
        };
        const auto data = [&model](int row, int role) { return model.data(model.index(row, 0), role); };

        // The rows' kinds in order (their names, counts, previews and presence are the conversation
        // list QML test's).
        deliver("{'type':'hello','groups':[{'id':'g','name':'Tea','owner':'me','members':['me']}],"
                "'friends':[{'id':'ab','username':'AB'},{'id':'zed','username':'ZED'}],"
                "'pendingRequests':[{'id':'r','from':'c','time':1},{'id':'r2','from':'c','time':1}]}");
        QCOMPARE(column(model, ConversationListModel::KindRole),
                 (QStringList{QStringLiteral("global"), QStringLiteral("friendRequests"), QStringLiteral("group"), QStringLiteral("dm"), QStringLiteral("dm")}));

        // A message changes its row's data in place.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        deliver("{'type':'global','id':'h','from':'b','content':'','time':1}");
        QCOMPARE(changed.size(), 1);

        // A group arriving inserts its row; the requests row goes when the last request does.
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        deliver("{'type':'group-created','group':{'id':'g2','name':'group g2','owner':'me','members':['me']}}");
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 3);
        QCOMPARE(data(3, ConversationListModel::RoomRole).value<RoomType>(), RoomType::group(QStringLiteral("g2"), QStringLiteral("group g2")));
        deliver("{'type':'hello'}");
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(resets.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestChatHello)
#include "TestChatHello.moc"
