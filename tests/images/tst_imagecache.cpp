// The two-level image cache against a local HTTPS server: one download per URL, nothing kept for
// bodies that are not images, disk hits after a restart, the memory level counting decoded pixels
// and decoding for the view's size, huge images refused, and the disk trim.
#include "DevCertificates.h"
#include "DiskCacheTrimmer.h"
#include "ImageCacheManager.h"
#include "LocalHttpsServer.h"
#include "MemoryImageCache.h"
#include "TestImages.h"
#include "TlsTrust.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFutureWatcher>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Waits (spinning the event loop) for a future and returns its image.
QImage await(QFuture<QImage> future)
{
    if (!QTest::qWaitFor([&] { return future.isFinished(); }, 20000))
        return {};
    return future.resultCount() > 0 ? future.result() : QImage();
}

QStringList cacheFiles(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files);
}

// Files named 0000…, each `size` bytes (sparse: only the length counts), modified one second apart
// in name order, oldest first.
void makeFiles(const QString &dir, int count, qint64 size)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < count; ++i) {
        QFile file(dir + QStringLiteral("/%1").arg(i, 4, 10, QLatin1Char('0')));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
        QVERIFY(file.setFileTime(start.addSecs(i), QFileDevice::FileModificationTime));
    }
}

QString closedPort()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("https://127.0.0.1:%1").arg(closed.serverPort());
}

