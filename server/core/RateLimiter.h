#pragma once
// Token buckets by key (a user id, an address): `burst` actions at once, refilled at `perSecond`.
// Buckets that have refilled completely are forgotten, so the table holds only recent actors.
#include <QHash>
#include <QString>

class Clock;

class RateLimiter
{
public:
    RateLimiter(const Clock &clock, int burst, double perSecond) : m_clock(clock), m_burst(burst), m_perSecond(perSecond) {}

    // Takes one action from the key's allowance; false when it is used up.
    bool take(const QString &key);

private:
    struct Bucket
    {
        double allowance = 0;
        qint64 refilledMs = 0;
    };
    void forgetFull(qint64 nowMs);

    const Clock &m_clock;
    int m_burst;
    double m_perSecond;
    QHash<QString, Bucket> m_buckets;
    qint64 m_sweptMs = 0;
};
