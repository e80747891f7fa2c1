#include "core/RateLimiter.h"

#include "core/Clock.h"

#include <algorithm>

namespace {
constexpr qint64 SweepIntervalMs = 60'000;
}

bool RateLimiter::take(const QString &key)
{
    const qint64 now = m_clock.nowMs();
    forgetFull(now);
    auto found = m_buckets.find(key);
    if (found == m_buckets.end())
        found = m_buckets.insert(key, Bucket{double(m_burst), now});
    Bucket &bucket = *found;
    const qint64 elapsed = std::max<qint64>(0, now - bucket.refilledMs);
    bucket.allowance = std::min<double>(m_burst, bucket.allowance + elapsed * m_perSecond / 1000.0);
    bucket.refilledMs = now;
    if (bucket.allowance < 1)
        return false;
    bucket.allowance -= 1;
    return true;
}

void RateLimiter::forgetFull(qint64 nowMs)
{
    if (nowMs - m_sweptMs < SweepIntervalMs)
        return;
    m_sweptMs = nowMs;
    m_buckets.removeIf([this, nowMs](const QHash<QString, Bucket>::iterator &it) {
        return it->allowance + (nowMs - it->refilledMs) * m_perSecond / 1000.0 >= m_burst;
    });
}
