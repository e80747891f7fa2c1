#include "live/GroupCommands.h"

#include "live/ChatClient.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "storage/FriendStore.h"
#include "storage/GroupStore.h"
#include "core/Limits.h"
#include "storage/MessageStore.h"
#include "accounts/SecureRandom.h"
#include "live/WireEvents.h"

#include <QJsonArray>

namespace {
QString gidOf(const QJsonObject &frame)
{
    return frame.value(QStringLiteral("gid")).toString();
}

QString validName(const QJsonObject &frame)
{
    const QString name = frame.value(QStringLiteral("name")).toString().trimmed();
    return name.isEmpty() || name.size() > 30 ? QString() : name;
}

const QString NameRule = QStringLiteral("群名称需为1-30个字符");
} // namespace

void GroupCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("create-group"), [this](ChatClient &c, const QJsonObject &f) { create(c, f); });
    table.insert(QStringLiteral("group-apply"), [this](ChatClient &c, const QJsonObject &f) { apply(c, f); });
    table.insert(QStringLiteral("group-apply-respond"),
                 [this](ChatClient &c, const QJsonObject &f) { answerApplication(c, f); });
    table.insert(QStringLiteral("group-rename"), [this](ChatClient &c, const QJsonObject &f) { rename(c, f); });
    table.insert(QStringLiteral("group-remove-member"),
                 [this](ChatClient &c, const QJsonObject &f) { removeMember(c, f); });
    table.insert(QStringLiteral("group-add-members"), [this](ChatClient &c, const QJsonObject &f) { addMembers(c, f); });
    table.insert(QStringLiteral("group-dissolve"), [this](ChatClient &c, const QJsonObject &f) { dissolve(c, f); });
    table.insert(QStringLiteral("group-leave"), [this](ChatClient &c, const QJsonObject &f) { leave(c, f); });
}

void GroupCommands::refuse(ChatClient &client, const QString &text)
{
    m_context.hub.send(client, WireEvents::error(text));
}

std::optional<ChatGroup> GroupCommands::ownedGroup(ChatClient &client, const QString &gid)
{
    std::optional<ChatGroup> group = m_context.groups.group(gid);
    if (!group) {
        refuse(client, QStringLiteral("群聊不存在"));
        return std::nullopt;
    }
    if (group->owner != client.userId()) {
        refuse(client, QStringLiteral("只有群主可以执行此操作"));
        return std::nullopt;
    }
    return group;
}

std::optional<QStringList> GroupCommands::invitees(ChatClient &client, const QJsonObject &frame)
{
    QStringList members;
    for (const QJsonValue &value : frame.value(QStringLiteral("members")).toArray()) {
        const QString id = value.toString();
        if (id == client.userId() || members.contains(id))
            continue;
        if (!m_context.friends.areFriends(client.userId(), id)) {
            refuse(client, QStringLiteral("只能邀请好友入群"));
            return std::nullopt;
        }
        members << id;
    }
    return members;
}

void GroupCommands::announceMembership(const ChatGroup &group, const QString &removedUserId,
                                       const QStringList &recipients)
{
    QJsonObject event = WireEvents::group(QStringLiteral("group-member-removed"), group.id, group);
    event.insert(QStringLiteral("userId"), removedUserId);
    m_context.hub.sendToUsers(recipients, event);
}

void GroupCommands::welcome(const ChatGroup &group, const QStringList &newMembers)
{
    m_context.hub.sendToUsers(newMembers, WireEvents::group(QStringLiteral("group-apply-accepted"), group.id, group));
}

void GroupCommands::create(ChatClient &client, const QJsonObject &frame)
{
    const QString name = validName(frame);
    if (name.isEmpty())
        return refuse(client, NameRule);
    const std::optional<QStringList> invited = invitees(client, frame);
    if (!invited)
        return;
    if (invited->size() + 1 > m_context.limits.maxGroupMembers)
        return refuse(client, QStringLiteral("群成员数量超出限制"));
    ChatGroup group;
    group.id = SecureRandom::id(QStringLiteral("g"));
    group.name = name;
    group.owner = client.userId();
    group.members = QStringList{client.userId()} + *invited;
    group.createdAt = m_context.clock.nowMs();
    if (!m_context.groups.create(group))
        return refuse(client, QStringLiteral("创建群聊失败，请重试"));
    const std::optional<ChatGroup> created = m_context.groups.group(group.id);
    if (!created)
        return;
    m_context.hub.sendToUser(client.userId(), {{QStringLiteral("type"), QStringLiteral("group-created")},
                                               {QStringLiteral("group"), toJson(*created)}});
    welcome(*created, *invited);
}

void GroupCommands::apply(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = m_context.groups.group(gidOf(frame));
    if (!group)
        return refuse(client, QStringLiteral("群聊不存在"));
    if (group->members.contains(client.userId()))
        return refuse(client, QStringLiteral("你已经是该群成员了"));
    const GroupRequest request = m_context.groups.apply(group->id, client.userId(), m_context.clock.nowMs());
    if (request.id.isEmpty())
        return refuse(client, QStringLiteral("申请失败，请重试"));
    m_context.hub.send(client, {{QStringLiteral("type"), QStringLiteral("group-apply-sent")},
                                {QStringLiteral("gid"), group->id}});
    m_context.hub.sendToUser(group->owner, {{QStringLiteral("type"), QStringLiteral("group-apply-request")},
                                            {QStringLiteral("apply"), toJson(request)}});
}

