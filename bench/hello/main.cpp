// The hello snapshot end to end in the chat state: the frame decoded, merged and saved to the
// encrypted cache. Two ways side by side in the same run: as the client does it (decoded on a worker,
// merged on the main thread, written by the cache's writer thread) with the main thread's longest
// stall, and all of it on the main thread in one piece, as it used to be.
#include "BenchStats.h"
#include "ChatJsonWriter.h"
#include "ChatViewModel.h"
#include "EventDispatcher.h"
#include "FileKeychainBackend.h"
#include "HelloMerger.h"
#include "HelloSnapshotGenerator.h"
#include "KeychainHelper.h"
#include "QuietStdout.h"
#include "SecureStorage.h"
#include "SettingsStore.h"
#include "StallProbe.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {
double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::shared().setLocation(dir.path() + QStringLiteral("/settings"));
    KeychainHelper::shared().setBackend(std::make_unique<FileKeychainBackend>(dir.path() + QStringLiteral("/keychain")));

    // Two snapshots of the same shape and different content, alternated so that every run replaces
    // what the previous one stored (an unchanged snapshot would skip the sealing).
    HelloSnapshotShape second;
    second.seed += 1;
    const QList<QString> snapshots{QString::fromUtf8(generateHelloSnapshot()), QString::fromUtf8(generateHelloSnapshot(second))};
    const QByteArray utf8 = snapshots.first().toUtf8();
    std::printf("snapshot size: %.3f MB\n", utf8.size() / 1e6);

    WebSocketService ws;
    ChatServices services;
    services.ws = &ws;
    ChatViewModel chat(services);
    const auto settled = [&] { return ws.inbound().isIdle() && !chat.cache().savePending() && !chat.cache().isWriting(); };

    constexpr int runs = 20;
    qsizetype sink = 0;
    // The two ways alternate, so that both meet the same load on a shared machine.
    std::vector<double> threadedTotals, oneThreadTotals, longestStalls, p99Stalls, idleStalls;
    bench::StallProbe probe;
    {
        bench::QuietStdout quiet;
        for (int run = 0; run < runs * 2; ++run) {
            const QString &snapshot = snapshots.at(run % 2);
            QElapsedTimer timer;
            timer.start();
            if (run % 4 < 2) {
                probe.start();
                ws.handleMessage(snapshot);
                while (!settled())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                threadedTotals.push_back(timer.nsecsElapsed() / 1e6);
                probe.stop();
                longestStalls.push_back(probe.longestMs());
                p99Stalls.push_back(probe.p99Ms());
                probe.idle(int(threadedTotals.back()));
                idleStalls.push_back(probe.longestMs());
            } else {
                EventDispatcher::dispatch(snapshot, ws);
                chat.flushPendingSave();
                oneThreadTotals.push_back(timer.nsecsElapsed() / 1e6);
            }
        }
    }
    sink += chat.globalMessages().size();

    // Where the time goes: each step alone.
    const double parse = bench::medianMs(runs, [&] { sink += QJsonDocument::fromJson(utf8).object().size(); });
    const double decode = bench::medianMs(runs, [&] { sink += decodeJson<HelloMessage>(utf8)->globalMsgs->size(); });
    const HelloMessage hello = decodeJson<HelloMessage>(utf8).value();
    double merge = 0;
    {
        bench::QuietStdout quiet;
        merge = bench::medianMs(runs, [&] { HelloMerger::merge(chat, hello); });
    }
    chat.flushPendingSave();
    const double encodeHall = bench::medianMs(runs, [&] { sink += ChatJsonWriter::write(chat.globalMessages()).size(); });
    const double encodeRooms = bench::medianMs(runs, [&] { sink += ChatJsonWriter::write(chat.dmMessages()).size(); });
    const QByteArray hallJson = ChatJsonWriter::write(chat.globalMessages());
    const double seal = bench::medianMs(runs, [&] { SecureStorage::shared().saveJson(hallJson, QStringLiteral("zp_bench")); });

    const double threaded = median(threadedTotals);
    const double oneThread = median(oneThreadTotals);
    bench::figure("hello longest main-thread stall (decoded on a worker, saved by the writer)", median(longestStalls), "ms", runs);
    bench::figure("hello 99th percentile main-thread gap", median(p99Stalls), "ms", runs);
    std::printf("hello longest main-thread stall, worst run: %.3f ms\n", *std::max_element(longestStalls.begin(), longestStalls.end()));
    bench::figure("longest main-thread gap with nothing to do, as long (the machine's own load)", median(idleStalls), "ms", runs);
    bench::figure("hello merged and on disk (decoded on a worker, saved by the writer)", threaded, "ms", runs);
    bench::figure("hello merged and on disk, all on the main thread (one stall)", oneThread, "ms", runs);
    bench::ratio("hello merged and on disk, threaded/main thread only", threaded / oneThread);
    bench::figure("step parse QJsonDocument::fromJson", parse, "ms", runs);
    bench::figure("step decodeJson<HelloMessage>", decode, "ms", runs);
    bench::figure("step merge of a decoded snapshot", merge, "ms", runs);
    bench::figure("step encode hall messages", encodeHall, "ms", runs);
    bench::figure("step encode direct rooms", encodeRooms, "ms", runs);
    std::printf("hall JSON size: %.3f MB\n", hallJson.size() / 1e6);
    bench::figure("step seal+write hall JSON", seal, "ms", runs);
    return sink > 0 ? 0 : 1;
}
