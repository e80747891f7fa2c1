#pragma once
// The event frames the server sends, built in one place so that every sender uses the members the
// client reads.
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "User.h"

#include <QJsonObject>
#include <QString>

class WireEvents
{
public:
    static QJsonObject error(const QString &text);
    static QJsonObject system(const QString &text);
    // "global", "dm" or "group" with the message's members beside "type".
    static QJsonObject message(const QString &type, const ChatMessage &message);
    static QJsonObject group(const QString &type, const QString &gid, const ChatGroup &group);
    static QJsonObject groupRemoved(const QString &gid, const QString &text);
    static QJsonObject friends(const QList<User> &friends);
    static QString text(const QJsonObject &event);
};
