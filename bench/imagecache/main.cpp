// Image cache figures: memory-hit lookups per second, disk-hit latency of a 200 KB JPEG, a burst of
// 100 simultaneous requests for one cold URL against a local HTTPS server (requests made, answers),
// and the memory the cache keeps resident after 100 large images, at full size and at a view's size.
#include "BenchStats.h"
#include "DevCertificates.h"
#include "ImageCacheManager.h"
#include "LocalHttpsServer.h"
#include "TestImages.h"
#include "TlsTrust.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <algorithm>
#include <malloc.h>
#include <unistd.h>
#include <cstdio>
#include <functional>

namespace {

void waitFor(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A JPEG of about 200 KB.
QByteArray jpegOfAbout200KB()
{
    QByteArray best;
    for (int side = 300; side <= 2000; side += 50) {
        best = TestImages::encoded(side, side * 3 / 4, "JPEG", 90);
        if (best.size() >= 200 * 1024)
            break;
    }
    return best;
}

// The process's resident memory, with freed heap handed back first so that only live data counts.
double residentMiB()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// Loads 100 different large images (each URL its own entry) for views of `viewSize` and reports
// what the memory level then holds, by its own count and by the process's resident size.
void residentAfterLargeImages(LocalHttpsServer &server, QNetworkAccessManager &network, const QSize &viewSize, const char *label)
{
    constexpr int images = 100;
    const QSize side(2000, 1500);
    const QByteArray png = TestImages::encoded(side.width(), side.height());
    QTemporaryDir fresh;
    const double before = residentMiB();
    {
        ImageCacheManager cache(fresh.path(), &network);
        for (int i = 0; i < images; ++i) {
            const QString path = QStringLiteral("/large-%1x%2-%3.png").arg(viewSize.width()).arg(viewSize.height()).arg(i);
            server.setResponse(path, {200, "image/png", png});
            QFuture<QImage> loaded = cache.loadImage(server.url(path), viewSize);
            waitFor([&] { return loaded.isFinished(); });
            if (loaded.result().isNull())
                std::abort();
        }
        const double resident = residentMiB() - before;
        const double limit = ImageCacheManager::memoryCostLimit / (1024.0 * 1024.0);
        std::printf("memory cache after %d images of %dx%d (%.0f KB PNG) %s: %lld images, %.1f MiB decoded, limit %.1f MiB\n",
                    images, side.width(), side.height(), png.size() / 1024.0, label, qlonglong(cache.memoryCount()),
                    cache.memoryCost() / (1024.0 * 1024.0), limit);
        std::printf("memory cache resident size after %d large images %s: %.1f MiB\n", images, label, resident);
        bench::ratio(qPrintable(QStringLiteral("memory cache resident size to its limit, %1").arg(QLatin1String(label))),
                     resident / limit);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Result<DevCertificates> certificates = DevCertificates::generate();
    if (!dir.isValid() || !certificates) {
        std::fprintf(stderr, "set-up failed\n");
        return 1;
    }
    TlsTrust::addCaCertificates({certificates->caCertificate});
    LocalHttpsServer server;
    if (!server.start(certificates.value())) {
        std::fprintf(stderr, "the local HTTPS server did not start\n");
        return 1;
    }
    const QByteArray jpeg = jpegOfAbout200KB();
    std::printf("jpeg size: %.1f KB\n", jpeg.size() / 1024.0);
    QNetworkAccessManager network;
    const QString cacheDir = dir.path() + QStringLiteral("/ImageCache");

    // Memory hits: the cost of a repeated view of the same image.
    {
        ImageCacheManager cache(cacheDir, &network);
        const QString url = server.url(QStringLiteral("/memory.jpg"));
        server.setResponse(QStringLiteral("/memory.jpg"), {200, "image/jpeg", jpeg});
        QFuture<QImage> first = cache.loadImage(url);
        waitFor([&] { return first.isFinished(); });
        constexpr int lookups = 200000;
        const int runs = 7;
        const double ms = bench::medianMs(runs, [&] {
            for (int i = 0; i < lookups; ++i) {
                if (cache.cachedImage(url).isNull())
                    std::abort();
            }
        });
        bench::figure("memory hit lookups", lookups / (ms / 1000.0), "per s", runs);
    }

    // Disk hits: a fresh manager (empty memory) over a folder that holds the file.
    {
        const QString url = server.url(QStringLiteral("/disk.jpg"));
        QFile file(cacheDir + QLatin1Char('/') + ImageCacheManager::cacheKey(url));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size())
            return 1;
        file.close();
        const int runs = 31;
        const double syncMs = bench::medianMs(runs, [&] {
            ImageCacheManager cache(cacheDir, &network);
            if (cache.cachedImage(url).isNull())
                std::abort();
        });
        bench::figure("disk hit latency 200KB jpeg (synchronous first look)", syncMs, "ms", runs);
        const double asyncMs = bench::medianMs(runs, [&] {
            ImageCacheManager cache(cacheDir, &network);
            QFuture<QImage> loaded = cache.loadImage(url);
            waitFor([&] { return loaded.isFinished(); });
            if (loaded.result().isNull())
                std::abort();
        });
        bench::figure("disk hit latency 200KB jpeg (loadImage)", asyncMs, "ms", runs);
    }

    // A burst of 100 views asking at once for an image nobody has yet.
    {
        constexpr int callers = 100;
        const int runs = 9;
        int mostRequests = 0; // the worst burst counts
        int fewestAnswered = callers;
        int run = 0;
        const double ms = bench::medianMs(runs, [&] {
            const QString path = QStringLiteral("/cold.jpg?run=%1").arg(run++);
            server.setResponse(path, {200, "image/jpeg", jpeg});
            QTemporaryDir fresh;
            ImageCacheManager cache(fresh.path(), &network);
            QList<QFuture<QImage>> futures;
            for (int i = 0; i < callers; ++i)
                futures.append(cache.loadImage(server.url(path)));
            waitFor([&] {
                return std::all_of(futures.cbegin(), futures.cend(), [](const QFuture<QImage> &f) { return f.isFinished(); });
            });
            mostRequests = std::max(mostRequests, server.requestCount(path));
            fewestAnswered = std::min(fewestAnswered, int(std::count_if(futures.cbegin(), futures.cend(), [](const QFuture<QImage> &f) {
                                          return !f.result().isNull();
                                      })));
        });
        bench::figure("cold burst of 100 requests, time to all answered", ms, "ms", runs);
        std::printf("cold burst of 100 requests, HTTP requests made: %d requests (most in any of %d runs)\n",
                    mostRequests, runs);
        std::printf("cold burst of 100 requests, callers answered with the image: %d callers (fewest in any of %d runs)\n",
                    fewestAnswered, runs);
    }

    // Large images: the limit holds decoded pixels, whatever the files weigh.
    residentAfterLargeImages(server, network, QSize(), "at full size");
    residentAfterLargeImages(server, network, QSize(400, 300), "shown at 400x300");
    return 0;
}
