#include "ScreenshotTour.h"

#include "ChatViewModel.h"
#include "ZephlinApplication.h"

#include <QQuickWindow>

// The contacts tab with and without waiting requests, its sheets empty, refused and filled in,
// then the group settings of alice's own group (with the rename alert and the add-members sheet)
// and of bob's group, where she is only a member.
void ScreenshotTour::planContactScreens(const QString &suffix)
{
    const auto always = [] { return true; };
    const auto show = [this](const QString &view, const char *flag, bool on) { setProperty(view, flag, on); };
    const auto chat = [this] { return m_app.window()->property("chat").value<ChatViewModel *>(); };
    const auto userId = [chat](const QString &name) {
        for (const User &user : chat()->friends())
            if (user.username == name)
                return user.id;
        return QString();
    };
    const QString contacts = QStringLiteral("contactsView");
    // Opens the chat of alice's own group or of one where she is only a member.
    const auto openGroup = [this, chat, contacts](bool owned) {
        for (const ChatGroup &group : chat()->groups())
            if ((group.owner == ChatViewModel::currentUserId()) == owned) {
                QMetaObject::invokeMethod(find(contacts), "openRoom",
                                          Q_ARG(QVariant, QVariant::fromValue(RoomType::group(group.id, group.name))));
                return;
            }
        fail(QStringLiteral("no such group"));
    };
    m_steps.append({always, [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 1); }, 500,
                    QStringLiteral("contacts") + suffix});
    m_steps.append({always, [this, show, contacts] { show(contacts, "showAddFriend", true); }, 500, QStringLiteral("add-friend") + suffix});
    m_steps.append({always, [this] { call(QStringLiteral("addFriendSheet"), "submit"); }, 300,
                    QStringLiteral("add-friend-empty") + suffix});
    m_steps.append({always, [this] { setProperty(QStringLiteral("addFriendSheet"), "username", QStringLiteral("小红")); }, 300,
                    QStringLiteral("add-friend-filled") + suffix});
    m_steps.append({always, [this, show, contacts] {
                        show(contacts, "showAddFriend", false);
                        show(contacts, "showCreateGroup", true);
                    }, 500, QStringLiteral("create-group") + suffix});
    m_steps.append({always, [this] { call(QStringLiteral("createGroupSheet"), "submit"); }, 300,
                    QStringLiteral("create-group-no-name") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("createGroupSheet"), "groupName", QStringLiteral("周末读书会"));
                        call(QStringLiteral("createGroupSheet"), "submit");
                    }, 300, QStringLiteral("create-group-no-friends") + suffix});
    m_steps.append({always, [this, userId] {
                        setProperty(QStringLiteral("createGroupSheet"), "selectedMembers",
                                    QStringList{userId(QStringLiteral("bob")), userId(QStringLiteral("carol"))});
                    }, 300, QStringLiteral("create-group-filled") + suffix});
    m_steps.append({always, [this, show, contacts] {
                        show(contacts, "showCreateGroup", false);
                        show(contacts, "showSearchGroup", true);
                    }, 500, QStringLiteral("search-group") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("searchGroupSheet"), "keyword", QStringLiteral("周末"));
                        call(QStringLiteral("searchGroupSheet"), "search");
                    }, 1200, QStringLiteral("search-group-results") + suffix});
    m_steps.append({always, [this] {
                        setProperty(QStringLiteral("searchGroupSheet"), "keyword", QStringLiteral("没有这个群"));
                        call(QStringLiteral("searchGroupSheet"), "search");
                    }, 1200, QStringLiteral("search-group-none") + suffix});
    m_steps.append({always, [this, show, contacts, openGroup] {
                        call(QStringLiteral("searchGroupSheet"), "clear");
                        show(contacts, "showSearchGroup", false);
                        openGroup(true);
                    }, 800, QString()});
    const QString settings = QStringLiteral("groupSettingsSheet");
    const QString chatView = QStringLiteral("chatView");
    m_steps.append({[this, chatView] { return find(chatView) != nullptr; },
                    [show, chatView] { show(chatView, "showGroupSettings", true); }, 600,
                    QStringLiteral("group-settings-owner") + suffix});
    m_steps.append({always, [this, show, settings] {
                        setProperty(settings, "newName", QStringLiteral("周末徒步俱乐部"));
                        show(settings, "showRename", true);
                    }, 500, QStringLiteral("group-rename") + suffix});
    m_steps.append({always, [this, show, settings] {
                        show(settings, "showRename", false);
                        show(settings, "showAddMembers", true);
                    }, 500, QStringLiteral("group-add-members") + suffix});
    m_steps.append({always, [this, userId] {
                        setProperty(QStringLiteral("addMembersSheet"), "selected", QStringList{userId(QStringLiteral("admin"))});
                    }, 300, QStringLiteral("group-add-members-picked") + suffix});
    m_steps.append({always, [this, show, settings, chatView, contacts] {
                        show(settings, "showAddMembers", false);
                        show(chatView, "showGroupSettings", false);
                        call(contacts, "closeRoom");
                    }, 400, QString()});
    m_steps.append({[this, chatView] { return find(chatView) == nullptr; }, [openGroup] { openGroup(false); }, 800, QString()});
    m_steps.append({[this, chatView] { return find(chatView) != nullptr; },
                    [show, chatView] { show(chatView, "showGroupSettings", true); }, 600,
                    QStringLiteral("group-settings-member") + suffix});
    m_steps.append({always, [this, show, chatView, contacts] {
                        show(chatView, "showGroupSettings", false);
                        call(contacts, "closeRoom");
                    }, 400, QString()});
}

// The contacts tab of an account nobody has asked to be friends with: the administrator's.
void ScreenshotTour::planContactsWithoutRequests(const QString &suffix)
{
    m_steps.append({[] { return true; }, [this] { setProperty(QStringLiteral("mainTabs"), "selectedTab", 1); }, 500,
                    QStringLiteral("contacts-no-requests") + suffix});
}
