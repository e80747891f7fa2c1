#include "LiveEventHandler.h"

#include "ChatViewModel.h"
#include "HelloMerger.h"
#include "NotificationCenter.h"
#include "Outbox.h"
#include "WebSocketService.h"

#include <QPointer>
#include <algorithm>
#include <type_traits>

namespace {
// Wraps a handler so it runs only while the chat state exists.
template <typename... Args>
std::function<void(Args...)> weakly(ChatViewModel &chat, std::type_identity_t<std::function<void(ChatViewModel &, Args...)>> handler)
{
    return [guard = QPointer<ChatViewModel>(&chat), handler = std::move(handler)](Args... args) {
        if (guard)
            handler(*guard, std::forward<Args>(args)...);
    };
}
} // namespace

void LiveEventHandler::install(ChatViewModel &chat, WebSocketService &ws)
{
    using Box = MessageStore::Box;
    using Chat = ChatViewModel;

    ws.onHello = weakly<HelloMessage>(chat, [](Chat &c, HelloMessage hello) { HelloMerger::merge(c, std::move(hello)); });
    ws.onGlobalMessage = weakly<const ChatMessage &>(chat, [](Chat &c, const ChatMessage &m) {
        receive(c, m, {Box::Global, QString()});
    });
    ws.onDMMessage = weakly<const ChatMessage &>(chat, [](Chat &c, const ChatMessage &m) {
        const QString me = ChatViewModel::currentUserId();
        const QString peer = m.from == me ? m.to.value_or(QString()) : m.from;
        receive(c, m, {Box::Dm, ChatViewModel::dmRoomKey(me, peer)});
    });
    ws.onGroupMessage = weakly<const ChatMessage &>(chat, [](Chat &c, const ChatMessage &m) {
        if (m.gid)
            receive(c, m, {Box::Group, *m.gid});
    });
    ws.onRecalled = weakly<const QString &, const QString &, const std::optional<QString> &, const std::optional<QString> &,
                           const std::optional<QString> &>(chat, &LiveEventHandler::recall);
    const auto toast = [](Chat &c, const QString &text) { c.showToast(text); };
    ws.onError = weakly<const QString &>(chat, toast);
    ws.onSystem = weakly<const QString &>(chat, toast);
    // The sign-out that follows a ban or kick happens even when the chat state is gone.
    const QPointer<ChatViewModel> guard(&chat);
    ws.onBanned = [guard](const QString &text) {
        if (guard)
            guard->showToast(text);
        NotificationCenter::shared().post(QStringLiteral("userBanned"));
    };
    ws.onKicked = [guard](const QString &text) {
        if (guard)
            guard->showToast(text);
        NotificationCenter::shared().post(QStringLiteral("userKicked"));
    };
    ws.onPresence = weakly<const QStringList &>(chat, [](Chat &c, const QStringList &ids) {
        c.setOnlineUsers(QSet<QString>(ids.begin(), ids.end()));
    });
    ws.onAnnouncementUpdate = weakly<const QString &>(chat, [](Chat &c, const QString &text) {
        if (!text.isEmpty())
            c.setAnnouncement(text);
    });
    ws.onFriendRequest = weakly<const FriendRequest &>(chat, [](Chat &c, const FriendRequest &request) {
        for (const FriendRequest &known : c.pendingRequests())
            if (known.id == request.id)
                return;
        c.setPendingRequests(c.pendingRequests() + QList<FriendRequest>{request});
    });
    ws.onFriendUpdate = weakly<const QList<User> &>(chat, [](Chat &c, const QList<User> &friends) {
        c.setFriends(friends);
        c.mutableCache().requestSave();
    });
    ws.onRequestSent = weakly<bool, const std::optional<QString> &>(chat, [](Chat &c, bool ok, const std::optional<QString> &error) {
        c.showToast(ok ? QStringLiteral("验证请求已发送") : error.value_or(QStringLiteral("发送失败")));
    });
    ws.onGroupCreated = weakly<const ChatGroup &>(chat, [](Chat &c, const ChatGroup &group) {
        ChatGroup created = group;
        created.isOwner = true;
        c.mutableCache().beforeUnsavedChange();
        c.setGroups(c.groups() + QList<ChatGroup>{created});
        c.showToast(QStringLiteral("群聊「") + group.name + QStringLiteral("」已创建"));
    });
    ws.onGroupRemoved = weakly<const QString &, const QString &>(chat, [](Chat &c, const QString &gid, const QString &text) {
        c.mutableCache().beforeUnsavedChange();
        QList<ChatGroup> groups = c.groups();
        if (groups.removeIf([&gid](const ChatGroup &group) { return group.id == gid; }) > 0)
            c.setGroups(std::move(groups));
        c.store().dropRoom({Box::Group, gid});
        c.showToast(text);
    });
    ws.onGroupRenamed = weakly<const QString &, const ChatGroup &>(chat, [](Chat &c, const QString &gid, const ChatGroup &group) {
        editGroup(c, gid, [&group](ChatGroup &target) { target.name = group.name; });
    });
    ws.onGroupMemberRemoved = weakly<const QString &, const ChatGroup &, const QString &>(
        chat, [](Chat &c, const QString &gid, const ChatGroup &group, const QString &) {
            editGroup(c, gid, [&group](ChatGroup &target) {
                target.members = group.members;
                target.memberNames = group.memberNames;
                target.memberAvatars = group.memberAvatars;
            });
        });
    ws.onGroupAvatarUpdated = weakly<const QString &, const QString &>(chat, [](Chat &c, const QString &gid, const QString &avatar) {
        editGroup(c, gid, [&avatar](ChatGroup &target) { target.avatar = avatar; });
    });
    ws.onMomentsUpdate = weakly<const QList<Moment> &>(chat, [](Chat &c, const QList<Moment> &moments) { c.setMoments(moments); });
    ws.onHallRenamed = [](const QString &name) { NotificationCenter::shared().post(QStringLiteral("hallRenamed"), name); };
    ws.onHallCleared = weakly<>(chat, [](Chat &c) {
        c.mutableCache().beforeUnsavedChange();
        c.store().setGlobal({});
    });
    ws.onGroupApplySent = weakly<const QString &>(chat, [](Chat &c, const QString &) {
        c.showToast(QStringLiteral("申请已发送，请等待群主审批"));
    });
    ws.onGroupApplyRequest = weakly<const GroupRequest &>(chat, [](Chat &c, const GroupRequest &request) {
        for (const GroupRequest &known : c.groupRequests())
            if (known.id == request.id)
                return;
        c.setGroupRequests(c.groupRequests() + QList<GroupRequest>{request});
        c.showToast(QStringLiteral("收到新的入群申请"));
    });
    ws.onGroupApplyAccepted = weakly<const QString &, const std::optional<ChatGroup> &>(
        chat, [](Chat &c, const QString &, const std::optional<ChatGroup> &group) {
            if (group)
                c.setGroups(c.groups() + QList<ChatGroup>{*group});
            c.showToast(QStringLiteral("你已成功加入群聊"));
            c.mutableCache().requestSave();
        });
    ws.onGroupApplyRejected = weakly<const QString &>(chat, [](Chat &c, const QString &) {
        c.showToast(QStringLiteral("你的入群申请被拒绝了"));
    });
    // The hall capacity otherwise arrives only with the hello snapshot; an administrator's change
    // reaches the session state at once this way.
    ws.onMaxOnlineUpdate = [](int maxOnline) { NotificationCenter::shared().post(QStringLiteral("maxOnlineUpdate"), maxOnline); };
    ws.onDisconnect = weakly<>(chat, [](Chat &c) { c.showToast(QStringLiteral("连接已断开，正在重连...")); });
}

