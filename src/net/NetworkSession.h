#pragma once
// The process-wide HTTPS session: one QNetworkAccessManager with a cookie jar, used on the main thread.
#include <QNetworkAccessManager>

namespace NetworkSession {

QNetworkAccessManager &shared();
// Replaces the response cache with a 200 MB disk cache under "url_cache" in the caches folder.
void installUrlCache();
// Forgets every cookie of the session at once.
void clearCookies();

inline constexpr qint64 urlCacheBytes = 200LL * 1024 * 1024;

} // namespace NetworkSession
