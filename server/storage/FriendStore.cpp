#include "storage/FriendStore.h"

#include "storage/Database.h"

#include <QSqlQuery>

namespace {
std::pair<QString, QString> ordered(const QString &a, const QString &b)
{
    return a < b ? std::pair(a, b) : std::pair(b, a);
}

FriendStore::Request requestFrom(const QSqlQuery &row)
{
    return {row.value(0).toString(), row.value(1).toString(), row.value(2).toString(), row.value(3).toLongLong()};
}
} // namespace

bool FriendStore::areFriends(const QString &a, const QString &b)
{
    const auto [first, second] = ordered(a, b);
    return m_db.scalar(QStringLiteral("SELECT 1 FROM friendships WHERE user_a = ? AND user_b = ?"), {first, second})
        .isValid();
}

QStringList FriendStore::friendsOf(const QString &userId)
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT user_b FROM friendships WHERE user_a = ? UNION ALL "
                                             "SELECT user_a FROM friendships WHERE user_b = ?"),
                              {userId, userId});
    QStringList ids;
    while (rows.next())
        ids << rows.value(0).toString();
    return ids;
}

bool FriendStore::befriend(const QString &a, const QString &b, qint64 nowMs)
{
    const auto [first, second] = ordered(a, b);
    return m_db.exec(QStringLiteral("INSERT INTO friendships(user_a, user_b, created_at) VALUES(?, ?, ?) ON CONFLICT DO NOTHING"),
                     {first, second, nowMs});
}

bool FriendStore::unfriend(const QString &a, const QString &b)
{
    const auto [first, second] = ordered(a, b);
    return m_db.exec(QStringLiteral("DELETE FROM friendships WHERE user_a = ? AND user_b = ?"), {first, second});
}

std::optional<FriendStore::Request> FriendStore::pending(const QString &from, const QString &to)
{
    QSqlQuery row = m_db.run(
        QStringLiteral("SELECT id, from_id, to_id, time FROM friend_requests WHERE from_id = ? AND to_id = ?"),
        {from, to});
    if (!row.next())
        return std::nullopt;
    return requestFrom(row);
}

std::optional<FriendStore::Request> FriendStore::request(const QString &id)
{
    QSqlQuery row = m_db.run(QStringLiteral("SELECT id, from_id, to_id, time FROM friend_requests WHERE id = ?"), {id});
    if (!row.next())
        return std::nullopt;
    return requestFrom(row);
}

bool FriendStore::addRequest(const Request &request)
{
    return m_db.exec(QStringLiteral("INSERT INTO friend_requests(id, from_id, to_id, time) VALUES(?, ?, ?, ?)"),
                     {request.id, request.from, request.to, request.time});
}

bool FriendStore::removeRequest(const QString &id)
{
    return m_db.exec(QStringLiteral("DELETE FROM friend_requests WHERE id = ?"), {id});
}

QList<FriendRequest> FriendStore::requestsTo(const QString &userId)
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT r.id, r.from_id, r.time, u.username, u.avatar FROM friend_requests r "
                                             "LEFT JOIN users u ON u.id = r.from_id WHERE r.to_id = ? ORDER BY r.time"),
                              {userId});
    QList<FriendRequest> requests;
    while (rows.next()) {
        FriendRequest request;
        request.id = rows.value(0).toString();
        request.from = rows.value(1).toString();
        request.time = rows.value(2).toLongLong();
        if (!rows.value(3).isNull())
            request.fromName = rows.value(3).toString();
        if (!rows.value(4).isNull() && !rows.value(4).toString().isEmpty())
            request.fromAvatar = rows.value(4).toString();
        requests << request;
    }
    return requests;
}
