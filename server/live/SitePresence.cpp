#include "live/SitePresence.h"

#include "storage/Database.h"

#include <QDateTime>
#include <QSet>
#include <QSqlQuery>

namespace {
qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

SitePresence::SitePresence(Database &db, const QString &nodeId, int nodeTimeoutMs, QObject *parent)
    : QObject(parent), m_db(db), m_nodeId(nodeId), m_nodeTimeoutMs(nodeTimeoutMs)
{
    // Several beats fit in the timeout, so that one late beat does not make a live node look dead.
    m_heartbeat.setInterval(qMax(1, nodeTimeoutMs / 4));
    m_heartbeat.callOnTimeout(this, &SitePresence::beat);
}

bool SitePresence::start()
{
    if (!enlist())
        return false;
    m_heartbeat.start();
    return true;
}

bool SitePresence::enlist()
{
    if (!m_db.exec(QStringLiteral("INSERT INTO nodes(id, seen_at) VALUES(?, ?) ON CONFLICT(id) DO UPDATE SET seen_at = excluded.seen_at"),
                   {m_nodeId, now()}))
        return false;
    for (const QString &userId : std::as_const(m_here))
        arrived(userId);
    return true;
}

void SitePresence::beat()
{
    QSqlQuery renewed = m_db.run(QStringLiteral("UPDATE nodes SET seen_at = ? WHERE id = ?"), {now(), m_nodeId});
    if (renewed.isActive() && renewed.numRowsAffected() == 0)
        enlist(); // another node took this one for dead
    // Users of a dead node go with it (ON DELETE CASCADE); the node whose delete took them tells the
    // others, in the same transaction (`dropped` is answered inside it), so that should this node fail
    // before telling, the next node to look still finds the dead rows.
    if (!m_db.transaction())
        return;
    QSqlQuery dead = m_db.run(QStringLiteral("DELETE FROM nodes WHERE seen_at < ? RETURNING id"), {now() - m_nodeTimeoutMs});
    const bool nodeLost = dead.next();
    dead.finish();
    if (dropDeparted() || nodeLost)
        emit dropped();
    m_db.commit();
}

bool SitePresence::dropDeparted()
{
    const QSet<QString> here(m_here.cbegin(), m_here.cend());
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT user_id FROM presence WHERE node = ?"), {m_nodeId});
    QStringList departed;
    while (rows.next()) {
        if (!here.contains(rows.value(0).toString()))
            departed << rows.value(0).toString();
    }
    rows.finish();
    for (const QString &userId : std::as_const(departed))
        m_db.exec(QStringLiteral("DELETE FROM presence WHERE node = ? AND user_id = ?"), {m_nodeId, userId});
    return !departed.isEmpty();
}

void SitePresence::arrived(const QString &userId)
{
    if (!m_here.contains(userId))
        m_here << userId;
    m_db.exec(QStringLiteral("INSERT INTO presence(node, user_id, since) VALUES(?, ?, ?) ON CONFLICT DO NOTHING"),
              {m_nodeId, userId, now()});
}

void SitePresence::left(const QString &userId)
{
    m_here.removeOne(userId);
    m_db.exec(QStringLiteral("DELETE FROM presence WHERE node = ? AND user_id = ?"), {m_nodeId, userId});
}

bool SitePresence::isOnline(const QString &userId)
{
    return m_db.scalar(QStringLiteral("SELECT 1 FROM presence WHERE user_id = ? LIMIT 1"), {userId}).isValid();
}

QStringList SitePresence::onlineUsers()
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT user_id FROM presence GROUP BY user_id ORDER BY MIN(since), user_id"));
    QStringList users;
    while (rows.next())
        users << rows.value(0).toString();
    return users;
}
