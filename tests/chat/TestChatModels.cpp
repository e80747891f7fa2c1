// The list models screens scroll, checked by QAbstractItemModelTester while frames change the
// chat state: rows are inserted and removed one by one, and reset only when a list is replaced.
#include "ChatFixture.h"

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

class TestChatModels : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

        f.deliver("{'type':'recalled','room':'global','id':'m10'}");
        QCOMPARE(removed.size(), 2);
        QCOMPARE(removed.at(1).at(1).toInt(), 9);
        // Messages of other rooms do not touch this one.
        f.deliver("{'type':'dm','id':'d','from':'p','content':'x','time':1}");
        QCOMPARE(inserted.size(), 1);
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

        f.deliver("{'type':'hello','groups':[{'id':'g','name':'Tea','owner':'me','members':['me']}],"
                  "'friends':[{'id':'ab','username':'AB'},{'id':'zed','username':'ZED'}],"
                  "'pendingRequests':[{'id':'r','from':'c','time':1},{'id':'r2','from':'c','time':1}]}");
        QCoreApplication::processEvents();
        QCOMPARE(column(model, ConversationListModel::KindRole),
                 (QStringList{QStringLiteral("global"), QStringLiteral("friendRequests"), QStringLiteral("group"), QStringLiteral("dm"), QStringLiteral("dm")}));
        QCOMPARE(column(model, ConversationListModel::NameRole),
                 (QStringList{QStringLiteral("公共大厅"), QStringLiteral("好友验证"), QStringLiteral("Tea"), QStringLiteral("AB"), QStringLiteral("ZED")}));
        QCOMPARE(model.data(model.index(1, 0), ConversationListModel::CountRole).toInt(), 2);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        f.deliver("{'type':'global','id':'h','from':'b','content':'','time':1}"); // no sender name
        QCoreApplication::processEvents();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(model.data(model.index(0, 0), ConversationListModel::PreviewRole).toString(), QStringLiteral(": "));
        f.deliver("{'type':'dm','id':'d','from':'zed','content':'yo','time':1}");
        QCoreApplication::processEvents();
        QCOMPARE(model.data(model.index(4, 0), ConversationListModel::PreviewRole).toString(), QStringLiteral("yo"));
        f.deliver("{'type':'group','id':'gm','from':'b','fromName':'B','content':'hi','time':1,'gid':'g'}");
        QCoreApplication::processEvents();
        QCOMPARE(model.data(model.index(2, 0), ConversationListModel::PreviewRole).toString(), QStringLiteral("B: hi"));
        f.deliver("{'type':'presence','online':[{'id':'zed'}]}");
        QCoreApplication::processEvents();
        QVERIFY(model.data(model.index(4, 0), ConversationListModel::OnlineRole).toBool());
        QVERIFY(!model.data(model.index(3, 0), ConversationListModel::OnlineRole).toBool());

        // A group arriving inserts its row; the requests row goes when the last request does.
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        f.deliver("{'type':'group-created','group':{'id':'g2','name':'group g2','owner':'me','members':['me']}}");
        QCoreApplication::processEvents();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 3);
        QCOMPARE(model.data(model.index(3, 0), ConversationListModel::RoomRole).value<RoomType>(), RoomType::group(QStringLiteral("g2"), QStringLiteral("group g2")));
        f.deliver("{'type':'hello'}");
        QCoreApplication::processEvents();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(resets.size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestChatModels)
#include "TestChatModels.moc"
