// The two-level image cache against a local HTTPS server: one download per URL, nothing kept for
// bodies that are not images, disk hits after a restart, the memory level counting decoded pixels
// and decoding for the view's size, huge images refused, and the disk trim. And what the image
// views build on: a loader that drops the result of an earlier source, the avatar URL rule and the
// fallback character's grapheme edges (the loader's states and the common fallback characters are
// checked through the QML views).
#include "DiskCacheTrimmer.h"
#include "ImageCacheManager.h"
#include "ImageLoader.h"
#include "ImageTools.h"
#include "ImageURLs.h"
#include "LocalHttpsServer.h"
#include "MemoryImageCache.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "TestImages.h"

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
// in name order, oldest first, or all at the same time.
void makeFiles(const QString &dir, int count, qint64 size, bool sameAge = false)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < count; ++i) {
        QFile file(dir + QStringLiteral("/%1").arg(i, 4, 10, QLatin1Char('0')));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
        QVERIFY(file.setFileTime(start.addSecs(sameAge ? 0 : i), QFileDevice::FileModificationTime));
    }
}

QString closedPort()
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("https://127.0.0.1:%1").arg(closed.serverPort());
}

} // namespace

class ImageCacheTest : public QObject
{
    Q_OBJECT

    LocalHttpsServer m_server;
    QHash<QString, QByteArray> m_images; // by path
    std::unique_ptr<QTemporaryDir> m_dir;
    QNetworkAccessManager m_network;

    std::unique_ptr<ImageCacheManager> makeManager(DiskCacheLimits limits = {})
    {
        return std::make_unique<ImageCacheManager>(m_dir->path() + QStringLiteral("/ImageCache"), &m_network, limits);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.startTrusted());
        QImage huge(5000, 5000, QImage::Format_Mono); // 25 megapixels in a few KB
        huge.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        huge.fill(0);
        QByteArray hugePng;
        QBuffer buffer(&hugePng);
        buffer.open(QIODevice::WriteOnly);
        huge.save(&buffer, "PNG");
        m_images = {{QStringLiteral("/a.png"), TestImages::encoded(64, 48)}, {QStringLiteral("/photo.jpg"), TestImages::encoded(1600, 1200, "JPEG")},
                    {QStringLiteral("/huge.png"), hugePng}};
        for (auto image = m_images.cbegin(); image != m_images.cend(); ++image)
            m_server.setResponse(image.key(), {200, "image/png", image.value()});
        m_server.setResponse(QStringLiteral("/html.png"), {200, "text/html", "<html><body>not an image</body></html>"});
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        SettingsStore::shared().remove(QLatin1String(ServerConfig::settingsKey));
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
        // Different query strings are different images (each row below finds its file under its key).
        const QString url = m_server.url(QStringLiteral("/a.png"));
        QVERIFY(ImageCacheManager::cacheKey(url) != ImageCacheManager::cacheKey(url + QStringLiteral("?v=2")));
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
        QCOMPARE(replaced.readAll(), m_images.value(QStringLiteral("/a.png")));
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

