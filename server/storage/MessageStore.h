#pragma once
// Chat messages of the hall, direct rooms and groups. A message is committed here before anyone is
// told of it, so a restart serves exactly what was delivered.
#include "ChatMessage.h"

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <optional>

class Database;

class MessageStore
{
public:
    explicit MessageStore(Database &db) : m_db(db) {}

    static QString hallRoom() { return QStringLiteral("global"); }
    // The client's direct-room key: both ids joined by "_", the smaller first.
    static QString directKey(const QString &a, const QString &b);
    static QString directRoom(const QString &a, const QString &b) { return QStringLiteral("dm:") + directKey(a, b); }
    static QString groupRoom(const QString &gid) { return QStringLiteral("group:") + gid; }

    bool insert(const ChatMessage &message, const QString &room);
    // The newest `limit` messages of a room, oldest first, with the senders' current names and avatars.
    QList<ChatMessage> recent(const QString &room, int limit);

    struct Stored
    {
        ChatMessage message;
        QString room;
    };
    std::optional<Stored> byId(const QString &id);
    // The message the sender sent under its own client id, if any.
    std::optional<Stored> byClientId(const QString &sender, const QString &clientId);
    // The same for a message recalled since: only its ids, room and addressee are kept.
    std::optional<Stored> recalledByClientId(const QString &sender, const QString &clientId);
    // Deletes a message; one with a client id leaves that behind for recalledByClientId.
    bool remove(const QString &id);
    bool clearRoom(const QString &room);
    // The peers of the user's direct rooms that hold messages, most recently active first.
    QStringList directPeers(const QString &userId, int limit);
    int count(const QString &room);

private:
    static std::optional<Stored> first(QSqlQuery rows);

    Database &m_db;
};
