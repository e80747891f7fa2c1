#include "storage/MomentStore.h"

#include "storage/Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlQuery>

namespace {
const QString Select = QStringLiteral("SELECT m.id, m.author, u.username, u.avatar, m.text, m.images, m.time "
                                      "FROM moments m LEFT JOIN users u ON u.id = m.author ");
// Posts of the viewer (bound three times) and of the viewer's friends.
const QString VisibleTo = QStringLiteral("(m.author = ? OR m.author IN (SELECT user_b FROM friendships WHERE user_a = ? "
                                         "UNION SELECT user_a FROM friendships WHERE user_b = ?))");

Moment fromRow(const QSqlQuery &row)
{
    Moment moment;
    moment.id = row.value(0).toString();
    moment.author = row.value(1).toString();
    if (!row.value(2).isNull())
        moment.authorName = row.value(2).toString();
    if (!row.value(3).isNull() && !row.value(3).toString().isEmpty())
        moment.authorAvatar = row.value(3).toString();
    moment.text = row.value(4).toString();
    for (const QJsonValue &image : QJsonDocument::fromJson(row.value(5).toByteArray()).array())
        moment.images << image.toString();
    moment.time = row.value(6).toLongLong();
    return moment;
}
} // namespace

void MomentStore::fill(Moment &moment)
{
    QSqlQuery likes = m_db.run(QStringLiteral("SELECT user_id FROM moment_likes WHERE mid = ? ORDER BY rowid"), {moment.id});
    while (likes.next())
        moment.likes << likes.value(0).toString();
    QSqlQuery comments = m_db.run(QStringLiteral("SELECT c.author, u.username, c.text, c.time FROM moment_comments c "
                                                 "LEFT JOIN users u ON u.id = c.author WHERE c.mid = ? ORDER BY c.rowid"),
                                  {moment.id});
    while (comments.next()) {
        MomentComment comment;
        comment.user = comments.value(0).toString();
        if (!comments.value(1).isNull())
            comment.userName = comments.value(1).toString();
        comment.text = comments.value(2).toString();
        comment.time = comments.value(3).toLongLong();
        moment.comments << comment;
    }
}

QStringList MomentStore::feedIds(const QString &viewerId, int limit)
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT m.id FROM moments m WHERE ") + VisibleTo
                                  + QStringLiteral(" ORDER BY m.time DESC, m.rowid DESC LIMIT ?"),
                              {viewerId, viewerId, viewerId, limit});
    QStringList ids;
    while (rows.next())
        ids << rows.value(0).toString();
    return ids;
}

std::optional<Moment> MomentStore::moment(const QString &id)
{
    QSqlQuery row = m_db.run(Select + QStringLiteral("WHERE m.id = ?"), {id});
    if (!row.next())
        return std::nullopt;
    Moment moment = fromRow(row);
    fill(moment);
    return moment;
}

std::optional<Moment> MomentStore::visibleMoment(const QString &id, const QString &viewerId)
{
    if (!m_db.scalar(QStringLiteral("SELECT 1 FROM moments m WHERE m.id = ? AND ") + VisibleTo, {id, viewerId, viewerId, viewerId})
             .isValid())
        return std::nullopt;
    return moment(id);
}

bool MomentStore::create(const Moment &moment)
{
    return m_db.exec(QStringLiteral("INSERT INTO moments(id, author, text, images, time) VALUES(?, ?, ?, ?, ?)"),
                     {moment.id, moment.author, moment.text,
                      QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(moment.images)).toJson(QJsonDocument::Compact)),
                      moment.time});
}

bool MomentStore::remove(const QString &id)
{
    return m_db.exec(QStringLiteral("DELETE FROM moments WHERE id = ?"), {id});
}

bool MomentStore::toggleLike(const QString &mid, const QString &userId)
{
    if (m_db.scalar(QStringLiteral("SELECT 1 FROM moment_likes WHERE mid = ? AND user_id = ?"), {mid, userId}).isValid())
        return m_db.exec(QStringLiteral("DELETE FROM moment_likes WHERE mid = ? AND user_id = ?"), {mid, userId});
    return m_db.exec(QStringLiteral("INSERT INTO moment_likes(mid, user_id) VALUES(?, ?)"), {mid, userId});
}

bool MomentStore::addComment(const QString &mid, const MomentComment &comment)
{
    return m_db.exec(QStringLiteral("INSERT INTO moment_comments(mid, author, text, time) VALUES(?, ?, ?, ?)"),
                     {mid, comment.user, comment.text, comment.time});
}

bool MomentStore::removeComment(const QString &mid, const QString &cid)
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT rowid, author, text, time FROM moment_comments WHERE mid = ? "
                                             "ORDER BY rowid"),
                              {mid});
    while (rows.next()) {
        const QString id = rows.value(1).toString() + rows.value(2).toString() + QString::number(rows.value(3).toLongLong());
        if (id == cid)
            return m_db.exec(QStringLiteral("DELETE FROM moment_comments WHERE rowid = ?"), {rows.value(0)});
    }
    return false;
}
