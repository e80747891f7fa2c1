#include "live/AdminCommands.h"

#include "accounts/AccountService.h"
#include "live/ChatClient.h"
#include "live/ChatHub.h"
#include "storage/HallSettings.h"
#include "storage/MessageStore.h"
#include "live/WireEvents.h"

namespace {
const QString NotStored = QStringLiteral("保存失败，请重试");

QJsonObject event(const QString &type, const QString &key, const QJsonValue &value)
{
    return {{QStringLiteral("type"), type}, {key, value}};
}
} // namespace

void AdminCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("set-max-online"), adminOnly(&AdminCommands::setMaxOnline));
    table.insert(QStringLiteral("rename-hall"), adminOnly(&AdminCommands::renameHall));
    table.insert(QStringLiteral("clear-hall"), adminOnly(&AdminCommands::clearHall));
    table.insert(QStringLiteral("ban-user"), adminOnly(&AdminCommands::ban));
    table.insert(QStringLiteral("unban-user"), adminOnly(&AdminCommands::unban));
    table.insert(QStringLiteral("announce"), adminOnly(&AdminCommands::announce));
}

CommandHandler AdminCommands::adminOnly(void (AdminCommands::*handler)(ChatClient &, const QJsonObject &))
{
    return [this, handler](ChatClient &client, const QJsonObject &frame) {
        const std::optional<StoredUser> caller = m_context.accounts.users().byId(client.userId());
        if (!caller || !caller->isAdmin())
            return m_context.hub.send(client, WireEvents::error(QStringLiteral("需要管理员权限")));
        (this->*handler)(client, frame);
    };
}

void AdminCommands::setMaxOnline(ChatClient &client, const QJsonObject &frame)
{
    const QJsonValue value = frame.value(QStringLiteral("value"));
    const double number = value.toDouble(-1);
    // 0 lifts the limit.
    if (!value.isDouble() || number != qint64(number) || number < 0 || number > 100000)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("在线人数上限需为0-100000的整数（0为不限）")));
    if (!m_context.hall.setMaxOnline(int(number)))
        return m_context.hub.send(client, WireEvents::error(NotStored));
    m_context.hub.broadcast(event(QStringLiteral("max-online"), QStringLiteral("maxOnline"), int(number)));
    m_context.hub.send(client, WireEvents::system(number == 0 ? QStringLiteral("已取消在线人数上限")
                                                              : QStringLiteral("在线人数上限已设为 %1").arg(int(number))));
}

void AdminCommands::renameHall(ChatClient &client, const QJsonObject &frame)
{
    const QString name = frame.value(QStringLiteral("name")).toString().trimmed();
    if (name.isEmpty() || name.size() > 20)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("大厅名称需为1-20个字符")));
    if (!m_context.hall.setHallName(name))
        return m_context.hub.send(client, WireEvents::error(NotStored));
    m_context.hub.broadcast(event(QStringLiteral("hall-renamed"), QStringLiteral("hallName"), name));
}

void AdminCommands::clearHall(ChatClient &client, const QJsonObject &)
{
    if (!m_context.messages.clearRoom(MessageStore::hallRoom()))
        return m_context.hub.send(client, WireEvents::error(NotStored));
    m_context.hub.broadcast({{QStringLiteral("type"), QStringLiteral("hall-cleared")}});
}

void AdminCommands::ban(ChatClient &client, const QJsonObject &frame)
{
    const QString name = frame.value(QStringLiteral("username")).toString().trimmed();
    const std::optional<StoredUser> target = m_context.accounts.users().byName(name);
    if (!target)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("用户不存在")));
    if (target->user.id == client.userId())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("不能封禁自己")));
    if (target->isAdmin())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("不能封禁管理员")));
    const Outcome<AccountService::Sessions> done = m_context.accounts.setBanned(name, true);
    if (!done)
        return m_context.hub.send(client, WireEvents::error(done.refusal().message));
    m_context.hub.closeUser(target->user.id, event(QStringLiteral("banned"), QStringLiteral("error"),
                                                   QStringLiteral("账号已被封禁")));
    m_context.hub.send(client, WireEvents::system(QStringLiteral("已封禁用户 %1").arg(target->user.username)));
}

void AdminCommands::unban(ChatClient &client, const QJsonObject &frame)
{
    const Outcome<AccountService::Sessions> done =
        m_context.accounts.setBanned(frame.value(QStringLiteral("username")).toString().trimmed(), false);
    if (!done)
        return m_context.hub.send(client, WireEvents::error(done.refusal().message));
    m_context.hub.send(client, WireEvents::system(QStringLiteral("已解除封禁")));
}

void AdminCommands::announce(ChatClient &client, const QJsonObject &frame)
{
    const QString text = frame.value(QStringLiteral("content")).toString().trimmed();
    if (text.size() > 500)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("公告不能超过500个字符")));
    if (!m_context.hall.setAnnouncement(text))
        return m_context.hub.send(client, WireEvents::error(NotStored));
    m_context.hub.broadcast(event(QStringLiteral("announcement-update"), QStringLiteral("announcement"), text));
}
