#pragma once
// Friendships (stored once per pair, smaller id first) and pending friend requests.
#include "FriendRequest.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

class FriendStore
{
public:
    explicit FriendStore(Database &db) : m_db(db) {}

    bool areFriends(const QString &a, const QString &b);
    QStringList friendsOf(const QString &userId);
    bool befriend(const QString &a, const QString &b, qint64 nowMs);
    bool unfriend(const QString &a, const QString &b);

    struct Request
    {
        QString id;
        QString from;
        QString to;
        qint64 time = 0;
    };
    // The pending request from `from` to `to`, if any.
    std::optional<Request> pending(const QString &from, const QString &to);
    std::optional<Request> request(const QString &id);
    bool addRequest(const Request &request);
    bool removeRequest(const QString &id);
    // Requests addressed to the user, oldest first, with the senders' names and avatars.
    QList<FriendRequest> requestsTo(const QString &userId);

private:
    Database &m_db;
};
