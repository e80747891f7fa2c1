// What the image views build on: a loader that drops the result of an earlier source, the avatar
// URL rule and the fallback character's grapheme edges (the loader's states and the common
// fallback characters are checked through the QML views).
#include "ImageCacheManager.h"
#include "ImageLoader.h"
#include "ImageTools.h"
#include "ImageURLs.h"
#include "LocalHttpsServer.h"
#include "ServerConfig.h"
#include "SettingsStore.h"
#include "TestImages.h"

#include <QtTest>

class ImageViewsTest : public QObject
{
    Q_OBJECT

    LocalHttpsServer m_server;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.startTrusted());
        m_server.setResponse(QStringLiteral("/held.png"), {200, "image/png", TestImages::encoded(40, 30)});
        m_server.setResponse(QStringLiteral("/page.png"), {200, "text/html", "<html>oops</html>"});
    }

    void init()
    {
        SettingsStore::shared().remove(QLatin1String(ServerConfig::settingsKey));
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

QTEST_MAIN(ImageViewsTest)
#include "tst_imageviews.moc"
