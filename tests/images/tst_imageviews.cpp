// What the image views build on: the loader's states (a cached image never shows "loading"), the
// avatar URL rule and the fallback character.
#include "AppPaths.h"
#include "DevCertificates.h"
#include "ImageCacheManager.h"
#include "ImageLoader.h"
#include "ImageTools.h"
#include "ImageURLs.h"
#include "LocalHttpsServer.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "TestImages.h"
#include "TlsTrust.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

class ImageViewsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void cachedImageLoadsWithoutPassingThroughLoading();
    void downloadPassesThroughLoading();
    void nonImageBodyFails();
    void resultForEarlierSourceIsDropped();
    void emptySourceStaysIdle();

    void avatarURL_data();
    void avatarURL();
    void firstCharacter_data();
    void firstCharacter();

private:
    LocalHttpsServer m_server;
    QByteArray m_png;
};

void ImageViewsTest::initTestCase()
{
    Result<DevCertificates> certificates = DevCertificates::generate();
    QVERIFY2(certificates.ok(), qPrintable(certificates.error()));
    TlsTrust::addCaCertificates({certificates->caCertificate});
    QVERIFY(m_server.start(certificates.value()));
    m_png = TestImages::encoded(40, 30);
    for (const char *path : {"/fresh.png", "/held.png"})
        m_server.setResponse(QString::fromLatin1(path), {200, "image/png", m_png});
    m_server.setResponse(QStringLiteral("/page.png"), {200, "text/html", "<html>oops</html>"});
}

void ImageViewsTest::init()
{
    SettingsStore::shared().remove(QLatin1String(ServerConfig::settingsKey));
}

