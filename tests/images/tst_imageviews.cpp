// What the image views build on: the loader's states (a cached image never shows "loading"), the
// avatar URL rule and the fallback character.
#include "AppPaths.h"
#include "ImageCacheManager.h"
#include "ImageLoader.h"
#include "ImageTools.h"
#include "ImageURLs.h"
#include "LocalHttpsServer.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "TestImages.h"

#include <QFile>
#include <QtTest>

class ImageViewsTest : public QObject
{
    Q_OBJECT

    LocalHttpsServer m_server;
    QByteArray m_png;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.startTrusted());
        m_png = TestImages::encoded(40, 30);
        for (const char *path : {"/fresh.png", "/held.png"})
            m_server.setResponse(QString::fromLatin1(path), {200, "image/png", m_png});
        m_server.setResponse(QStringLiteral("/page.png"), {200, "text/html", "<html>oops</html>"});
    }

    void init()
    {
        SettingsStore::shared().remove(QLatin1String(ServerConfig::settingsKey));
    }

    void loadStates_data()
    {
        QTest::addColumn<QString>("path"); // on the local server; empty for no source
        QTest::addColumn<bool>("onDisk"); // as if downloaded in an earlier launch
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<QSize>("size");
        // A cached image is loaded before setSource returns: no event loop turn, no spinner frame.
        QTest::newRow("disk hit") << "/earlier.png" << true << QList<int>{ImageLoader::Loaded} << QSize(40, 30);
        QTest::newRow("download") << "/fresh.png" << false << QList<int>{ImageLoader::Loading, ImageLoader::Loaded} << QSize(40, 30);
        QTest::newRow("not an image") << "/page.png" << false << QList<int>{ImageLoader::Loading, ImageLoader::Failed} << QSize(0, 0);
        QTest::newRow("no source") << "" << false << QList<int>() << QSize(0, 0);
    }
    void loadStates()
    {
        QFETCH(QString, path);
        QFETCH(bool, onDisk);
        QFETCH(QList<int>, states);
        QFETCH(QSize, size);
        const QString url = path.isEmpty() ? QString() : m_server.url(path);
        if (onDisk) {
            QFile file(ImageCacheManager::shared().diskPath(ImageCacheManager::cacheKey(url)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(m_png);
        }
        ImageLoader loader;
        QList<int> seen;
        connect(&loader, &ImageLoader::loadStateChanged, this, [&] { seen.append(loader.loadState()); });
        loader.setSource(url);
        QCOMPARE(int(loader.loadState()), states.isEmpty() ? int(ImageLoader::Idle) : states.first());
        QTRY_COMPARE(seen, states);
        QCOMPARE(loader.image().size(), size);
        if (onDisk)
            QCOMPARE(m_server.requestCount(path), 0);
    }

    void resultForEarlierSourceIsDropped()
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

    void avatarURL_data()
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
        QTest::newRow("chinese") << QStringLiteral("张三") << QStringLiteral("张");
        QTest::newRow("family emoji") << QStringLiteral("👨‍👩‍👧 home") << QStringLiteral("👨‍👩‍👧");
        QTest::newRow("flag") << QStringLiteral("🇨🇳x") << QStringLiteral("🇨🇳");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301x") << QStringLiteral("e\u0301");
        QTest::newRow("empty") << QString() << QString();
    }

    void firstCharacter()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(ImageTools::firstCharacter(name), expected);
    }
};

QTEST_MAIN(ImageViewsTest)
#include "tst_imageviews.moc"
