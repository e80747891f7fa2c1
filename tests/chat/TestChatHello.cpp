// The hello snapshot folded into the chat state field by field, as the server sends it.
#include "AppLogger.h"
#include "ChatFixture.h"
#include "HelloMerger.h"
#include "NotificationCenter.h"
#include "SecureStorage.h"

#include <QSignalSpy>
#include <QTest>

class TestChatHello : public QObject
{
    Q_OBJECT

    // name → object of every notification posted while the test runs
    QList<QPair<QString, QVariant>> m_posted;

private Q_SLOTS:
    void init()
    {
        m_posted.clear();
        connect(&NotificationCenter::shared(), &NotificationCenter::posted, this,
                [this](const QString &name, const QVariant &object) { m_posted.append({name, object}); });
    }

    void cleanup() { disconnect(&NotificationCenter::shared(), nullptr, this, nullptr); }

    void fullSnapshotReplacesListsJudgedByItsOwnUser()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("old"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::hello({
            {QStringLiteral("self"), ChatFixture::user(QStringLiteral("me"))},
            {QStringLiteral("globalMsgs"), QJsonArray{ChatFixture::stored(QStringLiteral("g1"), QStringLiteral("me")),
                                                     ChatFixture::stored(QStringLiteral("g2"), QStringLiteral("b"))}},
            {QStringLiteral("groups"), QJsonArray{ChatFixture::group(QStringLiteral("x"), QStringLiteral("me")),
                                                 ChatFixture::group(QStringLiteral("y"), QStringLiteral("b"))}},
            {QStringLiteral("friends"), QJsonArray{ChatFixture::user(QStringLiteral("b"))}},
            {QStringLiteral("pendingRequests"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("r1")},
                                                                      {QStringLiteral("from"), QStringLiteral("c")},
                                                                      {QStringLiteral("time"), 1}}}},
            {QStringLiteral("groupApplyRequests"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("a1")},
                                                                         {QStringLiteral("gid"), QStringLiteral("x")},
                                                                         {QStringLiteral("from"), QStringLiteral("d")},
                                                                         {QStringLiteral("time"), 2}}}},
            {QStringLiteral("moments"), QJsonArray{QJsonObject{{QStringLiteral("id"), QStringLiteral("mo1")},
                                                              {QStringLiteral("author"), QStringLiteral("b")},
                                                              {QStringLiteral("text"), QStringLiteral("hi")},
                                                              {QStringLiteral("time"), 3}}}},
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("x"), QJsonArray{ChatFixture::stored(QStringLiteral("x1"), QStringLiteral("me"))}}}},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("b_me"), QJsonArray{ChatFixture::stored(QStringLiteral("d1"), QStringLiteral("b"))}}}},
            {QStringLiteral("announcement"), QStringLiteral("公告")},
            {QStringLiteral("hallName"), QStringLiteral("大厅")},
            {QStringLiteral("maxOnline"), 7},
            {QStringLiteral("isAdmin"), true},
        }));

        QCOMPARE(ChatViewModel::currentUserId(), QStringLiteral("me"));
        QCOMPARE(chat.currentUserName(), QStringLiteral("ME"));
        QCOMPARE(ChatFixture::ids(chat.globalMessages()), (QStringList{QStringLiteral("g1"), QStringLiteral("g2")}));
        QVERIFY(chat.globalMessages().at(0).isFromMe);
        QVERIFY(!chat.globalMessages().at(1).isFromMe);
        QCOMPARE(chat.groups().size(), 2);
        QVERIFY(chat.groups().at(0).isOwner);
        QVERIFY(!chat.groups().at(1).isOwner);
        QCOMPARE(chat.friends().size(), 1);
        QCOMPARE(chat.pendingRequests().at(0).id, QStringLiteral("r1"));
        QCOMPARE(chat.groupRequests().at(0).id, QStringLiteral("a1"));
        QCOMPARE(chat.moments().at(0).id, QStringLiteral("mo1"));
        QVERIFY(chat.groupMessages().value(QStringLiteral("x")).at(0).isFromMe);
        QCOMPARE(ChatFixture::ids(chat.messages(RoomType::dm(QStringLiteral("b"), QStringLiteral("B")))), QStringList{QStringLiteral("d1")});
        QCOMPARE(chat.announcement(), QStringLiteral("公告"));

        QCOMPARE(m_posted.size(), 3);
        QCOMPARE(m_posted.at(0).first, QStringLiteral("hallRenamed"));
        QCOMPARE(m_posted.at(0).second.typeId(), QMetaType::QString);
        QCOMPARE(m_posted.at(0).second.toString(), QStringLiteral("大厅"));
        QCOMPARE(m_posted.at(1).first, QStringLiteral("maxOnlineUpdate"));
        QCOMPARE(m_posted.at(1).second.typeId(), QMetaType::Int);
        QCOMPARE(m_posted.at(1).second.toInt(), 7);
        QCOMPARE(m_posted.at(2).first, QStringLiteral("adminStatusUpdate"));
        QCOMPARE(m_posted.at(2).second.typeId(), QMetaType::Bool);
        QVERIFY(m_posted.at(2).second.toBool());

        // The snapshot ends with a save of all five keys.
        QVERIFY(chat.cache().savePending());
        QTRY_VERIFY(!chat.cache().savePending());
        QCOMPARE(SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"))->size(), 2);
        QCOMPARE(SecureStorage::shared().load<QList<ChatGroup>>(QStringLiteral("zp_groups"))->size(), 2);
        QCOMPARE(SecureStorage::shared().load<QList<User>>(QStringLiteral("zp_friends"))->size(), 1);
        QVERIFY(SecureStorage::shared().load<MessageStore::MessageMap>(QStringLiteral("zp_dm_msgs"))->contains(QStringLiteral("b_me")));
        QVERIFY(SecureStorage::shared().load<MessageStore::MessageMap>(QStringLiteral("zp_group_msgs"))->contains(QStringLiteral("x")));
    }

    void absentMembersEmptyListsButKeepRoomsAnnouncementAndSettings()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("a"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::hello({
            {QStringLiteral("globalMsgs"), QJsonArray{ChatFixture::stored(QStringLiteral("g1"), QStringLiteral("b"))}},
            {QStringLiteral("friends"), QJsonArray{ChatFixture::user(QStringLiteral("b"))}},
            {QStringLiteral("groups"), QJsonArray{ChatFixture::group(QStringLiteral("x"), QStringLiteral("b"))}},
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("x"), QJsonArray{ChatFixture::stored(QStringLiteral("x1"), QStringLiteral("b"))}}}},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("a_b"), QJsonArray{ChatFixture::stored(QStringLiteral("d1"), QStringLiteral("b"))}}}},
            {QStringLiteral("announcement"), QStringLiteral("keep")},
        }));
        m_posted.clear();
        f.deliver(ChatFixture::hello({{QStringLiteral("announcement"), QString()}}));

        QVERIFY(chat.globalMessages().isEmpty());
        QVERIFY(chat.friends().isEmpty());
        QVERIFY(chat.groups().isEmpty());
        QVERIFY(chat.pendingRequests().isEmpty());
        QVERIFY(chat.groupRequests().isEmpty());
        QVERIFY(chat.moments().isEmpty());
        QCOMPARE(chat.groupMessages().value(QStringLiteral("x")).size(), 1);
        QCOMPARE(chat.dmMessages().value(QStringLiteral("a_b")).size(), 1);
        QCOMPARE(chat.announcement(), QStringLiteral("keep"));
        QCOMPARE(chat.currentUserName(), QStringLiteral("我"));
        QCOMPARE(ChatViewModel::currentUserId(), QStringLiteral("a"));
        QVERIFY(m_posted.isEmpty());
    }

    void groupRoomsReplacedWholeDirectRoomsMergedRoomByRoom()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("a"));
        ChatViewModel &chat = f.make();
        f.deliver(ChatFixture::hello({
            {QStringLiteral("groupMsgs"), QJsonObject{{QStringLiteral("x"), QJsonArray{ChatFixture::stored(QStringLiteral("x1"), QStringLiteral("b"))}}}},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("a_b"), QJsonArray{ChatFixture::stored(QStringLiteral("d1"), QStringLiteral("b"))}},
                                                   {QStringLiteral("a_c"), QJsonArray{ChatFixture::stored(QStringLiteral("d2"), QStringLiteral("c"))}}}},
        }));
        f.deliver(ChatFixture::hello({
            {QStringLiteral("groupMsgs"), QJsonObject()},
            {QStringLiteral("dmRooms"), QJsonObject{{QStringLiteral("a_b"), QJsonArray()}}},
        }));
        QVERIFY(chat.groupMessages().isEmpty());
        QVERIFY(chat.dmMessages().contains(QStringLiteral("a_b")));
        QVERIFY(chat.dmMessages().value(QStringLiteral("a_b")).isEmpty());
        QCOMPARE(ChatFixture::ids(chat.dmMessages().value(QStringLiteral("a_c"))), QStringList{QStringLiteral("d2")});
    }

    void snapshotKeepsEveryHallMessage()
    {
        ChatFixture f;
        ChatFixture::setMe(QStringLiteral("a"));
        ChatViewModel &chat = f.make();
        QJsonArray hall;
        for (int i = 0; i < 600; ++i)
            hall.append(ChatFixture::stored(QStringLiteral("m%1").arg(i), QStringLiteral("b")));
        f.deliver(ChatFixture::hello({{QStringLiteral("globalMsgs"), hall}}));
        QCOMPARE(chat.globalMessages().size(), 600);
        QCOMPARE(chat.globalMessages().first().id, QStringLiteral("m0"));
    }

    void summaryLineCountsMembersOrMarksThemAbsent()
    {
        const QString empty = HelloMerger::summaryLine(HelloMessage{QStringLiteral("hello")});
        QCOMPARE(empty, QStringLiteral("[HELLO] friends=-1 groups=-1 globalMsgs=-1 dmRooms=-1 isAdmin=false hallName=nil"));
        HelloMessage hello{QStringLiteral("hello")};
        hello.friends = QList<User>{User{QStringLiteral("b"), QStringLiteral("B")}};
        hello.dmRooms = MessageStore::MessageMap();
        hello.isAdmin = true;
        hello.hallName = QStringLiteral("大厅");
        QCOMPARE(HelloMerger::summaryLine(hello),
                 QStringLiteral("[HELLO] friends=1 groups=-1 globalMsgs=-1 dmRooms=0 isAdmin=true hallName=大厅"));

        // The line reaches the console log when a snapshot arrives.
        ChatFixture f;
        f.make();
        f.deliver(ChatFixture::hello({}));
        QTRY_VERIFY(AppLogger::shared().logs().value(0).endsWith(empty));
    }
};

QTEST_GUILESS_MAIN(TestChatHello)
#include "TestChatHello.moc"
