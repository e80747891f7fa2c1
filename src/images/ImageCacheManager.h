#pragma once
// The process-wide image cache: memory, then disk ("ImageCache" in the caches folder), then the
// network. Concurrent requests for one URL share one download. Every successful download is kept at
// both levels and followed by a background trim of the disk level.
//
// Keys are the lowercase MD5 hex of the URL text as given; the disk file of a key holds the bytes
// exactly as they were received. The memory level holds decoded images, counted by their decoded
// size and decoded no larger than the view asking for them (ImageDecoder); views of different sizes
// keep their own entries. Failures of any kind end in "no image" (a null QImage).
#include "DiskCacheTrimmer.h"
#include "MemoryImageCache.h"

#include <QFuture>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QThreadPool>
#include <memory>

class QNetworkAccessManager;

class ImageCacheManager : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype memoryCountLimit = 500;
    static constexpr qint64 memoryCostLimit = 52428800; // 50 MiB of decoded pixels
    static constexpr int requestTimeoutMs = 15000;

    static ImageCacheManager &shared();

    // A cache over its own disk folder. Without a network manager it downloads through the process's
    // shared session (whose response cache it prefers). Lives on the main thread.
    explicit ImageCacheManager(const QString &diskCacheDir, QNetworkAccessManager *network = nullptr,
                               DiskCacheLimits diskLimits = {}, QObject *parent = nullptr);

    static QString cacheKey(const QString &url);
    // The memory entry of the image under `key` as decoded for a view of `viewSize` pixels.
    static QString memoryKey(const QString &key, const QSize &viewSize);
    QString diskCacheDir() const { return m_diskCacheDir; }
    QString diskPath(const QString &key) const;

    // The synchronous first look of the views: memory, then the disk file (decoded on the calling
    // thread and promoted to memory). Null on a miss. An empty `viewSize` decodes at full size.
    QImage cachedImage(const QString &url, const QSize &viewSize = {});

    // Memory, disk (read off the calling thread), then the one shared download. Callable from any
    // thread; the future yields a null image when there is nothing to show.
    QFuture<QImage> loadImage(const QString &url, const QSize &viewSize = {});

    // What the memory level holds: entries and their decoded bytes.
    qsizetype memoryCount() const { return m_memoryCache.count(); }
    qint64 memoryCost() const { return m_memoryCache.totalCost(); }

private:
    struct Waiter
    {
        std::shared_ptr<QPromise<QImage>> promise;
        QSize viewSize;
    };

    QImage readFromDisk(const QString &key, const QSize &viewSize);
    QImage remember(const QString &key, const QSize &viewSize, const QByteArray &bytes);
    void joinOrStartDownload(const QString &url, const QString &key, const Waiter &waiter);
    void startDownload(const QString &url, const QString &key);
    void storeDownload(const QString &key, const QByteArray &body);
    QList<Waiter> takeWaiters(const QString &key);
    QNetworkAccessManager &network() const;

    MemoryImageCache m_memoryCache;
    const QString m_diskCacheDir;
    QNetworkAccessManager *const m_network;
    const DiskCacheLimits m_diskLimits;

    // Downloads in flight by key, each with the requests waiting for it (the first is the one that
    // started it). A QFuture takes a single continuation, so every waiter gets a promise of its own.
    QMutex m_lock; // guards m_activeTasks and is never held across a wait
    QHash<QString, QList<Waiter>> m_activeTasks;

    // Last, so that it is destroyed first: its destructor waits for the tasks that use the members above.
    QThreadPool m_pool;
};
