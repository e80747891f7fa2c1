#include "MemoryImageCache.h"

MemoryImageCache::MemoryImageCache(qsizetype countLimit, qint64 costLimit)
    : m_countLimit(countLimit), m_costLimit(costLimit)
{
}

std::optional<QImage> MemoryImageCache::find(const QString &key)
{
    QMutexLocker locker(&m_mutex);
    const auto it = m_index.constFind(key);
    if (it == m_index.constEnd())
        return std::nullopt;
    m_order.splice(m_order.begin(), m_order, it.value());
    return it.value()->image;
}

void MemoryImageCache::insert(const QString &key, const QImage &image, qint64 cost)
{
    if (image.isNull() || cost > m_costLimit)
        return;
    QMutexLocker locker(&m_mutex);
    if (const auto it = m_index.constFind(key); it != m_index.constEnd()) {
        m_totalCost -= it.value()->cost;
        m_order.erase(it.value());
    }
    m_order.push_front(Entry{key, image, cost});
    m_index.insert(key, m_order.begin());
    m_totalCost += cost;
    evictLocked();
}

void MemoryImageCache::evictLocked()
{
    while (!m_order.empty() && (m_index.size() > m_countLimit || m_totalCost > m_costLimit)) {
        const Entry &oldest = m_order.back();
        m_totalCost -= oldest.cost;
        m_index.remove(oldest.key);
        m_order.pop_back();
    }
}

qsizetype MemoryImageCache::count() const
{
    QMutexLocker locker(&m_mutex);
    return m_index.size();
}

qint64 MemoryImageCache::totalCost() const
{
    QMutexLocker locker(&m_mutex);
    return m_totalCost;
}