void GroupCommands::answerApplication(ChatClient &client, const QJsonObject &frame)
{
    const QString action = frame.value(QStringLiteral("action")).toString();
    const std::optional<GroupRequest> request =
        m_context.groups.application(frame.value(QStringLiteral("applyId")).toString());
    if (!request)
        return refuse(client, QStringLiteral("入群申请不存在或已处理"));
    if (action != QLatin1String("accept") && action != QLatin1String("deny"))
        return refuse(client, QStringLiteral("无效的操作"));
    std::optional<ChatGroup> group = ownedGroup(client, request->gid);
    if (!group)
        return;
    if (action == QLatin1String("deny")) {
        m_context.groups.removeApplication(request->id);
        m_context.hub.sendToUser(request->from, {{QStringLiteral("type"), QStringLiteral("group-apply-rejected")},
                                                 {QStringLiteral("gid"), group->id}});
        return;
    }
    if (!group->members.contains(request->from) && group->members.size() >= m_context.limits.maxGroupMembers)
        return refuse(client, QStringLiteral("群成员数量超出限制"));
    const QStringList before = group->members;
    if (!m_context.groups.addMember(group->id, request->from))
        return refuse(client, QStringLiteral("操作失败，请重试"));
    m_context.groups.removeApplication(request->id);
    group = m_context.groups.group(group->id);
    if (!group || before.contains(request->from))
        return;
    welcome(*group, {request->from});
    announceMembership(*group, QString(), before);
}

void GroupCommands::rename(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = ownedGroup(client, gidOf(frame));
    if (!group)
        return;
    const QString name = validName(frame);
    if (name.isEmpty())
        return refuse(client, NameRule);
    if (!m_context.groups.rename(group->id, name))
        return refuse(client, QStringLiteral("操作失败，请重试"));
    const std::optional<ChatGroup> renamed = m_context.groups.group(group->id);
    if (renamed)
        m_context.hub.sendToUsers(renamed->members, WireEvents::group(QStringLiteral("group-renamed"), group->id, *renamed));
}

void GroupCommands::removeMember(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = ownedGroup(client, gidOf(frame));
    if (!group)
        return;
    const QString userId = frame.value(QStringLiteral("userId")).toString();
    if (userId == group->owner)
        return refuse(client, QStringLiteral("群主不能移除自己"));
    if (!group->members.contains(userId))
        return refuse(client, QStringLiteral("该用户不是群成员"));
    if (!m_context.groups.removeMember(group->id, userId))
        return refuse(client, QStringLiteral("操作失败，请重试"));
    m_context.hub.sendToUser(userId, WireEvents::groupRemoved(group->id, QStringLiteral("你已被移出群聊「%1」").arg(group->name)));
    if (const std::optional<ChatGroup> updated = m_context.groups.group(group->id))
        announceMembership(*updated, userId, updated->members);
}

void GroupCommands::addMembers(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = ownedGroup(client, gidOf(frame));
    if (!group)
        return;
    const std::optional<QStringList> invited = invitees(client, frame);
    if (!invited)
        return;
    QStringList joining;
    for (const QString &id : *invited)
        if (!group->members.contains(id))
            joining << id;
    if (joining.isEmpty())
        return refuse(client, QStringLiteral("所选好友已在群中"));
    if (group->members.size() + joining.size() > m_context.limits.maxGroupMembers)
        return refuse(client, QStringLiteral("群成员数量超出限制"));
    for (const QString &id : std::as_const(joining))
        m_context.groups.addMember(group->id, id);
    const std::optional<ChatGroup> updated = m_context.groups.group(group->id);
    if (!updated)
        return;
    welcome(*updated, joining);
    announceMembership(*updated, QString(), group->members);
}

void GroupCommands::dissolve(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = ownedGroup(client, gidOf(frame));
    if (!group)
        return;
    if (!m_context.groups.dissolve(group->id))
        return refuse(client, QStringLiteral("操作失败，请重试"));
    m_context.messages.clearRoom(MessageStore::groupRoom(group->id));
    m_context.hub.sendToUsers(group->members,
                              WireEvents::groupRemoved(group->id, QStringLiteral("群聊「%1」已解散").arg(group->name)));
}

void GroupCommands::leave(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatGroup> group = m_context.groups.group(gidOf(frame));
    if (!group || !group->members.contains(client.userId()))
        return refuse(client, QStringLiteral("你不是该群成员"));
    if (group->owner == client.userId())
        return refuse(client, QStringLiteral("群主不能退出群聊，可以解散群聊"));
    if (!m_context.groups.removeMember(group->id, client.userId()))
        return refuse(client, QStringLiteral("操作失败，请重试"));
    m_context.hub.sendToUser(client.userId(),
                             WireEvents::groupRemoved(group->id, QStringLiteral("你已退出群聊「%1」").arg(group->name)));
    if (const std::optional<ChatGroup> updated = m_context.groups.group(group->id))
        announceMembership(*updated, client.userId(), updated->members);
}
