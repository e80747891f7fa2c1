#include "ImageCacheManager.h"

#include "AppPaths.h"
#include "ImageDecoder.h"
#include "NetworkSession.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QMutexLocker>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>

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

QString ImageCacheManager::memoryKey(const QString &key, const QSize &viewSize)
{
    if (viewSize.isEmpty())
        return key;
    return key + QStringLiteral("@%1x%2").arg(viewSize.width()).arg(viewSize.height());
}

QString ImageCacheManager::diskPath(const QString &key) const
{
    return m_diskCacheDir + QLatin1Char('/') + key;
}

QImage ImageCacheManager::cachedImage(const QString &url, const QSize &viewSize)
{
    const QString key = cacheKey(url);
    if (std::optional<QImage> hit = m_memoryCache.find(memoryKey(key, viewSize)))
        return *hit;
    return readFromDisk(key, viewSize);
}

QImage ImageCacheManager::readFromDisk(const QString &key, const QSize &viewSize)
{
    // A file that does not decode stays where it is; the next download overwrites it. Reading does
    // not touch its modification date, so the trim still sees when it was stored.
    QFile file(diskPath(key));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return remember(key, viewSize, file.readAll());
}

QImage ImageCacheManager::remember(const QString &key, const QSize &viewSize, const QByteArray &bytes)
{
    QImage image = ImageDecoder::decode(bytes, viewSize);
    if (!image.isNull())
        m_memoryCache.insert(memoryKey(key, viewSize), image, ImageDecoder::decodedBytes(image));
    return image;
}

QFuture<QImage> ImageCacheManager::loadImage(const QString &url, const QSize &viewSize)
{
    const QString key = cacheKey(url);
    if (std::optional<QImage> hit = m_memoryCache.find(memoryKey(key, viewSize)))
        return readyImage(*hit);
    // The request's promise goes from the disk read to the download on a miss. (A future of the
    // download's future, unwrapped, was not used: Qt 6.4's unwrap can start its promise after the
    // pooled thread that ran the disk read has let go of it.)
    auto promise = std::make_shared<QPromise<QImage>>();
    promise->start();
    m_pool.start([this, url, key, viewSize, promise] {
        const QImage fromDisk = readFromDisk(key, viewSize);
        if (fromDisk.isNull())
            joinOrStartDownload(url, key, {promise, viewSize});
        else
            fulfil(*promise, fromDisk);
    });
    return promise->future();
}

void ImageCacheManager::joinOrStartDownload(const QString &url, const QString &key, const Waiter &waiter)
{
    {
        QMutexLocker locker(&m_lock);
        const auto running = m_activeTasks.find(key);
        if (running != m_activeTasks.end()) {
            running.value().append(waiter); // no second download
            return;
        }
        // A download that finished while this request read the disk has put its image in memory
        // before leaving the table; looking again here keeps a burst of requests to one download.
        if (std::optional<QImage> hit = m_memoryCache.find(memoryKey(key, waiter.viewSize))) {
            locker.unlock();
            fulfil(*waiter.promise, *hit);
            return;
        }
        m_activeTasks.insert(key, {waiter});
    }
    QMetaObject::invokeMethod(this, [this, url, key] { startDownload(url, key); }, Qt::AutoConnection);
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
        if (reply->error() != QNetworkReply::NoError && !answered) {
            for (const Waiter &waiter : takeWaiters(key))
                fulfil(*waiter.promise, QImage());
            return;
        }
        const QByteArray body = reply->readAll();
        m_pool.start([this, key, body] { storeDownload(key, body); });
    });
}

void ImageCacheManager::storeDownload(const QString &key, const QByteArray &body)
{
    // One decode per view size asking. The images go into memory before the download leaves the
    // table, so a request arriving in between finds them instead of starting a second download.
    QList<std::pair<QSize, QImage>> decoded;
    const auto imageFor = [&](const QSize &viewSize) {
        for (const auto &[size, image] : std::as_const(decoded)) {
            if (size == viewSize)
                return image;
        }
        decoded.append({viewSize, remember(key, viewSize, body)});
        return decoded.last().second;
    };
    QList<QSize> sizes;
    {
        QMutexLocker locker(&m_lock);
        for (const Waiter &waiter : m_activeTasks.value(key))
            sizes.append(waiter.viewSize);
    }
    bool isImage = false;
    for (const QSize &size : std::as_const(sizes))
        isImage = !imageFor(size).isNull() || isImage;
    if (isImage) { // nothing kept for a body that is not an image, or one too large to decode
        QSaveFile file(diskPath(key)); // written beside the target and renamed over it
        if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size())
            file.commit();
    }
    for (const Waiter &waiter : takeWaiters(key))
        fulfil(*waiter.promise, imageFor(waiter.viewSize));
    if (isImage)
        m_pool.start([this] { DiskCacheTrimmer(m_diskCacheDir, m_diskLimits).trimIfNeeded(); }, -1);
}

QList<ImageCacheManager::Waiter> ImageCacheManager::takeWaiters(const QString &key)
{
    // The download's own completion ends its entry: requests that joined it never touch the table.
    QMutexLocker locker(&m_lock);
    return m_activeTasks.take(key);
}

QNetworkAccessManager &ImageCacheManager::network() const
{
    return m_network ? *m_network : NetworkSession::shared();
}
