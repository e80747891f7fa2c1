#include "live/FriendCommands.h"

#include "accounts/AccountService.h"
#include "live/ChatClient.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "storage/FriendStore.h"
#include "accounts/SecureRandom.h"
#include "live/WireEvents.h"

void FriendCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("friend-request"), [this](ChatClient &c, const QJsonObject &f) { request(c, f); });
    table.insert(QStringLiteral("request-respond"), [this](ChatClient &c, const QJsonObject &f) { respond(c, f); });
    table.insert(QStringLiteral("unfriend"), [this](ChatClient &c, const QJsonObject &f) { unfriend(c, f); });
}

void FriendCommands::sendFriendLists(const QStringList &userIds)
{
    for (const QString &userId : userIds)
        if (m_context.hub.isOnline(userId))
            m_context.hub.sendToUser(userId,
                                     WireEvents::friends(m_context.accounts.users().inOrder(m_context.friends.friendsOf(userId))));
}

void FriendCommands::request(ChatClient &client, const QJsonObject &frame)
{
    const auto refuse = [&](const QString &text) {
        m_context.hub.send(client, {{QStringLiteral("type"), QStringLiteral("request-sent")},
                                    {QStringLiteral("ok"), false},
                                    {QStringLiteral("error"), text}});
    };
    const QString me = client.userId();
    const std::optional<StoredUser> target = m_context.accounts.users().byName(
        frame.value(QStringLiteral("username")).toString().trimmed());
    if (!target)
        return refuse(QStringLiteral("用户不存在"));
    const QString other = target->user.id;
    if (other == me)
        return refuse(QStringLiteral("不能添加自己为好友"));
    if (m_context.friends.areFriends(me, other))
        return refuse(QStringLiteral("你们已经是好友了"));
    // Asking again is not an error, but the other user is told only once.
    if (!m_context.friends.pending(me, other)) {
        const FriendStore::Request stored{SecureRandom::id(QStringLiteral("r")), me, other, m_context.clock.nowMs()};
        if (!m_context.friends.addRequest(stored))
            return refuse(QStringLiteral("发送失败"));
        const std::optional<StoredUser> sender = m_context.accounts.users().byId(me);
        FriendRequest request;
        request.id = stored.id;
        request.from = me;
        request.time = stored.time;
        if (sender) {
            request.fromName = sender->user.username;
            request.fromAvatar = sender->user.avatar;
        }
        m_context.hub.sendToUser(other, {{QStringLiteral("type"), QStringLiteral("friend-request")},
                                         {QStringLiteral("request"), toJson(request)}});
    }
    m_context.hub.send(client, {{QStringLiteral("type"), QStringLiteral("request-sent")}, {QStringLiteral("ok"), true}});
}

void FriendCommands::respond(ChatClient &client, const QJsonObject &frame)
{
    const QString action = frame.value(QStringLiteral("action")).toString();
    const std::optional<FriendStore::Request> request =
        m_context.friends.request(frame.value(QStringLiteral("requestId")).toString());
    if (!request || request->to != client.userId()) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("好友请求不存在或已处理")));
        return;
    }
    if (action != QLatin1String("accept") && action != QLatin1String("deny")) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("无效的操作")));
        return;
    }
    const bool accept = action == QLatin1String("accept");
    if (accept && !m_context.friends.befriend(request->from, request->to, m_context.clock.nowMs())) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("操作失败，请重试")));
        return;
    }
    m_context.friends.removeRequest(request->id);
    // A request the other way round is settled by this answer too.
    if (accept)
        if (const auto reverse = m_context.friends.pending(request->to, request->from))
            m_context.friends.removeRequest(reverse->id);
    const std::optional<StoredUser> requester = m_context.accounts.users().byId(request->from);
    const QString requesterName = requester ? requester->user.username : QString();
    m_context.hub.send(client, {{QStringLiteral("type"), QStringLiteral("request-respond")},
                                {QStringLiteral("ok"), true},
                                {QStringLiteral("action"), action},
                                {QStringLiteral("fromName"), requesterName}});
    if (!accept)
        return;
    sendFriendLists({request->from, request->to});
    const std::optional<StoredUser> responder = m_context.accounts.users().byId(request->to);
    if (responder)
        m_context.hub.sendToUser(request->from,
                                 WireEvents::system(responder->user.username + QStringLiteral(" 已通过你的好友请求")));
}

void FriendCommands::unfriend(ChatClient &client, const QJsonObject &frame)
{
    const QString other = frame.value(QStringLiteral("userId")).toString();
    if (!m_context.friends.areFriends(client.userId(), other)) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("对方不是你的好友")));
        return;
    }
    m_context.friends.unfriend(client.userId(), other);
    sendFriendLists({client.userId(), other});
}
