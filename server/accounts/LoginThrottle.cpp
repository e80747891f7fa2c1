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
    // Failures have no id: those at the latest time go, and all but one of them come back.
    const QVariant latest = m_db.scalar(QStringLiteral("SELECT MAX(time) FROM login_failures WHERE key = ?"), {key});
    if (latest.isNull())
        return;
    const int atLatest =
        m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM login_failures WHERE key = ? AND time = ?"), {key, latest}).toInt();
    m_db.exec(QStringLiteral("DELETE FROM login_failures WHERE key = ? AND time = ?"), {key, latest});
    for (int i = 1; i < atLatest; ++i)
        m_db.exec(QStringLiteral("INSERT INTO login_failures(key, time) VALUES(?, ?)"), {key, latest});
}

void LoginThrottle::clear(const QString &key)
{
    m_db.exec(QStringLiteral("DELETE FROM login_failures WHERE key = ?"), {key});
}
