// The contacts tab and the group sheets against the real server: the real application signed in
// as alice, and a newly registered dora as a second client made of the client core. Alice asks
// dora to be friends by name, dora accepts and shows online; alice makes a group with her.
#include "APIService.h"
#include "ChatViewModel.h"
#include "RootController.h"
#include "DemoAppDriver.h"
#include "SettingsStore.h"
#include "WebSocketService.h"
#include "ZephlinApplication.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <memory>

Q_IMPORT_QML_PLUGIN(Zephlin_AppPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ChatPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ImagesPlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_UpdatePlugin)
Q_IMPORT_QML_PLUGIN(Zephlin_ScreensPlugin)

using namespace std::chrono_literals;

class ContactsEndToEndTest : public QObject
{
    Q_OBJECT

    DemoAppDriver m_driver;

    QObject *item(const QString &name) const { return m_driver.item(name); }

    static std::optional<ChatGroup> named(const QList<ChatGroup> &groups, const QString &name)
    {
        for (const ChatGroup &group : groups)
            if (group.name == name)
                return group;
        return std::nullopt;
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

    void friendsGroupsAndApplications()
    {
        ChatViewModel *chat = m_driver.signIn(QStringLiteral("alice"), QStringLiteral("alice123"));
        QVERIFY(chat);
        item(QStringLiteral("mainTabs"))->setProperty("selectedTab", 1);

        // Dora: registered now, the client core with callbacks of her own.
        QVERIFY(DemoAppDriver::await<RegisterResponse>([](auto done) {
            APIService::shared().registerUser(QStringLiteral("dora"), QStringLiteral("dora123"), nullptr, done);
        }).ok());
        const Result<LoginResponse> dora = DemoAppDriver::await<LoginResponse>([](auto done) {
            APIService::shared().login(QStringLiteral("dora"), QStringLiteral("dora123"), nullptr, done);
        });
        QVERIFY2(dora.ok(), qPrintable(dora.error()));
        WebSocketTiming quick;
        quick.authDelay = 20ms;
        WebSocketService doraSocket(quick);
        bool doraHello = false;
        std::optional<FriendRequest> request;
        QStringList doraJoined;
        doraSocket.onHello = [&](const HelloMessage &) { doraHello = true; };
        doraSocket.onFriendRequest = [&](const FriendRequest &r) { request = r; };
        // A new member hears of a group as an accepted application, also when invited.
        doraSocket.onGroupApplyAccepted = [&](const QString &gid, const auto &) { doraJoined << gid; };
        doraSocket.connectToServer(dora->token);
        QTRY_VERIFY_WITH_TIMEOUT(doraHello, 10000);

        // Alice asks by name through the add-friend sheet; dora accepts; the tab shows her online.
        QObject *addFriend = open(QStringLiteral("contactsView"), "showAddFriend", QStringLiteral("addFriendSheet"));
        addFriend->setProperty("username", QStringLiteral("dora"));
        QMetaObject::invokeMethod(addFriend, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(request.has_value(), 10000);
        doraSocket.respondRequest(request->id, QStringLiteral("accept"));
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
        create->setProperty("selectedMembers", QStringList{dora->user.id});
        QMetaObject::invokeMethod(create, "submit");
        QTRY_VERIFY_WITH_TIMEOUT(named(chat->groups(), QStringLiteral("读书会")), 10000);
        const QString gid = named(chat->groups(), QStringLiteral("读书会"))->id;
        QTRY_COMPARE_WITH_TIMEOUT(doraJoined, QStringList{gid}, 10000);
        doraSocket.disconnectFromServer();
    }
};

QTEST_MAIN(ContactsEndToEndTest)
#include "ContactsEndToEndTest.moc"
