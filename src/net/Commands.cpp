#include "Commands.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject command(const char *type, std::initializer_list<std::pair<QString, QJsonValue>> members = {})
{
    QJsonObject object{{QStringLiteral("type"), QLatin1String(type)}};
    for (const auto &[key, value] : members)
        object.insert(key, value);
    return object;
}

QJsonValue stringArray(const QStringList &items)
{
    return QJsonArray::fromStringList(items);
}

// The three message commands share "content", an "images" member only when there are images and
// a "clientId" only when the sender gave one.
QJsonObject message(const char *type, const QString &content, const QStringList &images, const QString &clientId)
{
    QJsonObject object = command(type, {{QStringLiteral("content"), content}});
    if (!images.isEmpty())
        object.insert(QStringLiteral("images"), stringArray(images));
    if (!clientId.isEmpty())
        object.insert(QStringLiteral("clientId"), clientId);
    return object;
}

} // namespace

QJsonObject Commands::auth(const QString &token)
{
    return command("auth", {{QStringLiteral("token"), token}});
}

QJsonObject Commands::global(const QString &content, const QStringList &images, const QString &clientId)
{
    return message("global", content, images, clientId);
}

QJsonObject Commands::dm(const QString &to, const QString &content, const QStringList &images, const QString &clientId)
{
    QJsonObject object = message("dm", content, images, clientId);
    object.insert(QStringLiteral("to"), to);
    return object;
}

QJsonObject Commands::group(const QString &gid, const QString &content, const QStringList &images, const QString &clientId)
{
    QJsonObject object = message("group", content, images, clientId);
    object.insert(QStringLiteral("gid"), gid);
    return object;
}

QJsonObject Commands::createGroup(const QString &name, const QStringList &members)
{
    return command("create-group", {{QStringLiteral("name"), name}, {QStringLiteral("members"), stringArray(members)}});
}

QJsonObject Commands::respondRequest(const QString &requestId, const QString &action)
{
    return command("request-respond", {{QStringLiteral("requestId"), requestId}, {QStringLiteral("action"), action}});
}

QJsonObject Commands::groupApplyRespond(const QString &applyId, const QString &action)
{
    return command("group-apply-respond", {{QStringLiteral("applyId"), applyId}, {QStringLiteral("action"), action}});
}

QJsonObject Commands::groupRename(const QString &gid, const QString &name)
{
    return command("group-rename", {{QStringLiteral("gid"), gid}, {QStringLiteral("name"), name}});
}

QJsonObject Commands::groupRemoveMember(const QString &gid, const QString &userId)
{
    return command("group-remove-member", {{QStringLiteral("gid"), gid}, {QStringLiteral("userId"), userId}});
}

QJsonObject Commands::groupAddMembers(const QString &gid, const QStringList &members)
{
    return command("group-add-members", {{QStringLiteral("gid"), gid}, {QStringLiteral("members"), stringArray(members)}});
}

QJsonObject Commands::momentComment(const QString &momentId, const QString &text)
{
    return command("moment-comment", {{QStringLiteral("mid"), momentId}, {QStringLiteral("text"), text}});
}

QJsonObject Commands::momentCommentDelete(const QString &momentId, const QString &commentId)
{
    return command("moment-comment-delete", {{QStringLiteral("mid"), momentId}, {QStringLiteral("cid"), commentId}});
}

QJsonObject Commands::groupApply(const QString &gid)
{
    return command("group-apply", {{QStringLiteral("gid"), gid}});
}

QJsonObject Commands::recallGlobal(const QString &messageId)
{
    return command("recall", {{QStringLiteral("room"), QStringLiteral("global")}, {QStringLiteral("id"), messageId}});
}

QJsonObject Commands::recallGroup(const QString &messageId, const QString &gid)
{
    return command("recall", {{QStringLiteral("room"), QStringLiteral("group")},
                              {QStringLiteral("id"), messageId},
                              {QStringLiteral("gid"), gid}});
}

QJsonObject Commands::recallDM(const QString &messageId, const QString &peerId)
{
    return command("recall", {{QStringLiteral("room"), QStringLiteral("dm")},
                              {QStringLiteral("id"), messageId},
                              {QStringLiteral("to"), peerId}});
}

QJsonObject Commands::setMaxOnline(int value)
{
    return command("set-max-online", {{QStringLiteral("value"), value}});
}

QJsonObject Commands::renameHall(const QString &name)
{
    return command("rename-hall", {{QStringLiteral("name"), name}});
}

QJsonObject Commands::clearHall()
{
    return command("clear-hall");
}

QJsonObject Commands::banUser(const QString &username)
{
    return command("ban-user", {{QStringLiteral("username"), username}});
}

QJsonObject Commands::unbanUser(const QString &username)
{
    return command("unban-user", {{QStringLiteral("username"), username}});
}

QJsonObject Commands::announce(const QString &content)
{
    return command("announce", {{QStringLiteral("content"), content}});
}

QString Commands::toText(const QJsonObject &command)
{
    return QString::fromUtf8(QJsonDocument(command).toJson(QJsonDocument::Compact));
}
