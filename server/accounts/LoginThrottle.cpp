#include "accounts/LoginThrottle.h"

#include "core/Clock.h"

LoginThrottle::LoginThrottle(const Clock &clock, qint64 windowMs) : m_clock(clock), m_windowMs(windowMs) {}

QList<qint64> &LoginThrottle::recent(const QString &key)
{
    QList<qint64> &times = m_failures[key];
    const qint64 cutoff = m_clock.nowMs() - m_windowMs;
    times.removeIf([cutoff](qint64 t) { return t <= cutoff; });
    return times;
}

bool LoginThrottle::blocked(const QString &key, int limit)
{
    const bool over = recent(key).size() >= limit;
    if (m_failures.value(key).isEmpty())
        m_failures.remove(key); // keeps the table from growing with every name ever tried
    return over;
}

void LoginThrottle::recordFailure(const QString &key)
{
    recent(key).append(m_clock.nowMs());
}

void LoginThrottle::withdraw(const QString &key)
{
    QList<qint64> &times = recent(key);
    if (!times.isEmpty())
        times.removeLast();
}

void LoginThrottle::clear(const QString &key)
{
    m_failures.remove(key);
}
