#pragma once
// Set-up of the image, update and screen QML tests: a local HTTPS server (trusted through a test CA)
// with a few canned images and a version file, and the test-only MediaTestSupport singleton (module
// ZephlinTest) that hands its URLs and picture files to the test cases.
#include "AppUpdateChecker.h"
#include "ImageCacheManager.h"
#include "LocalHttpsServer.h"
#include "QmlTestSetup.h"
#include "ServerConfig.h"
#include "SettingsStore.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>
#include <QtQml/qqml.h>

class MediaTestSupport : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    static QByteArray png(const QColor &color, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(color);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    LocalHttpsServer &server() { return m_server; }

    Q_INVOKABLE QString url(const QString &path) const { return m_server.url(path); }
    Q_INVOKABLE QString baseURL() const { return m_server.baseURL(); }
    Q_INVOKABLE int requestCount(const QString &path) const { return m_server.requestCount(path); }
    Q_INVOKABLE void setServerURL(const QString &base)
    {
        SettingsStore::shared().setString(QLatin1String(ServerConfig::settingsKey), base);
    }
    // A picture file to pick.
    Q_INVOKABLE QUrl pictureFile()
    {
        const QString path = m_files.filePath(QStringLiteral("picture.png"));
        QFile file(path);
        if (!file.exists() && (!file.open(QIODevice::WriteOnly) || file.write(png(Qt::green, 30, 30)) <= 0))
            return {};
        return QUrl::fromLocalFile(path);
    }
    // An image left in the disk cache by an earlier launch.
    Q_INVOKABLE bool storeOnDisk(const QString &url, const QColor &color)
    {
        QSaveFile file(ImageCacheManager::shared().diskPath(ImageCacheManager::cacheKey(url)));
        return file.open(QIODevice::WriteOnly) && file.write(png(color, 40, 30)) > 0 && file.commit();
    }

private:
    LocalHttpsServer m_server;
    QTemporaryDir m_files;
};

class MediaTestSetup : public QmlTestSetup
{
    Q_OBJECT

public Q_SLOTS:
    void applicationAvailable()
    {
        QmlTestSetup::applicationAvailable();
        LocalHttpsServer &server = m_support.server();
        if (!server.startTrusted())
            qFatal("the local HTTPS server did not start");
        server.setResponse(QStringLiteral("/photo.png"), {200, "image/png", MediaTestSupport::png(Qt::blue, 40, 30)});
        server.setResponse(QStringLiteral("/avatar.png"), {200, "image/png", MediaTestSupport::png(Qt::red, 20, 20)});
        server.setResponse(QStringLiteral("/large.png"), {200, "image/png", MediaTestSupport::png(Qt::blue, 1000, 800)});
        server.setResponse(QStringLiteral("/page.png"), {200, "text/html", "<html><body>not an image</body></html>"});
        server.setResponse(QStringLiteral("/downloads/zephlin/version.json"),
                           {200, "application/json", "{\"version\":\"99.0\",\"url\":\"https://127.0.0.1/p.ipa\",\"notes\":\"新功能\"}"});
        AppUpdateChecker::shared().setUpdateBaseURL(server.baseURL());
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QmlTestSetup::qmlEngineAvailable(engine);
        qmlRegisterSingletonInstance("ZephlinTest", 1, 0, "MediaTestSupport", &m_support);
    }

private:
    MediaTestSupport m_support;
};