void ImageViewsTest::cachedImageLoadsWithoutPassingThroughLoading()
{
    // As if downloaded in an earlier launch: only the disk file exists.
    const QString url = m_server.url(QStringLiteral("/earlier.png"));
    ImageCacheManager &cache = ImageCacheManager::shared();
    QFile file(cache.diskPath(ImageCacheManager::cacheKey(url)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_png);
    file.close();

    ImageLoader loader;
    QList<ImageLoader::LoadState> seen;
    connect(&loader, &ImageLoader::loadStateChanged, this, [&] { seen.append(loader.loadState()); });
    loader.setSource(url);
    // Loaded before returning: no event loop turn, no spinner frame.
    QCOMPARE(loader.loadState(), ImageLoader::Loaded);
    QCOMPARE(seen, QList<ImageLoader::LoadState>{ImageLoader::Loaded});
    QCOMPARE(loader.image().size(), QSize(40, 30));
    QCOMPARE(m_server.requestCount(QStringLiteral("/earlier.png")), 0);
}

void ImageViewsTest::downloadPassesThroughLoading()
{
    ImageLoader loader;
    QList<ImageLoader::LoadState> seen;
    connect(&loader, &ImageLoader::loadStateChanged, this, [&] { seen.append(loader.loadState()); });
    loader.setSource(m_server.url(QStringLiteral("/fresh.png")));
    QCOMPARE(loader.loadState(), ImageLoader::Loading);
    QTRY_COMPARE(loader.loadState(), ImageLoader::Loaded);
    QCOMPARE(seen, (QList<ImageLoader::LoadState>{ImageLoader::Loading, ImageLoader::Loaded}));
    QCOMPARE(loader.image().size(), QSize(40, 30));
}

void ImageViewsTest::nonImageBodyFails()
{
    ImageLoader loader;
    loader.setSource(m_server.url(QStringLiteral("/page.png")));
    QTRY_COMPARE(loader.loadState(), ImageLoader::Failed);
    QVERIFY(loader.image().isNull());
}

void ImageViewsTest::resultForEarlierSourceIsDropped()
{
    m_server.setHolding(true);
    ImageLoader loader;
    loader.setSource(m_server.url(QStringLiteral("/held.png")));
    QTRY_COMPARE(m_server.heldCount(), 1);
    loader.setSource(m_server.url(QStringLiteral("/page.png")));
    QTRY_COMPARE(m_server.heldCount(), 2);
    m_server.setHolding(false);
    m_server.releaseHeld();
    // The page fails; the image that arrives for the earlier source must not replace that outcome.
    QTRY_COMPARE(loader.loadState(), ImageLoader::Failed);
    const QString held = m_server.url(QStringLiteral("/held.png"));
    QTRY_VERIFY(!ImageCacheManager::shared().cachedImage(held).isNull());
    QTest::qWait(100); // let the earlier download's result reach the loader, which must ignore it
    QCOMPARE(loader.loadState(), ImageLoader::Failed);
    QVERIFY(loader.image().isNull());
}

void ImageViewsTest::emptySourceStaysIdle()
{
    ImageLoader loader;
    QSignalSpy changes(&loader, &ImageLoader::loadStateChanged);
    loader.setSource(QString());
    QCOMPARE(loader.loadState(), ImageLoader::Idle);
    QCOMPARE(changes.count(), 0);
}

void ImageViewsTest::avatarURL_data()
{
    QTest::addColumn<QVariant>("stored"); // the server base URL, or nothing for the default
    QTest::addColumn<QVariant>("avatar");
    QTest::addColumn<QVariant>("expected");
    const QVariant none;
    const QString base = QStringLiteral("https://chat.example.org");
    QTest::newRow("absent") << none << none << none;
    QTest::newRow("empty") << QVariant(base) << QVariant(QString()) << none;
    QTest::newRow("https as is") << QVariant(base) << QVariant(QStringLiteral("https://cdn.example.org/a.png"))
                                 << QVariant(QStringLiteral("https://cdn.example.org/a.png"));
    QTest::newRow("http as is") << QVariant(base) << QVariant(QStringLiteral("http://cdn.example.org/a.png"))
                                << QVariant(QStringLiteral("http://cdn.example.org/a.png"));
    QTest::newRow("trailing slash, relative") << QVariant(base + QLatin1Char('/')) << QVariant(QStringLiteral("avatars/7.png"))
                                              << QVariant(base + QStringLiteral("/avatars/7.png"));
    QTest::newRow("trailing slash, absolute path") << QVariant(base + QLatin1Char('/')) << QVariant(QStringLiteral("/avatars/7.png"))
                                                   << QVariant(base + QStringLiteral("/avatars/7.png"));
    QTest::newRow("upper-case scheme is a path")
        << QVariant(base) << QVariant(QStringLiteral("HTTPS://cdn.example.org/a.png"))
        << QVariant(base + QStringLiteral("/HTTPS://cdn.example.org/a.png"));
    QTest::newRow("default server") << none << QVariant(QStringLiteral("/u/1.png"))
                                    << QVariant(ServerConfig::defaultBaseURL() + QStringLiteral("/u/1.png"));
    QTest::newRow("unparsable") << QVariant(base) << QVariant(QStringLiteral("https://bad host/a b.png")) << none;
}

void ImageViewsTest::avatarURL()
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

void ImageViewsTest::firstCharacter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("latin") << QStringLiteral("alice") << QStringLiteral("a");
    QTest::newRow("chinese") << QStringLiteral("张三") << QStringLiteral("张");
    QTest::newRow("emoji") << QStringLiteral("😀bob") << QStringLiteral("😀");
    QTest::newRow("family emoji") << QStringLiteral("👨‍👩‍👧 home") << QStringLiteral("👨‍👩‍👧");
    QTest::newRow("flag") << QStringLiteral("🇨🇳x") << QStringLiteral("🇨🇳");
    QTest::newRow("combining mark") << QStringLiteral("e\u0301x") << QStringLiteral("e\u0301");
    QTest::newRow("empty") << QString() << QString();
}

void ImageViewsTest::firstCharacter()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(ImageTools::firstCharacter(name), expected);
}

QTEST_MAIN(ImageViewsTest)
#include "tst_imageviews.moc"
