#pragma once
// The in-memory level of the image cache: decoded images by key, bounded both by count and by
// total cost (the encoded size each image was decoded from). Least recently used entries go first.
// Safe to use from any thread.
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QString>
#include <list>
#include <optional>

class MemoryImageCache
{
public:
    MemoryImageCache(qsizetype countLimit, qint64 costLimit);

    std::optional<QImage> find(const QString &key);
    // An image costlier than the whole limit is not kept.
    void insert(const QString &key, const QImage &image, qint64 cost);

    qsizetype count() const;
    qint64 totalCost() const;

private:
    struct Entry
    {
        QString key;
        QImage image;
        qint64 cost;
    };
    using Order = std::list<Entry>; // most recently used first

    void evictLocked();

    const qsizetype m_countLimit;
    const qint64 m_costLimit;
    mutable QMutex m_mutex;
    Order m_order;
    QHash<QString, Order::iterator> m_index;
    qint64 m_totalCost = 0;
};
