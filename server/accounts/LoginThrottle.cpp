#include "accounts/LoginThrottle.h"

#include "core/Clock.h"
#include "storage/Database.h"

LoginThrottle::LoginThrottle(Database &db, const Clock &clock, qint64 windowMs)
    : m_db(db), m_clock(clock), m_windowMs(windowMs)
{
}

bool LoginThrottle::blocked(const QString &key, int limit)
{
    return m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM login_failures WHERE key = ? AND time > ?"),
                       {key, m_clock.nowMs() - m_windowMs})
               .toInt()
        >= limit;
}

void LoginThrottle::recordFailure(const QString &key)
{
    const qint64 now = m_clock.nowMs();
    // Failures that left the window count for no key any more; dropping them keeps the table small.
    m_db.exec(QStringLiteral("DELETE FROM login_failures WHERE time <= ?"), {now - m_windowMs});
    m_db.exec(QStringLiteral("INSERT INTO login_failures(key, time) VALUES(?, ?)"), {key, now});
}

void LoginThrottle::withdraw(const QString &key)
{
    // Failures have no id: those at the latest time go, and all but one of them come back, in one
    // unit of work. Only rows this very statement deleted come back, so a node withdrawing the same
    // key at the same time never makes this one restore failures it did not take.
    if (!m_db.transaction())
        return;
    QSqlQuery gone = m_db.run(QStringLiteral("DELETE FROM login_failures WHERE key = ? AND time = "
                                             "(SELECT MAX(time) FROM login_failures WHERE key = ?) RETURNING time"),
                              {key, key});
    bool ok = gone.isActive();
    QVariantList restored;
    while (gone.next())
        restored << gone.value(0);
    gone.finish();
    if (!restored.isEmpty())
        restored.removeLast();
    for (const QVariant &time : std::as_const(restored))
        ok = ok && m_db.exec(QStringLiteral("INSERT INTO login_failures(key, time) VALUES(?, ?)"), {key, time});
    if (!ok || !m_db.commit())
        m_db.rollback();
}

void LoginThrottle::clear(const QString &key)
{
    m_db.exec(QStringLiteral("DELETE FROM login_failures WHERE key = ?"), {key});
}
