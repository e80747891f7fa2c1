#include "live/SiteBus.h"

#include "accounts/SecureRandom.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDriver>
#include <QSqlQuery>

namespace {
const QString Channel = QStringLiteral("zephlin_events");
// Writers take this lock for their insert, so that sequence order is commit order and a reader that
// has seen row n can never later find an older row committed behind it.
constexpr qint64 WriterLockKey = 0x7a6570657674; // "zepevt"
// A missed notification (a dropped listening connection) costs at most this much delay.
constexpr int PollIntervalMs = 1000;
constexpr qint64 KeepMs = 10 * 60 * 1000;
constexpr int PruneIntervalMs = 60 * 1000;
} // namespace

SiteBus::SiteBus(Database &writer, const QString &location, QObject *parent)
    : QObject(parent), m_writer(writer), m_location(location), m_nodeId(SecureRandom::id(QStringLiteral("n")))
{
    m_poll.setInterval(PollIntervalMs);
    m_poll.callOnTimeout(this, &SiteBus::catchUp);
    m_pruning.setInterval(PruneIntervalMs);
    m_pruning.callOnTimeout(this, &SiteBus::prune);
}

bool SiteBus::start()
{
    if (!m_listener.open(m_location) || !subscribe())
        return false;
    // A node starting now owes nobody the events that were sent before it came.
    m_lastSeq = m_listener.scalar(QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM events")).toLongLong();
    m_poll.start();
    m_pruning.start();
    return true;
}

bool SiteBus::subscribe()
{
    QSqlDriver *driver = m_listener.driver();
    connect(driver, &QSqlDriver::notification, this, &SiteBus::catchUp, Qt::UniqueConnection);
    return driver->subscribedToNotifications().contains(Channel) || driver->subscribeToNotification(Channel);
}

void SiteBus::publish(Kind kind, const QStringList &targets, const QJsonObject &event)
{
    const QString payload = QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact));
    const QString targetText = QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(targets)).toJson(QJsonDocument::Compact));
    const bool ok = m_writer.transaction()
        && m_writer.exec(QStringLiteral("SELECT pg_advisory_xact_lock(?::bigint)"), {WriterLockKey})
        && m_writer.exec(QStringLiteral("INSERT INTO events(node, kind, targets, payload, created_at) VALUES(?, ?, ?, ?, ?)"),
                         {m_nodeId, int(kind), targetText, payload, QDateTime::currentMSecsSinceEpoch()})
        && m_writer.exec(QStringLiteral("SELECT pg_notify(?, '')"), {Channel}) && m_writer.commit();
    if (!ok)
        m_writer.rollback();
}

void SiteBus::catchUp()
{
    // A dropped connection is opened again by the query below, without its LISTEN: the notifications
    // sent meanwhile are lost, the rows are not, and the next round listens again.
    if (!subscribe())
        return;
    QSqlQuery rows = m_listener.run(QStringLiteral("SELECT seq, node, kind, targets, payload FROM events "
                                                   "WHERE seq > ? ORDER BY seq"),
                                    {m_lastSeq});
    while (rows.next()) {
        m_lastSeq = rows.value(0).toLongLong();
        if (rows.value(1).toString() == m_nodeId)
            continue; // this node delivered it to its own connections when it published it
        QStringList targets;
        for (const QJsonValue &target : QJsonDocument::fromJson(rows.value(3).toByteArray()).array())
            targets << target.toString();
        emit received(Kind(rows.value(2).toInt()), targets, QJsonDocument::fromJson(rows.value(4).toByteArray()).object());
    }
}

void SiteBus::prune()
{
    m_listener.exec(QStringLiteral("DELETE FROM events WHERE created_at < ?"), {QDateTime::currentMSecsSinceEpoch() - KeepMs});
}