qint64 totalSize(const QString &dir)
{
    qint64 total = 0;
    for (const QFileInfo &info : QDir(dir).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

} // namespace

class ImageCacheTest : public QObject
{
    Q_OBJECT

    LocalHttpsServer m_server;
    QByteArray m_png;
    std::unique_ptr<QTemporaryDir> m_dir;
    QNetworkAccessManager m_network;

    std::unique_ptr<ImageCacheManager> makeManager(DiskCacheLimits limits = {})
    {
        return std::make_unique<ImageCacheManager>(m_dir->path() + QStringLiteral("/ImageCache"), &m_network, limits);
    }

private Q_SLOTS:
    void initTestCase()
    {
        Result<DevCertificates> certificates = DevCertificates::generate();
        QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
        TlsTrust::addCaCertificates({certificates->caCertificate});
        QVERIFY(m_server.start(certificates.value()));
        m_png = TestImages::encoded(64, 48);
        m_server.setResponse(QStringLiteral("/a.png"), {200, "image/png", m_png});
        m_server.setResponse(QStringLiteral("/a.png?v=2"), {200, "image/png", TestImages::encoded(32, 32)});
        m_server.setResponse(QStringLiteral("/html.png"), {200, "text/html", "<html><body>not an image</body></html>"});
        m_server.setResponse(QStringLiteral("/photo.jpg"), {200, "image/jpeg", TestImages::encoded(1600, 1200, "JPEG")});
        QImage huge(5000, 5000, QImage::Format_Mono); // 25 megapixels in a few KB
        huge.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        huge.fill(0);
        QByteArray hugePng;
        QBuffer buffer(&hugePng);
        buffer.open(QIODevice::WriteOnly);
        huge.save(&buffer, "PNG");
        m_server.setResponse(QStringLiteral("/huge.png"), {200, "image/png", hugePng});
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        m_server.setHolding(false);
        m_server.releaseHeld();
    }


    void keysAreMd5OfTheUrlText()
    {
        QCOMPARE(ImageCacheManager::cacheKey(QStringLiteral("https://example.com/avatars/7.png")),
                 QStringLiteral("2934755b0e6a3bbb108154db3e8a8155"));
        const QString url = m_server.url(QStringLiteral("/a.png"));
        QVERIFY(ImageCacheManager::cacheKey(url) != ImageCacheManager::cacheKey(url + QStringLiteral("?v=2")));
        QVERIFY(ImageCacheManager::cacheKey(QStringLiteral("https://Example.com/a.png"))
                != ImageCacheManager::cacheKey(QStringLiteral("https://example.com/a.png")));

        // Different query strings are different images, each cached under its own file.
        auto manager = makeManager();
        QCOMPARE(await(manager->loadImage(url)).size(), QSize(64, 48));
        QCOMPARE(await(manager->loadImage(url + QStringLiteral("?v=2"))).size(), QSize(32, 32));
        QCOMPARE(cacheFiles(manager->diskCacheDir()).size(), 2);
    }

    void simultaneousLoadsShareOneRequest()
    {
        auto manager = makeManager();
        const QString url = m_server.url(QStringLiteral("/a.png"));
        const int before = m_server.requestCount(QStringLiteral("/a.png"));
        m_server.setHolding(true);
        QFuture<QImage> first = manager->loadImage(url);
        QFuture<QImage> second = manager->loadImage(url);
        QTRY_COMPARE(m_server.heldCount(), 1);
        m_server.releaseHeld();
        const QImage a = await(first);
        const QImage b = await(second);
        QVERIFY(!a.isNull());
        QVERIFY(!b.isNull());
        QCOMPARE(a.size(), QSize(64, 48));
        QCOMPARE(m_server.requestCount(QStringLiteral("/a.png")) - before, 1);
    }

    void failedLoadsLeaveNothingBehind()
    {
        auto manager = makeManager();
        QVERIFY(await(manager->loadImage(closedPort() + QStringLiteral("/a.png"))).isNull());
        QVERIFY(await(manager->loadImage(QStringLiteral("not a url"))).isNull());
        // An error page or a body that is not an image is not remembered: asking again asks the server again.
        for (const QString &path : {QStringLiteral("/html.png"), QStringLiteral("/missing.png")}) {
            const QString url = m_server.url(path);
            QVERIFY(await(manager->loadImage(url)).isNull());
            QVERIFY(cacheFiles(manager->diskCacheDir()).isEmpty());
            QVERIFY(manager->cachedImage(url).isNull());
            const int requests = m_server.requestCount(path);
            QVERIFY(await(manager->loadImage(url)).isNull());
            QCOMPARE(m_server.requestCount(path), requests + 1);
        }
    }

    void downloadsAreKeptOnDiskAndFoundAgainAfterARestart()
    {
        auto manager = makeManager();
        const QString url = m_server.url(QStringLiteral("/a.png"));
        QVERIFY(!await(manager->loadImage(url)).isNull());
        QFile file(manager->diskPath(ImageCacheManager::cacheKey(url)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), m_png); // the bytes as received
        QCOMPARE(cacheFiles(manager->diskCacheDir()), QStringList{ImageCacheManager::cacheKey(url)});
        // The second look is a memory hit: no request, not even the synchronous one.
        const int requests = m_server.requestCount(QStringLiteral("/a.png"));
        QVERIFY(!manager->cachedImage(url).isNull());
        QVERIFY(!await(manager->loadImage(url)).isNull());

        auto restarted = makeManager(); // a new process: empty memory, same folder
        QCOMPARE(restarted->cachedImage(url).size(), QSize(64, 48));
        QCOMPARE(await(makeManager()->loadImage(url)).size(), QSize(64, 48));
        QCOMPARE(m_server.requestCount(QStringLiteral("/a.png")), requests);
    }

    void undecodableDiskFileIsReplacedByDownload()
    {
        auto manager = makeManager();
        const QString url = m_server.url(QStringLiteral("/a.png"));
        const QString path = manager->diskPath(ImageCacheManager::cacheKey(url));
        QFile broken(path);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("garbage");
        broken.close();

        QVERIFY(manager->cachedImage(url).isNull());
        QVERIFY(QFile::exists(path)); // a miss, but left alone
        QVERIFY(!await(manager->loadImage(url)).isNull());
        QFile replaced(path);
        QVERIFY(replaced.open(QIODevice::ReadOnly));
        QCOMPARE(replaced.readAll(), m_png);
    }

    void downloadTriggersTrim()
    {
        DiskCacheLimits small;
        small.maxFiles = 3;
        small.targetFiles = 2;
        auto manager = makeManager(small);
        makeFiles(manager->diskCacheDir(), 3, 10);
        const QString url = m_server.url(QStringLiteral("/a.png"));
        QVERIFY(!await(manager->loadImage(url)).isNull());
        // Four files are over the limit: the two oldest go in the background, the new one stays.
        QTRY_COMPARE(cacheFiles(manager->diskCacheDir()).size(), 2);
        QVERIFY(cacheFiles(manager->diskCacheDir()).contains(ImageCacheManager::cacheKey(url)));
    }

    void trimByFileCount()
    {
        const QString dir = m_dir->path();
        makeFiles(dir, 2000, 100); // at the limit: left alone
        QCOMPARE(DiskCacheTrimmer(dir).trimIfNeeded(), 0);
        QCOMPARE(DiskCacheTrimmer(dir + QStringLiteral("/absent")).trimIfNeeded(), 0);
        makeFiles(dir, 2001, 10 * 1024 * 1024 / 2001); // about 10 MiB in all
        QCOMPARE(DiskCacheTrimmer(dir).trimIfNeeded(), 401);
        const QStringList left = cacheFiles(dir);
        QCOMPARE(left.size(), 1600);
        QCOMPARE(left.first(), QStringLiteral("0401")); // the oldest went first
        QCOMPARE(left.last(), QStringLiteral("2000"));
    }

    void trimBySize()
    {
        const QString dir = m_dir->path();
        const qint64 each = 210LL * 1024 * 1024 / 1500;
        makeFiles(dir, 1500, each);
        QVERIFY(totalSize(dir) > 209715200);
        const qsizetype deleted = DiskCacheTrimmer(dir).trimIfNeeded();
        QVERIFY(totalSize(dir) <= 167772160);
        QVERIFY(totalSize(dir) + each > 167772160); // no more than needed
        QCOMPARE(cacheFiles(dir).size(), 1500 - deleted);
        QCOMPARE(cacheFiles(dir).first(), QStringLiteral("%1").arg(deleted, 4, 10, QLatin1Char('0')));
    }

    void trimKeepsListingOrderForEqualDates()
    {
        const QString dir = m_dir->path();
        const QDateTime same = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < 6; ++i) {
            QFile file(dir + QStringLiteral("/f%1").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(1));
            QVERIFY(file.setFileTime(same, QFileDevice::FileModificationTime));
        }
        const QStringList listing = QDir(dir).entryList(QDir::Files, QDir::Unsorted);
        DiskCacheLimits limits;
        limits.maxFiles = 5;
        limits.targetFiles = 4;
        QCOMPARE(DiskCacheTrimmer(dir, limits).trimIfNeeded(), 2);
        QVERIFY(!QFile::exists(dir + QLatin1Char('/') + listing.at(0)));
        QVERIFY(!QFile::exists(dir + QLatin1Char('/') + listing.at(1)));
        QVERIFY(QFile::exists(dir + QLatin1Char('/') + listing.at(2)));
    }

    // The memory level counts what an image takes decoded, and a view smaller than the image gets it
    // decoded at its own size, kept apart from the full-size entry.
    void memoryHoldsImagesDecodedForTheirViews_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("viewSize");
        QTest::addColumn<QSize>("decoded");
        QTest::newRow("full size") << "/photo.jpg" << QSize() << QSize(1600, 1200);
        QTest::newRow("thumbnail") << "/photo.jpg" << QSize(120, 120) << QSize(160, 120); // covers the view
        QTest::newRow("view larger than the image") << "/a.png" << QSize(640, 480) << QSize(64, 48);
        QTest::newRow("too many pixels") << "/huge.png" << QSize(100, 100) << QSize(0, 0); // no image
    }
    void memoryHoldsImagesDecodedForTheirViews()
    {
        QFETCH(QString, path);
        QFETCH(QSize, viewSize);
        QFETCH(QSize, decoded);
        const QString url = m_server.url(path);
        auto manager = makeManager();
        QCOMPARE(await(manager->loadImage(url, viewSize)).size(), decoded);
        const qint64 bytes = qint64(decoded.width()) * decoded.height() * 4;
        QCOMPARE(manager->memoryCost(), bytes);
        QCOMPARE(manager->cachedImage(url, viewSize).size(), decoded); // a memory hit
        // Nothing is kept of an image refused for its size; a restart finds the others on disk.
        QCOMPARE(cacheFiles(manager->diskCacheDir()).size(), decoded.isEmpty() ? 0 : 1);
        auto restarted = makeManager();
        QCOMPARE(restarted->cachedImage(url, viewSize).size(), decoded);
        QCOMPARE(restarted->memoryCost(), bytes);
    }

    void memoryCacheEnforcesCountAndCost()
    {
        const QImage image(2, 2, QImage::Format_RGB32);
        MemoryImageCache byCount(3, 1000);
        for (int i = 0; i < 5; ++i)
            byCount.insert(QString::number(i), image, 1);
        QCOMPARE(byCount.count(), 3);
        QVERIFY(!byCount.find(QStringLiteral("0")));
        QVERIFY(byCount.find(QStringLiteral("4")));

        MemoryImageCache byCost(100, 10);
        byCost.insert(QStringLiteral("a"), image, 4);
        byCost.insert(QStringLiteral("b"), image, 4);
        QVERIFY(byCost.find(QStringLiteral("a"))); // "a" is now the most recently used
        byCost.insert(QStringLiteral("c"), image, 4);
        QVERIFY(byCost.totalCost() <= 10);
        QVERIFY(byCost.find(QStringLiteral("a")));
        QVERIFY(!byCost.find(QStringLiteral("b")));
        byCost.insert(QStringLiteral("huge"), image, 11);
        QVERIFY(!byCost.find(QStringLiteral("huge")));
    }
};

QTEST_MAIN(ImageCacheTest)
#include "tst_imagecache.moc"
