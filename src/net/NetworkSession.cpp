#include "NetworkSession.h"

#include "AppPaths.h"

#include <QNetworkCookieJar>
#include <QNetworkDiskCache>

namespace NetworkSession {

QNetworkAccessManager &shared()
{
    // Never destroyed: replies may still be finishing while the application object goes away.
    static QNetworkAccessManager *manager = [] {
        auto *created = new QNetworkAccessManager;
        created->setCookieJar(new QNetworkCookieJar(created));
        return created;
    }();
    return *manager;
}

void installUrlCache()
{
    QNetworkAccessManager &manager = shared();
    auto *cache = new QNetworkDiskCache(&manager);
    cache->setCacheDirectory(AppPaths::cacheDir() + QStringLiteral("/url_cache"));
    cache->setMaximumCacheSize(urlCacheBytes);
    manager.setCache(cache); // takes ownership and drops the previous cache
}

void clearCookies()
{
    // A fresh jar drops every cookie at once; the manager deletes the old one.
    QNetworkAccessManager &manager = shared();
    manager.setCookieJar(new QNetworkCookieJar(&manager));
}

} // namespace NetworkSession
