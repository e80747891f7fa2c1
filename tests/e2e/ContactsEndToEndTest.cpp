// The contacts tab, the group sheets and the moments feed against the real server: the real
// application signed in as alice, and a newly registered dora as a second client made of the client
// core. Alice asks dora to be friends by name, dora accepts and shows online; alice makes a group
// with her, both talk in it, alice renames it, adds and removes bob, changes its picture over REST
// and dissolves it; dora applies to alice's hiking group and alice accepts through the applications
// sheet; alice posts a moment that dora likes and comments on, and deletes both.
#include "ChatViewModel.h"
#include "Commands.h"
#include "PeerClient.h"

#include <QImage>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

class ContactsEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;
    QTemporaryDir m_files;

    QObject *item(const QString &name) const { return m_driver.item(name); }

    static std::optional<ChatGroup> named(const QList<ChatGroup> &groups, const QString &name)
    {
        for (const ChatGroup &group : groups)
            if (group.name == name)
                return group;
        return std::nullopt;
    }

    // Visible items of that name under `under` (list delegates have no QObject parent).
    static QList<QQuickItem *> shown(QQuickItem *under, const QString &name)
    {
        QList<QQuickItem *> items;
        for (QQuickItem *child : under ? under->childItems() : QList<QQuickItem *>()) {
            if (child->objectName() == name && child->isVisible())
                items << child;
            items << shown(child, name);
        }
        return items;
    }

    QUrl picture(const QString &name, QColor colour)
    {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = m_files.filePath(name);
        return image.save(path) ? QUrl::fromLocalFile(path) : QUrl();
    }

    // Opens a sheet through its flag and waits for it.
    QObject *open(const QString &owner, const char *flag, const QString &sheet)
    {
        item(owner)->setProperty(flag, true);
        [&] { QTRY_VERIFY2_WITH_TIMEOUT(item(sheet) && item(sheet)->property("opened").toBool(), qPrintable(sheet), 10000); }();
        return item(sheet);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_driver.startServer()); }
    void cleanupTestCase() { m_driver.quit(); }

    void friendsGroupsApplicationsAndMoments()
    {
        ChatViewModel *chat = m_driver.signIn(QStringLiteral("alice"), QStringLiteral("alice123"));
        QVERIFY(chat);
        item(QStringLiteral("mainTabs"))->setProperty("selectedTab", 1);

        // Dora: registered now, the client core with callbacks of her own.
        PeerClient dora;
        QVERIFY(dora.signIn(QStringLiteral("dora"), QStringLiteral("dora123"), true));
        std::optional<FriendRequest> request;
        QStringList doraJoined, doraNames, doraPictures, doraRemoved;
        QList<ChatMessage> doraHeard;
        dora.socket.onFriendRequest = [&](const FriendRequest &r) { request = r; };
        dora.socket.onGroupRenamed = [&](const QString &, const ChatGroup &group) { doraNames << group.name; };
        dora.socket.onGroupAvatarUpdated = [&](const QString &, const QString &avatar) { doraPictures << avatar; };
        dora.socket.onGroupRemoved = [&](const QString &gid, const QString &) { doraRemoved << gid; };
        dora.socket.onGroupMessage = [&](const ChatMessage &m) { doraHeard << m; };
        QList<Moment> doraFeed;
        dora.socket.onMomentsUpdate = [&](const QList<Moment> &moments) { doraFeed = moments; };
        // A new member hears of a group as an accepted application, also when invited.
        dora.socket.onGroupApplyAccepted = [&](const QString &gid, const auto &) { doraJoined << gid; };
        QVERIFY(dora.connect());

        // Alice asks by name through the add-friend sheet; dora accepts; the tab shows her online.
        QObject *addFriend = open(QStringLiteral("contactsView"), "showAddFriend", QStringLiteral("addFriendSheet"));
        addFriend->setProperty("username", QStringLiteral("dora"));
        QMetaObject::invokeMethod(addFriend, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(request.has_value(), 10000);
        dora.socket.respondRequest(request->id, QStringLiteral("accept"));
        QObject *friendRows = item(QStringLiteral("friendRows"));
        const auto doraRow = [&]() -> QQuickItem * {
            const int count = friendRows->property("count").toInt();
            for (int i = 0; i < count; ++i) {
                QQuickItem *row = nullptr;
                QMetaObject::invokeMethod(friendRows, "itemAt", Q_RETURN_ARG(QQuickItem *, row), Q_ARG(int, i));
                if (row && row->property("name") == QStringLiteral("dora"))
                    return row;
            }
            return nullptr;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraRow() && doraRow()->property("subtitle") == QStringLiteral("在线"), 10000);

        // A group with dora through the create sheet.
        QObject *create = open(QStringLiteral("contactsView"), "showCreateGroup", QStringLiteral("createGroupSheet"));
        create->setProperty("groupName", QStringLiteral("读书会"));
        create->setProperty("selectedMembers", QStringList{dora.user.id});
        QMetaObject::invokeMethod(create, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(named(chat->groups(), QStringLiteral("读书会")), 10000);
        const QString gid = named(chat->groups(), QStringLiteral("读书会"))->id;
        QTRY_COMPARE_WITH_TIMEOUT(doraJoined, QStringList{gid}, 10000);

        // Both talk in it: alice's optimistic message is replaced by the server's echo.
        chat->setCurrentRoom(RoomType::group(gid, QStringLiteral("读书会")));
        chat->sendMessage(QStringLiteral("群里好"));
        const auto talk = [&] { return chat->groupMessages().value(gid); };
        QTRY_VERIFY_WITH_TIMEOUT(talk().size() == 1 && !talk().first().id.startsWith(QLatin1String("temp_")), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(doraHeard.size(), 1, 10000);
        QCOMPARE(doraHeard.first().id, talk().first().id);
        dora.socket.sendGroup(gid, QStringLiteral("收到"));
        QTRY_COMPARE_WITH_TIMEOUT(talk().size(), 2, 10000);
        QVERIFY(!talk().last().isFromMe);

        // The settings sheet from the group's chat screen, through its gear: rename, add bob,
        // remove him, a new picture, then dissolve.
        QMetaObject::invokeMethod(item(QStringLiteral("contactsView")), "openRoom",
                                  Q_ARG(QVariant, QVariant::fromValue(RoomType::group(gid, QStringLiteral("读书会")))));
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("groupSettingsButton")), 10000);
        const auto settings = [&] {
            QMetaObject::invokeMethod(item(QStringLiteral("groupSettingsButton")), "clicked");
            const auto opened = [&] { return item(QStringLiteral("groupSettingsSheet")) && item(QStringLiteral("groupSettingsSheet"))->property("opened").toBool(); };
            return QTest::qWaitFor(opened, 10000) ? item(QStringLiteral("groupSettingsSheet")) : nullptr;
        };
        QObject *sheet = settings();
        QVERIFY(sheet);
        sheet->setProperty("newName", QStringLiteral("周末读书会"));
        QMetaObject::invokeMethod(sheet, "rename");
        QTRY_COMPARE_WITH_TIMEOUT(doraNames, QStringList{QStringLiteral("周末读书会")}, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(chat->group(gid)->name, QStringLiteral("周末读书会"), 10000);

        QString bob;
        for (const User &user : chat->friends())
            if (user.username == QStringLiteral("bob"))
                bob = user.id;
        QObject *add = open(QStringLiteral("groupSettingsSheet"), "showAddMembers", QStringLiteral("addMembersSheet"));
        add->setProperty("selected", QStringList{bob});
        QMetaObject::invokeMethod(add->findChild<QObject *>(QStringLiteral("confirmButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(chat->group(gid)->members.contains(bob), 10000);
        // The sheet shows the group as it was when it opened: dropped and opened again at once
        // (the old one still closing), it shows bob.
        item(QStringLiteral("chatView"))->setProperty("showGroupSettings", false);
        sheet = settings();
        QVERIFY(sheet);
        QObject *rows = sheet->findChild<QObject *>(QStringLiteral("memberRows"));
        QCOMPARE(rows->property("count").toInt(), 3);
        QQuickItem *bobRow = nullptr;
        QMetaObject::invokeMethod(rows, "itemAt", Q_RETURN_ARG(QQuickItem *, bobRow), Q_ARG(int, 2));
        QCOMPARE(bobRow->property("member").toMap().value(QStringLiteral("id")).toString(), bob);
        QMetaObject::invokeMethod(bobRow->findChild<QObject *>(QStringLiteral("removeButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!chat->group(gid)->members.contains(bob), 10000);

        // The picture goes over REST with the stored token; both clients hear of it.
        QMetaObject::invokeMethod(sheet->property("settings").value<QObject *>(), "uploadPicture",
                                  Q_ARG(QUrl, picture(QStringLiteral("group.png"), Qt::darkCyan)));
        QTRY_COMPARE_WITH_TIMEOUT(chat->toast().value_or(QString()), QStringLiteral("群头像已更新"), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(doraPictures.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(chat->group(gid)->avatar.value_or(QString()), doraPictures.first(), 10000);

        QMetaObject::invokeMethod(sheet->findChild<QObject *>(QStringLiteral("leaveButton")), "clicked");
        QTRY_COMPARE_WITH_TIMEOUT(doraRemoved, QStringList{gid}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!chat->group(gid), 10000);
        QMetaObject::invokeMethod(item(QStringLiteral("chatBackButton")), "clicked");

        // Dora applies to alice's hiking group; alice accepts in the applications sheet.
        const std::optional<ChatGroup> hiking = named(chat->groups(), QStringLiteral("周末徒步"));
        QVERIFY(hiking);
        dora.socket.send(Commands::groupApply(hiking->id));
        const auto doraApplication = [&] {
            for (const GroupRequest &r : chat->groupRequests())
                if (r.from == dora.user.id)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraApplication(), 10000);
        item(QStringLiteral("mainTabs"))->setProperty("selectedTab", 0);
        QObject *requests = open(QStringLiteral("messagesView"), "showGroupRequests", QStringLiteral("groupRequestsSheet"));
        QObject *list = requests->findChild<QObject *>(QStringLiteral("requestList"));
        QQuickItem *row = nullptr;
        for (int i = 0; i < list->property("count").toInt(); ++i) {
            QQuickItem *candidate = nullptr;
            QMetaObject::invokeMethod(list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, candidate), Q_ARG(int, i));
            if (candidate && candidate->property("req").toMap().value(QStringLiteral("from")) == dora.user.id)
                row = candidate;
        }
        QVERIFY(row);
        QMetaObject::invokeMethod(row, "action", Q_ARG(QString, QStringLiteral("accept")));
        QTRY_COMPARE_WITH_TIMEOUT(doraJoined, (QStringList{gid, hiking->id}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(chat->group(hiking->id)->members.contains(dora.user.id), 10000);

        // Alice posts text with two pictures from the moments' posting form; dora sees it, likes and
        // comments; alice's feed shows both from the server's update, then she deletes the comment
        // and the moment from the card's buttons.
        item(QStringLiteral("messagesView"))->setProperty("showGroupRequests", false);
        item(QStringLiteral("mainTabs"))->setProperty("showMoments", true);
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("composeButton")), 5000);
        QMetaObject::invokeMethod(item(QStringLiteral("composeButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(item(QStringLiteral("postMomentView")), 5000);
        item(QStringLiteral("momentEditor"))->setProperty("text", QStringLiteral("第一条朋友圈"));
        QObject *form = item(QStringLiteral("postMomentView"));
        QObject *images = form->property("composer").value<QObject *>()->property("images").value<QObject *>();
        for (const QColor colour : {QColor(Qt::darkBlue), QColor(Qt::darkGreen)})
            QVERIFY(QMetaObject::invokeMethod(images, "addFile", Q_ARG(QUrl, picture(colour.name() + QStringLiteral(".png"), colour))));
        QMetaObject::invokeMethod(form->findChild<QObject *>(QStringLiteral("sheetTrailingButton")), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(QStringLiteral("postMomentView")), 20000);
        const auto newest = [&] { return chat->moments().isEmpty() ? Moment() : chat->moments().first(); };
        QTRY_COMPARE_WITH_TIMEOUT(newest().text, QStringLiteral("第一条朋友圈"), 10000);
        const Moment posted = newest();
        QCOMPARE(posted.images.size(), 2);
        const auto doraHas = [&](const QString &mid) -> std::optional<Moment> {
            for (const Moment &moment : doraFeed)
                if (moment.id == mid)
                    return moment;
            return std::nullopt;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraHas(posted.id), 10000);
        dora.socket.send({{QStringLiteral("type"), QStringLiteral("moment-like")}, {QStringLiteral("mid"), posted.id}});
        dora.socket.momentComment(posted.id, QStringLiteral("拍得真好"));
        const auto card = [&]() -> QQuickItem * {
            QQuickItem *first = nullptr;
            QMetaObject::invokeMethod(item(QStringLiteral("momentList")), "itemAtIndex", Q_RETURN_ARG(QQuickItem *, first), Q_ARG(int, 0));
            return first;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!shown(card(), QStringLiteral("commentText")).isEmpty(), 10000);
        QCOMPARE(card()->property("moment").toMap().value(QStringLiteral("id")).toString(), posted.id);
        QTRY_COMPARE_WITH_TIMEOUT(shown(card(), QStringLiteral("likeButton")).value(0)->property("count").toInt(), 1, 10000);
        QCOMPARE(shown(card(), QStringLiteral("commentText")).first()->property("text").toString(), QStringLiteral("拍得真好"));
        QMetaObject::invokeMethod(shown(card(), QStringLiteral("deleteCommentButton")).value(0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(shown(card(), QStringLiteral("commentText")).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(doraHas(posted.id) && doraHas(posted.id)->comments.isEmpty(), 10000);
        QMetaObject::invokeMethod(shown(card(), QStringLiteral("deleteMomentButton")).value(0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(newest().id != posted.id, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!doraHas(posted.id), 10000);
    }
};

QTEST_MAIN(ContactsEndToEndTest)
#include "ContactsEndToEndTest.moc"
