#include "storage/MessageStore.h"

#include "storage/Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

namespace {
const QString Select = QStringLiteral(
    "SELECT m.id, m.sender, m.content, m.images, m.time, m.to_id, m.gid, u.username, u.avatar, u.role, m.room, "
    "m.client_id FROM messages m LEFT JOIN users u ON u.id = m.sender ");

ChatMessage fromRow(const QSqlQuery &row)
{
    ChatMessage message;
    message.id = row.value(0).toString();
    message.from = row.value(1).toString();
    message.content = row.value(2).toString();
    if (!row.value(3).isNull()) {
        QStringList images;
        for (const QJsonValue &image : QJsonDocument::fromJson(row.value(3).toByteArray()).array())
            images << image.toString();
        if (!images.isEmpty())
            message.images = images;
    }
    message.time = row.value(4).toLongLong();
    if (!row.value(5).isNull())
        message.to = row.value(5).toString();
    if (!row.value(6).isNull())
        message.gid = row.value(6).toString();
    if (!row.value(7).isNull())
        message.fromName = row.value(7).toString();
    if (!row.value(8).isNull() && !row.value(8).toString().isEmpty())
        message.fromAvatar = row.value(8).toString();
    if (!row.value(9).isNull()) {
        message.fromRole = row.value(9).toString();
        if (message.fromRole == QLatin1String("bot"))
            message.fromBot = true;
    }
    if (!row.value(11).isNull())
        message.clientId = row.value(11).toString();
    return message;
}

QVariant optional(const std::optional<QString> &value)
{
    return value ? QVariant(*value) : QVariant();
}
} // namespace

std::optional<MessageStore::Stored> MessageStore::first(QSqlQuery rows)
{
    if (!rows.next())
        return std::nullopt;
    return Stored{fromRow(rows), rows.value(10).toString()};
}

QString MessageStore::directKey(const QString &a, const QString &b)
{
    return a < b ? a + u'_' + b : b + u'_' + a;
}

bool MessageStore::insert(const ChatMessage &message, const QString &room)
{
    QVariant images;
    if (message.images && !message.images->isEmpty())
        images = QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(*message.images)).toJson(QJsonDocument::Compact));
    return m_db.exec(QStringLiteral("INSERT INTO messages(id, room, sender, content, images, time, to_id, gid, client_id) "
                                    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     {message.id, room, message.from, message.content, images, message.time, optional(message.to),
                      optional(message.gid), optional(message.clientId)});
}

QList<ChatMessage> MessageStore::recent(const QString &room, int limit)
{
    QSqlQuery rows = m_db.run(Select + QStringLiteral("WHERE m.room = ? ORDER BY m.seq DESC LIMIT ?"), {room, limit});
    QList<ChatMessage> messages;
    while (rows.next())
        messages.prepend(fromRow(rows));
    return messages;
}

std::optional<MessageStore::Stored> MessageStore::byId(const QString &id)
{
    return first(m_db.run(Select + QStringLiteral("WHERE m.id = ?"), {id}));
}

std::optional<MessageStore::Stored> MessageStore::byClientId(const QString &sender, const QString &clientId)
{
    return first(m_db.run(Select + QStringLiteral("WHERE m.sender = ? AND m.client_id = ?"), {sender, clientId}));
}

std::optional<MessageStore::Stored> MessageStore::recalledByClientId(const QString &sender, const QString &clientId)
{
    QSqlQuery row = m_db.run(QStringLiteral("SELECT id, room, to_id, gid FROM recalled_messages WHERE sender = ? AND client_id = ?"),
                             {sender, clientId});
    if (!row.next())
        return std::nullopt;
    ChatMessage message;
    message.id = row.value(0).toString();
    message.from = sender;
    message.clientId = clientId;
    if (!row.value(2).isNull())
        message.to = row.value(2).toString();
    if (!row.value(3).isNull())
        message.gid = row.value(3).toString();
    return Stored{message, row.value(1).toString()};
}

bool MessageStore::remove(const QString &id)
{
    if (!m_db.transaction())
        return false;
    const bool ok = m_db.exec(QStringLiteral("INSERT INTO recalled_messages(sender, client_id, id, room, to_id, gid) "
                                             "SELECT sender, client_id, id, room, to_id, gid FROM messages "
                                             "WHERE id = ? AND client_id IS NOT NULL"),
                              {id})
        && m_db.exec(QStringLiteral("DELETE FROM messages WHERE id = ?"), {id});
    if (ok && m_db.commit())
        return true;
    m_db.rollback();
    return false;
}

bool MessageStore::clearRoom(const QString &room)
{
    return m_db.exec(QStringLiteral("DELETE FROM messages WHERE room = ?"), {room});
}

QStringList MessageStore::directPeers(const QString &userId, int limit)
{
    QSqlQuery rows = m_db.run(
        QStringLiteral("SELECT MAX(CASE WHEN sender = ? THEN to_id ELSE sender END) AS peer, MAX(seq) AS last "
                       "FROM messages WHERE room LIKE 'dm:%' AND (sender = ? OR to_id = ?) "
                       "GROUP BY room ORDER BY last DESC LIMIT ?"),
        {userId, userId, userId, limit});
    QStringList peers;
    while (rows.next())
        peers << rows.value(0).toString();
    return peers;
}

int MessageStore::count(const QString &room)
{
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM messages WHERE room = ?"), {room}).toInt();
}
