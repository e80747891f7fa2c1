#include "ImageCacheManager.h"

#include "AppPaths.h"
#include "NetworkSession.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QtConcurrent/QtConcurrentRun>

namespace {

QFuture<QImage> readyImage(const QImage &image)
{
    return QtFuture::makeReadyFuture(image);
}

void fulfil(QPromise<QImage> &promise, const QImage &image)
{
    promise.addResult(image);
    promise.finish();
}

} // namespace

ImageCacheManager &ImageCacheManager::shared()
{
    static ImageCacheManager *instance = [] {
        auto *manager = new ImageCacheManager(AppPaths::cacheDir() + QStringLiteral("/ImageCache"));
        // Downloads start on the main thread, whichever thread asked first.
        if (QCoreApplication *app = QCoreApplication::instance())
            manager->moveToThread(app->thread());
        return manager;
    }();
    return *instance;
}

ImageCacheManager::ImageCacheManager(const QString &diskCacheDir, QNetworkAccessManager *network,
                                     DiskCacheLimits diskLimits, QObject *parent)
    : QObject(parent),
      m_memoryCache(memoryCountLimit, memoryCostLimit),
      m_diskCacheDir(diskCacheDir),
      m_network(network),
      m_diskLimits(diskLimits)
{
    AppPaths::ensurePrivateDir(m_diskCacheDir); // a failure only means every disk write fails later
}

QString ImageCacheManager::cacheKey(const QString &url)
{
    return QString::fromLatin1(QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString ImageCacheManager::diskPath(const QString &key) const
{
    return m_diskCacheDir + QLatin1Char('/') + key;
}

QImage ImageCacheManager::cachedImage(const QString &url)
{
    const QString key = cacheKey(url);
    if (std::optional<QImage> hit = m_memoryCache.find(key))
        return *hit;
    return readFromDisk(key);
}

QImage ImageCacheManager::readFromDisk(const QString &key)
{
    // A file that does not decode stays where it is; the next download overwrites it. Reading does
    // not touch its modification date, so the trim still sees when it was stored.
    QFile file(diskPath(key));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QImage image = QImage::fromData(bytes);
    if (!image.isNull())
        m_memoryCache.insert(key, image, bytes.size());
    return image;
}

QFuture<QImage> ImageCacheManager::loadImage(const QString &url)
{
    const QString key = cacheKey(url);
    if (std::optional<QImage> hit = m_memoryCache.find(key))
        return readyImage(*hit);
    return QtConcurrent::run(&m_pool, [this, url, key] {
               const QImage fromDisk = readFromDisk(key);
               return fromDisk.isNull() ? joinOrStartDownload(url, key) : readyImage(fromDisk);
           })
        .unwrap();
}

QFuture<QImage> ImageCacheManager::joinOrStartDownload(const QString &url, const QString &key)
{
    auto promise = std::make_shared<QPromise<QImage>>();
    {
        QMutexLocker locker(&m_lock);
        // A download that finished while this request read the disk has put its image in memory
        // before leaving the table; looking again here keeps a burst of requests to one download.
        const auto running = m_activeTasks.find(key);
        if (running == m_activeTasks.end()) {
            if (std::optional<QImage> hit = m_memoryCache.find(key))
                return readyImage(*hit);
        }
        promise->start();
        if (running != m_activeTasks.end()) {
            running.value().append(promise); // no second download
            return promise->future();
        }
        m_activeTasks.insert(key, {promise});
    }
    QMetaObject::invokeMethod(this, [this, url, key] { startDownload(url, key); }, Qt::AutoConnection);
    return promise->future();
}

void ImageCacheManager::startDownload(const QString &url, const QString &key)
{
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setTransferTimeout(requestTimeoutMs);
    QNetworkReply *reply = network().get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, key] {
        reply->deleteLater();
        // Any answer with a body is tried as an image, whatever its status: the decoder decides.
        const bool answered = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
        if (reply->error() != QNetworkReply::NoError && !answered)
            return finishDownload(key, QImage());
        const QByteArray body = reply->readAll();
        m_pool.start([this, key, body] { storeDownload(key, body); });
    });
}

void ImageCacheManager::storeDownload(const QString &key, const QByteArray &body)
{
    const QImage image = QImage::fromData(body);
    if (image.isNull())
        return finishDownload(key, image); // nothing kept for a body that is not an image
    m_memoryCache.insert(key, image, body.size());
    QSaveFile file(diskPath(key)); // written beside the target and renamed over it
    if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size())
        file.commit();
    finishDownload(key, image);
    m_pool.start([this] { DiskCacheTrimmer(m_diskCacheDir, m_diskLimits).trimIfNeeded(); }, -1);
}

void ImageCacheManager::finishDownload(const QString &key, const QImage &image)
{
    // The download's own completion ends its entry: requests that joined it never touch the table.
    QList<Promise> waiters;
    {
        QMutexLocker locker(&m_lock);
        waiters = m_activeTasks.take(key);
    }
    for (const Promise &waiter : std::as_const(waiters))
        fulfil(*waiter, image);
}

QNetworkAccessManager &ImageCacheManager::network() const
{
    return m_network ? *m_network : NetworkSession::shared();
}
