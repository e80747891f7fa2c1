// The contacts and chat screens against the real server: the real application signed in as alice,
// and a second user (dora, then bob) made of the client core who hears what alice does and answers.
#include "AppState.h"
#include "ChatViewModel.h"
#include "Commands.h"
#include "DraftImageList.h"
#include "PeerClient.h"

#include <QImage>
#include <QQmlListReference>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

using namespace Qt::StringLiterals;

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

    // A button of an open alert, by its text.
    QObject *alertButton(const QString &alert, const QString &text) const
    {
        const QQmlListReference buttons(item(alert), "actions");
        for (qsizetype i = 0; i < buttons.count(); ++i)
            if (buttons.at(i)->property("text").toString() == text)
                return buttons.at(i);
        return nullptr;
    }

    QQuickItem *listRow(const QString &list, int index) const
    {
        QQuickItem *row = nullptr;
        if (QObject *view = item(list)) {
            QMetaObject::invokeMethod(view, "forceLayout");
            QMetaObject::invokeMethod(view, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, row), Q_ARG(int, index));
        }
        return row;
    }

    static QByteArray jpeg(QColor colour)
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(colour);
        return DraftImageList::encodeJpeg(image);
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
    // Each case signs alice in afresh.
    void cleanup()
    {
        if (m_driver.app())
            m_driver.app()->appState().logout();
    }

    void friendsGroupsApplicationsAndMoments()
    {
        ChatViewModel *chat = m_driver.signIn(u"alice"_s, u"alice123"_s);
        QVERIFY(chat);
        item(u"mainTabs"_s)->setProperty("selectedTab", 1);

        // Dora: registered now, the client core with callbacks of her own.
        PeerClient dora;
        QVERIFY(dora.signIn(u"dora"_s, u"dora123"_s, true));
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
        QObject *addFriend = open(u"contactsView"_s, "showAddFriend", u"addFriendSheet"_s);
        addFriend->setProperty("username", u"dora"_s);
        QMetaObject::invokeMethod(addFriend, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(request.has_value(), 10000);
        dora.socket.respondRequest(request->id, u"accept"_s);
        QObject *friendRows = item(u"friendRows"_s);
        const auto doraRow = [&]() -> QQuickItem * {
            const int count = friendRows->property("count").toInt();
            for (int i = 0; i < count; ++i) {
                QQuickItem *row = nullptr;
                QMetaObject::invokeMethod(friendRows, "itemAt", Q_RETURN_ARG(QQuickItem *, row), Q_ARG(int, i));
                if (row && row->property("name") == u"dora"_s)
                    return row;
            }
            return nullptr;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraRow() && doraRow()->property("subtitle") == u"在线"_s, 10000);

        // A group with dora through the create sheet.
        QObject *create = open(u"contactsView"_s, "showCreateGroup", u"createGroupSheet"_s);
        create->setProperty("groupName", u"读书会"_s);
        create->setProperty("selectedMembers", QStringList{dora.user.id});
        QMetaObject::invokeMethod(create, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(named(chat->groups(), u"读书会"_s), 10000);
        const QString gid = named(chat->groups(), u"读书会"_s)->id;
        QTRY_COMPARE_WITH_TIMEOUT(doraJoined, QStringList{gid}, 10000);

        // Both talk in it: alice's optimistic message is replaced by the server's echo.
        chat->setCurrentRoom(RoomType::group(gid, u"读书会"_s));
        chat->sendMessage(u"群里好"_s);
        const auto talk = [&] { return chat->groupMessages().value(gid); };
        QTRY_VERIFY_WITH_TIMEOUT(talk().size() == 1 && !talk().first().id.startsWith(QLatin1String("temp_")), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(doraHeard.size(), 1, 10000);
        QCOMPARE(doraHeard.first().id, talk().first().id);
        dora.socket.sendGroup(gid, u"收到"_s);
        QTRY_COMPARE_WITH_TIMEOUT(talk().size(), 2, 10000);

        // The settings sheet from the group's chat screen, through its gear: rename, add bob, remove him,
        // a new picture, then dissolve.
        QMetaObject::invokeMethod(item(u"contactsView"_s), "openRoom", Q_ARG(QVariant, QVariant::fromValue(RoomType::group(gid, u"读书会"_s))));
        QTRY_VERIFY_WITH_TIMEOUT(item(u"groupSettingsButton"_s), 10000);
        const auto settings = [&] {
            QMetaObject::invokeMethod(item(u"groupSettingsButton"_s), "clicked");
            const auto opened = [&] { return item(u"groupSettingsSheet"_s) && item(u"groupSettingsSheet"_s)->property("opened").toBool(); };
            return QTest::qWaitFor(opened, 10000) ? item(u"groupSettingsSheet"_s) : nullptr;
        };
        QObject *sheet = settings();
        QVERIFY(sheet);
        sheet->setProperty("newName", u"周末读书会"_s);
        QMetaObject::invokeMethod(sheet, "rename");
        QTRY_COMPARE_WITH_TIMEOUT(doraNames, QStringList{u"周末读书会"_s}, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(chat->group(gid)->name, u"周末读书会"_s, 10000);

        QString bob;
        for (const User &user : chat->friends())
            if (user.username == u"bob"_s)
                bob = user.id;
        QObject *add = open(u"groupSettingsSheet"_s, "showAddMembers", u"addMembersSheet"_s);
        add->setProperty("selected", QStringList{bob});
        QMetaObject::invokeMethod(add->findChild<QObject *>(u"confirmButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(chat->group(gid)->members.contains(bob), 10000);
        // The sheet shows the group as it was when it opened: dropped and opened again at once
        // (the old one still closing), it shows bob.
        item(u"chatView"_s)->setProperty("showGroupSettings", false);
        sheet = settings();
        QVERIFY(sheet);
        QObject *rows = sheet->findChild<QObject *>(u"memberRows"_s);
        QCOMPARE(rows->property("count").toInt(), 3);
        QQuickItem *bobRow = nullptr;
        QMetaObject::invokeMethod(rows, "itemAt", Q_RETURN_ARG(QQuickItem *, bobRow), Q_ARG(int, 2));
        QCOMPARE(bobRow->property("member").toMap().value(u"id"_s).toString(), bob);
        QMetaObject::invokeMethod(bobRow->findChild<QObject *>(u"removeButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!chat->group(gid)->members.contains(bob), 10000);

        // The picture goes over REST with the stored token; both clients hear of it.
        QMetaObject::invokeMethod(sheet->property("settings").value<QObject *>(), "uploadPicture", Q_ARG(QUrl, picture(u"group.png"_s, Qt::darkCyan)));
        QTRY_COMPARE_WITH_TIMEOUT(chat->toast().value_or(QString()), u"群头像已更新"_s, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(doraPictures.size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(chat->group(gid)->avatar.value_or(QString()), doraPictures.first(), 10000);

        QMetaObject::invokeMethod(sheet->findChild<QObject *>(u"leaveButton"_s), "clicked");
        QTRY_COMPARE_WITH_TIMEOUT(doraRemoved, QStringList{gid}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!chat->group(gid), 10000);
        QMetaObject::invokeMethod(item(u"chatBackButton"_s), "clicked");

        // Dora applies to alice's hiking group; alice accepts in the applications sheet.
        const std::optional<ChatGroup> hiking = named(chat->groups(), u"周末徒步"_s);
        QVERIFY(hiking);
        dora.socket.send(Commands::groupApply(hiking->id));
        const auto doraApplication = [&] {
            for (const GroupRequest &r : chat->groupRequests())
                if (r.from == dora.user.id)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraApplication(), 10000);
        item(u"mainTabs"_s)->setProperty("selectedTab", 0);
        open(u"messagesView"_s, "showGroupRequests", u"groupRequestsSheet"_s);
        QQuickItem *row = nullptr;
        for (int i = 0; !row && listRow(u"requestList"_s, i); ++i)
            if (listRow(u"requestList"_s, i)->property("req").toMap().value(u"from"_s) == dora.user.id)
                row = listRow(u"requestList"_s, i);
        QVERIFY(row);
        QMetaObject::invokeMethod(row, "action", Q_ARG(QString, u"accept"_s));
        QTRY_COMPARE_WITH_TIMEOUT(doraJoined, (QStringList{gid, hiking->id}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(chat->group(hiking->id)->members.contains(dora.user.id), 10000);

        // Alice posts text with two pictures from the moments' posting form; dora sees it, likes and
        // comments; alice's feed shows both from the server's update, then she deletes the comment
        // and the moment from the card's buttons.
        item(u"messagesView"_s)->setProperty("showGroupRequests", false);
        item(u"mainTabs"_s)->setProperty("showMoments", true);
        QTRY_VERIFY_WITH_TIMEOUT(item(u"composeButton"_s), 5000);
        QMetaObject::invokeMethod(item(u"composeButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(item(u"postMomentView"_s), 5000);
        item(u"momentEditor"_s)->setProperty("text", u"第一条朋友圈"_s);
        QObject *form = item(u"postMomentView"_s);
        QObject *images = form->property("composer").value<QObject *>()->property("images").value<QObject *>();
        for (const QColor colour : {QColor(Qt::darkBlue), QColor(Qt::darkGreen)})
            QVERIFY(QMetaObject::invokeMethod(images, "addFile", Q_ARG(QUrl, picture(colour.name() + u".png"_s, colour))));
        QMetaObject::invokeMethod(form->findChild<QObject *>(u"sheetTrailingButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(u"postMomentView"_s), 20000);
        const auto newest = [&] { return chat->moments().isEmpty() ? Moment() : chat->moments().first(); };
        QTRY_COMPARE_WITH_TIMEOUT(newest().text, u"第一条朋友圈"_s, 10000);
        const Moment posted = newest();
        QCOMPARE(posted.images.size(), 2);
        const auto doraHas = [&](const QString &mid) -> std::optional<Moment> {
            for (const Moment &moment : doraFeed)
                if (moment.id == mid)
                    return moment;
            return std::nullopt;
        };
        QTRY_VERIFY_WITH_TIMEOUT(doraHas(posted.id), 10000);
        dora.socket.send({{u"type"_s, u"moment-like"_s}, {u"mid"_s, posted.id}});
        dora.socket.momentComment(posted.id, u"拍得真好"_s);
        const auto card = [&] { return listRow(u"momentList"_s, 0); };
        QTRY_VERIFY_WITH_TIMEOUT(!shown(card(), u"commentText"_s).isEmpty(), 10000);
        QCOMPARE(card()->property("moment").toMap().value(u"id"_s).toString(), posted.id);
        QTRY_COMPARE_WITH_TIMEOUT(shown(card(), u"likeButton"_s).value(0)->property("count").toInt(), 1, 10000);
        QCOMPARE(shown(card(), u"commentText"_s).first()->property("text").toString(), u"拍得真好"_s);
        QMetaObject::invokeMethod(shown(card(), u"deleteCommentButton"_s).value(0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(shown(card(), u"commentText"_s).isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(doraHas(posted.id) && doraHas(posted.id)->comments.isEmpty(), 10000);
        QMetaObject::invokeMethod(shown(card(), u"deleteMomentButton"_s).value(0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(newest().id != posted.id, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!doraHas(posted.id), 10000);
    }

    void hallMentionPictureRecallAndUnfriend()
    {
        ChatViewModel *chat = m_driver.signIn(u"alice"_s, u"alice123"_s);
        QVERIFY(chat);
        const QString alice = ChatViewModel::currentUserId();

        // Bob: the client core with callbacks of his own.
        PeerClient bob;
        QVERIFY(bob.signIn(u"bob"_s, u"bob123"_s));
        QList<ChatMessage> bobHall;
        QStringList bobRecalled;
        std::optional<QList<User>> bobFriends;
        // Bob's hall as he sees it: live messages, and the history each hello brings (a connection
        // that drops and comes back would otherwise miss what was said meanwhile).
        const auto bobHears = [&](const ChatMessage &m) {
            if (std::none_of(bobHall.begin(), bobHall.end(), [&m](const ChatMessage &known) { return known.id == m.id; }))
                bobHall << m;
        };
        const auto bobSaw = [&](const QString &content) -> std::optional<ChatMessage> {
            for (const ChatMessage &m : bobHall)
                if (m.content == content)
                    return m;
            return std::nullopt;
        };
        bob.socket.onHello = [&](const HelloMessage &hello) {
            for (const ChatMessage &m : hello.globalMsgs.value_or(QList<ChatMessage>()))
                bobHears(m);
        };
        bob.socket.onGlobalMessage = bobHears;
        bob.socket.onRecalled = [&](const QString &, const QString &id, const auto &, const auto &, const auto &) { bobRecalled << id; };
        bob.socket.onFriendUpdate = [&](const QList<User> &friends) { bobFriends = friends; };
        QVERIFY(bob.connect());

        // Bob's picture goes up over REST, then his message with it and a mention of alice.
        const Result<ImageUploadResponse> uploaded = DemoAppDriver::await<ImageUploadResponse>([&](auto done) {
            APIService::shared().uploadMessageImage(bob.token, jpeg(Qt::darkCyan), nullptr, done);
        });
        QVERIFY2(uploaded.ok(), qPrintable(uploaded.error()));
        bob.socket.sendGlobal(u"@alice 看这张"_s, {uploaded->url});

        // Alice's list previews it and her chat screen shows it (the mention markup and the picture cell
        // are the chat screen QML test's).
        QTRY_VERIFY_WITH_TIMEOUT(listRow(u"conversationList"_s, 0) && listRow(u"conversationList"_s, 0)->property("preview") == u"bob: @alice 看这张"_s,
                                 10000);
        QMetaObject::invokeMethod(listRow(u"conversationList"_s, 0), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(item(u"chatView"_s), 5000);
        QObject *chatView = item(u"chatView"_s);
        const auto lastRow = [&] {
            const int count = chatView->property("messageList").value<QObject *>()->property("count").toInt();
            return listRow(u"messageList"_s, count - 1);
        };
        QTRY_VERIFY_WITH_TIMEOUT(lastRow() && lastRow()->property("content") == u"@alice 看这张"_s, 10000);

        // Alice writes text and a picture through the chat screen.
        auto *composer = chatView->property("composer").value<QObject *>();
        composer->property("draftImages").value<DraftImageList *>()->addImage(QImage::fromData(jpeg(Qt::darkMagenta)));
        QMetaObject::invokeMethod(composer, "handleTextChange", Q_ARG(QString, u"收到，回你一张"_s));
        QMetaObject::invokeMethod(composer, "send");
        QTRY_VERIFY_WITH_TIMEOUT(bobSaw(u"收到，回你一张"_s), 20000);
        const ChatMessage mine = *bobSaw(u"收到，回你一张"_s);
        QCOMPARE(mine.from, alice);
        QVERIFY(mine.images && mine.images->size() == 1 && mine.images->first().startsWith(u"/uploads/"_s));
        QTRY_VERIFY_WITH_TIMEOUT(lastRow() && lastRow()->property("messageId") == mine.id, 10000);

        // Recalled from the action dialog: bob hears of it (the row leaving is the chat screen QML test's).
        chatView->setProperty("contextMenuMessage", QVariantMap{{u"id"_s, mine.id}, {u"content"_s, mine.content}, {u"isFromMe"_s, true}});
        QTRY_VERIFY_WITH_TIMEOUT(alertButton(u"messageActions"_s, u"撤回"_s), 5000);
        QMetaObject::invokeMethod(alertButton(u"messageActions"_s, u"撤回"_s), "clicked");
        QTRY_COMPARE_WITH_TIMEOUT(bobRecalled, QStringList{mine.id}, 10000);

        // Deleting bob as a contact from his direct room: both lose each other.
        QMetaObject::invokeMethod(item(u"chatBackButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(u"chatView"_s), 5000);
        QMetaObject::invokeMethod(item(u"messagesView"_s), "openRoom", Q_ARG(QVariant, QVariant::fromValue(RoomType::dm(bob.user.id, u"bob"_s))));
        QTRY_VERIFY_WITH_TIMEOUT(item(u"deleteContactButton"_s), 5000);
        QMetaObject::invokeMethod(item(u"deleteContactButton"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(alertButton(u"deleteContactDialog"_s, u"删除"_s), 5000);
        QMetaObject::invokeMethod(alertButton(u"deleteContactDialog"_s, u"删除"_s), "clicked");
        QTRY_VERIFY_WITH_TIMEOUT(!item(u"chatView"_s), 5000);
        const auto aliceHasBob = [&] {
            for (const User &user : chat->friends())
                if (user.id == bob.user.id)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!aliceHasBob(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(bobFriends.has_value(), 10000);
        for (const User &user : *bobFriends)
            QVERIFY(user.id != alice);
    }
};

QTEST_MAIN(ContactsEndToEndTest)
#include "ContactsEndToEndTest.moc"