void LiveEventHandler::receive(ChatViewModel &chat, const ChatMessage &message, const MessageStore::Ref &ref)
{
    const QString me = ChatViewModel::currentUserId();
    ChatMessage received = message;
    received.isFromMe = message.from == me;

    MessageStore &store = chat.store();
    store.ensure(ref);
    // The echo answers the pending message of its client id; from a server that does not echo
    // client ids, every pending message of the list goes.
    if (received.isFromMe)
        store.removeIf(ref, [&clientId = message.clientId](const ChatMessage &m) {
            return Outbox::isPending(m) && (!clientId || Outbox::clientIdOf(m) == *clientId);
        });
    const QList<ChatMessage> &list = *store.find(ref);
    const bool known = std::any_of(list.begin(), list.end(), [&received](const ChatMessage &m) { return m.id == received.id; });
    if (!known)
        store.append(ref, received);
    if (ref.box == MessageStore::Box::Global)
        store.trimFront(ref, ChatViewModel::hallLimit);
    chat.mutableCache().requestSave();
}

void LiveEventHandler::recall(ChatViewModel &chat, const QString &room, const QString &messageId,
                              const std::optional<QString> &peerId, const std::optional<QString> &groupId,
                              const std::optional<QString> &clientId)
{
    MessageStore::Ref ref;
    if (room == QLatin1String("global"))
        ref = {MessageStore::Box::Global, QString()};
    else if (room == QLatin1String("dm") && peerId)
        ref = {MessageStore::Box::Dm, ChatViewModel::dmRoomKey(ChatViewModel::currentUserId(), *peerId)};
    else if (room == QLatin1String("group") && groupId)
        ref = {MessageStore::Box::Group, *groupId};
    else
        return;
    // A room without an entry is not created.
    if (!chat.store().find(ref))
        return;
    chat.mutableCache().beforeUnsavedChange();
    // A copy of the user's own still pending goes too: the server answers a stale resend of a message
    // recalled meanwhile with the recall.
    chat.store().removeIf(ref, [&messageId, &clientId](const ChatMessage &m) {
        return m.id == messageId || (clientId && Outbox::isPending(m) && Outbox::clientIdOf(m) == *clientId);
    });
}

void LiveEventHandler::editGroup(ChatViewModel &chat, const QString &gid, const std::function<void(ChatGroup &)> &edit)
{
    QList<ChatGroup> groups = chat.groups();
    for (ChatGroup &group : groups) {
        if (group.id == gid) {
            chat.mutableCache().beforeUnsavedChange();
            edit(group);
            chat.setGroups(std::move(groups));
            return;
        }
    }
}
