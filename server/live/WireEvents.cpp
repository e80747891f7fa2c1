#include "live/WireEvents.h"

#include "User.h"

#include <QJsonDocument>

QJsonObject WireEvents::error(const QString &text)
{
    return {{QStringLiteral("type"), QStringLiteral("error")}, {QStringLiteral("error"), text}};
}

QJsonObject WireEvents::system(const QString &text)
{
    return {{QStringLiteral("type"), QStringLiteral("system")}, {QStringLiteral("content"), text}};
}

QJsonObject WireEvents::message(const QString &type, const ChatMessage &message)
{
    QJsonObject event = toJson(message).toObject();
    event.insert(QStringLiteral("type"), type);
    return event;
}

QJsonObject WireEvents::group(const QString &type, const QString &gid, const ChatGroup &group)
{
    return {{QStringLiteral("type"), type}, {QStringLiteral("gid"), gid}, {QStringLiteral("group"), toJson(group)}};
}

QJsonObject WireEvents::groupRemoved(const QString &gid, const QString &text)
{
    return {{QStringLiteral("type"), QStringLiteral("group-removed")},
            {QStringLiteral("gid"), gid},
            {QStringLiteral("error"), text}};
}

QJsonObject WireEvents::friends(const QList<User> &friends)
{
    return {{QStringLiteral("type"), QStringLiteral("friend-update")}, {QStringLiteral("friends"), toJson(friends)}};
}

QString WireEvents::text(const QJsonObject &event)
{
    return QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact));
}