    // Above either limit the oldest files go until both targets are met, and no more; files of the
    // same age go in the folder's listing order.
    void diskTrim_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<qint64>("size"); // of each
        QTest::addColumn<bool>("sameAge");
        QTest::addColumn<int>("deleted");
        QTest::newRow("at both limits") << 10 << qint64(100) << false << 0;
        QTest::newRow("a file too many") << 11 << qint64(10) << false << 3;
        QTest::newRow("too many bytes") << 6 << qint64(200) << false << 2;
        QTest::newRow("both, the count decides") << 12 << qint64(90) << false << 4;
        QTest::newRow("same age") << 11 << qint64(1) << true << 3;
    }
    void diskTrim()
    {
        QFETCH(int, files);
        QFETCH(qint64, size);
        QFETCH(bool, sameAge);
        QFETCH(int, deleted);
        const QString dir = m_dir->path();
        makeFiles(dir, files, size, sameAge);
        const QStringList oldestFirst = sameAge ? QDir(dir).entryList(QDir::Files, QDir::Unsorted) : cacheFiles(dir);
        const DiskCacheLimits limits{.maxBytes = 1000, .maxFiles = 10, .targetBytes = 800, .targetFiles = 8};
        QCOMPARE(DiskCacheTrimmer(dir, limits).trimIfNeeded(), deleted);
        QStringList left = oldestFirst.mid(deleted);
        left.sort();
        QCOMPARE(cacheFiles(dir), left);
        QCOMPARE(DiskCacheTrimmer(dir + QStringLiteral("/absent"), limits).trimIfNeeded(), 0);
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
        const int requests = m_server.requestCount(path);
        auto manager = makeManager();
        QCOMPARE(await(manager->loadImage(url, viewSize)).size(), decoded);
        const qint64 bytes = qint64(decoded.width()) * decoded.height() * 4;
        QCOMPARE(manager->memoryCost(), bytes);
        QCOMPARE(manager->cachedImage(url, viewSize).size(), decoded); // a memory hit
        // The download is kept on disk as received, under the URL's key, and found again after a
        // restart without asking the server; nothing is kept of an image refused for its size.
        QFile file(manager->diskPath(ImageCacheManager::cacheKey(url)));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), decoded.isEmpty() ? QByteArray() : m_images.value(path));
        QCOMPARE(cacheFiles(manager->diskCacheDir()).size(), decoded.isEmpty() ? 0 : 1);
        auto restarted = makeManager();
        QCOMPARE(restarted->cachedImage(url, viewSize).size(), decoded);
        QCOMPARE(restarted->memoryCost(), bytes);
        QCOMPARE(await(makeManager()->loadImage(url, viewSize)).size(), decoded);
        if (!decoded.isEmpty())
            QCOMPARE(m_server.requestCount(path), requests + 1);
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

    void resultForEarlierSourceIsDropped()
    {
        m_server.setHolding(true);
        ImageLoader loader;
        loader.setSource(m_server.url(QStringLiteral("/a.png")));
        QTRY_COMPARE(m_server.heldCount(), 1);
        loader.setSource(m_server.url(QStringLiteral("/html.png")));
        QTRY_COMPARE(m_server.heldCount(), 2);
        m_server.setHolding(false);
        m_server.releaseHeld();
        // The page fails; the image that arrives for the earlier source must not replace that outcome.
        QTRY_COMPARE(loader.loadState(), ImageLoader::Failed);
        const QString earlier = m_server.url(QStringLiteral("/a.png"));
        QTRY_VERIFY(!ImageCacheManager::shared().cachedImage(earlier).isNull());
        QTest::qWait(100); // let the earlier download's result reach the loader, which must ignore it
        QCOMPARE(loader.loadState(), ImageLoader::Failed);
        QVERIFY(loader.image().isNull());
    }

    void avatarURL_data()
    {
        QTest::addColumn<QVariant>("stored"); // the server base URL, or nothing for the default
        QTest::addColumn<QVariant>("avatar");
        QTest::addColumn<QVariant>("expected");
        const QVariant none;
        const QString base = QStringLiteral("https://chat.example.org");
        QTest::newRow("absent") << none << none << none;
        QTest::newRow("https as is") << QVariant(base) << QVariant(QStringLiteral("https://cdn.example.org/a.png"))
                                     << QVariant(QStringLiteral("https://cdn.example.org/a.png"));
        QTest::newRow("trailing slash, absolute path") << QVariant(base + QLatin1Char('/')) << QVariant(QStringLiteral("/avatars/7.png"))
                                                       << QVariant(base + QStringLiteral("/avatars/7.png"));
        QTest::newRow("upper-case scheme is a path")
            << QVariant(base) << QVariant(QStringLiteral("HTTPS://cdn.example.org/a.png"))
            << QVariant(base + QStringLiteral("/HTTPS://cdn.example.org/a.png"));
        QTest::newRow("default server") << none << QVariant(QStringLiteral("/u/1.png"))
                                        << QVariant(ServerConfig::defaultBaseURL() + QStringLiteral("/u/1.png"));
        QTest::newRow("unparsable") << QVariant(base) << QVariant(QStringLiteral("https://bad host/a b.png")) << none;
    }

    void avatarURL()
    {
        QFETCH(QVariant, stored);
        QFETCH(QVariant, avatar);
        QFETCH(QVariant, expected);
        if (stored.isValid())
            SettingsStore::shared().setString(QLatin1String(ServerConfig::settingsKey), stored.toString());
        const std::optional<QString> input = avatar.isValid() ? std::optional<QString>(avatar.toString()) : std::nullopt;
        const std::optional<QString> resolved = resolveAvatarURL(input);
        QCOMPARE(resolved.has_value(), expected.isValid());
        if (resolved)
            QCOMPARE(*resolved, expected.toString());
    }

    void firstCharacter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("family emoji") << QStringLiteral("👨‍👩‍👧 home") << QStringLiteral("👨‍👩‍👧");
        QTest::newRow("flag") << QStringLiteral("🇨🇳x") << QStringLiteral("🇨🇳");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301x") << QStringLiteral("e\u0301");
    }

    void firstCharacter()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(ImageTools::firstCharacter(name), expected);
    }
};

QTEST_MAIN(ImageCacheTest)
#include "tst_imagecache.moc"
