// A burst of live hall messages into a chat state that already holds 20,000 messages across its
// rooms: 5,000 frames in bursts of 100 per event-loop turn, each handled and saved, the last one on
// disk at the end, with the main thread's longest stall meanwhile. Compared side by side with saving
// after every message, both as the chat state does it (only the changed key, waiting for the disk)
// and as a save of all five keys after every message would cost.
#include "BenchStats.h"
#include "ChatViewModel.h"
#include "FileKeychainBackend.h"
#include "HelloSnapshotGenerator.h"
#include "KeychainHelper.h"
#include "QuietStdout.h"
#include "SecureStorage.h"
#include "SettingsStore.h"
#include "StallProbe.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

namespace {
constexpr int burstSize = 100;
constexpr int frameCount = 5000;

QStringList hallFrames(int run)
{
    QStringList frames;
    for (int i = 0; i < frameCount; ++i) {
        const QJsonObject frame{{QStringLiteral("type"), QStringLiteral("global")},
                                {QStringLiteral("id"), QStringLiteral("r%1_m%2").arg(run).arg(i)},
                                {QStringLiteral("from"), QStringLiteral("u%1").arg(1 + i % 300, 6, 10, QLatin1Char('0'))},
                                {QStringLiteral("fromName"), QStringLiteral("用户%1").arg(i % 300)},
                                {QStringLiteral("content"), QStringLiteral("大家好，这是第 %1 条消息 hello everyone").arg(i)},
                                {QStringLiteral("time"), 1772352942000LL + i}};
        frames.append(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
    }
    return frames;
}

// The five stored keys written after one message, as a save of all of them would do it.
void saveAllKeys(const ChatViewModel &chat)
{
    SecureStorage &storage = SecureStorage::shared();
    storage.save(chat.friends(), QStringLiteral("zp_friends"));
    storage.save(chat.groups(), QStringLiteral("zp_groups"));
    storage.save(chat.globalMessages(), QStringLiteral("zp_global_msgs"));
    storage.save(chat.dmMessages(), QStringLiteral("zp_dm_msgs"));
    storage.save(chat.groupMessages(), QStringLiteral("zp_group_msgs"));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::shared().setLocation(dir.path() + QStringLiteral("/settings"));
    KeychainHelper::shared().setBackend(std::make_unique<FileKeychainBackend>(dir.path() + QStringLiteral("/keychain")));
    SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), QStringLiteral("u000000"));

    HelloSnapshotShape shape;
    shape.hallMessages = 500;
    shape.messagesPerGroup = 50; // 200 groups × 50 + 200 direct rooms × 50 + 500 in the hall
    const QString snapshot = QString::fromUtf8(generateHelloSnapshot(shape));

    WebSocketService ws;
    ChatServices services;
    services.ws = &ws;
    ChatViewModel chat(services);
    std::vector<QStringList> frames;
    constexpr int runs = 5;
    for (int run = 0; run < runs * 2 + 1; ++run)
        frames.push_back(hallFrames(run));

    int run = 0;
    const auto reset = [&] {
        bench::QuietStdout quiet;
        ws.handleMessage(snapshot);
        while (!ws.inbound().isIdle())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        chat.flushPendingSave();
        QCoreApplication::processEvents();
    };
    reset();
    qsizetype stored = 0;
    for (const auto &room : chat.dmMessages())
        stored += room.size();
    for (const auto &room : chat.groupMessages())
        stored += room.size();
    std::printf("stored before the burst: %lld messages (%lld in the hall)\n", static_cast<long long>(stored + chat.globalMessages().size()),
                static_cast<long long>(chat.globalMessages().size()));

    // Bursts of 100 frames per event-loop turn, fed by a zero timer as the socket would; the turn's
    // end takes the save, the writer thread writes it.
    std::vector<double> coalescedTimes, perMessageTimes, longestStalls, p99Stalls, idleStalls;
    bench::StallProbe probe;
    for (int i = 0; i < runs; ++i) {
        reset();
        const QStringList &burstFrames = frames[run++];
        int next = 0;
        QTimer feeder;
        feeder.setInterval(0);
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            for (const int end = next + burstSize; next < end; ++next)
                ws.handleMessage(burstFrames.at(next));
            if (next == frameCount)
                feeder.stop();
        });
        QElapsedTimer timer;
        timer.start();
        probe.start();
        feeder.start();
        while (feeder.isActive() || chat.cache().savePending() || chat.cache().isWriting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        coalescedTimes.push_back(timer.nsecsElapsed() / 1e6);
        probe.stop();
        longestStalls.push_back(probe.longestMs());
        p99Stalls.push_back(probe.p99Ms());
        probe.idle(int(coalescedTimes.back()));
        idleStalls.push_back(probe.longestMs());
        const QString lastId = QJsonDocument::fromJson(burstFrames.last().toUtf8()).object().value(QStringLiteral("id")).toString();
        if (SecureStorage::shared().load<QList<ChatMessage>>(QStringLiteral("zp_global_msgs"))->last().id != lastId)
            std::fprintf(stderr, "the burst did not reach the disk\n");
    }
    // The same frames, each message saved before the next is handled: the first 1,000 measured,
    // scaled to 5,000 (the hall stays at 500 messages throughout, so every save costs the same).
    constexpr int perMessageSample = 1000;
    for (int i = 0; i < runs; ++i) {
        reset();
        const QStringList &burstFrames = frames[run++];
        QElapsedTimer timer;
        timer.start();
        for (int k = 0; k < perMessageSample; ++k) {
            ws.handleMessage(burstFrames.at(k));
            chat.flushPendingSave();
        }
        QCoreApplication::processEvents();
        perMessageTimes.push_back(timer.nsecsElapsed() / 1e6 * frameCount / perMessageSample);
    }
    // All five keys encoded through the record codec and sealed after every message: measured over
    // the first 20 messages, scaled to 5,000.
    constexpr int allKeysSample = 20;
    reset();
    const QStringList &sampleFrames = frames[run++];
    QElapsedTimer timer;
    timer.start();
    for (int k = 0; k < allKeysSample; ++k) {
        ws.handleMessage(sampleFrames.at(k));
        saveAllKeys(chat);
    }
    const double allKeysPerMessage = timer.nsecsElapsed() / 1e6 / allKeysSample;
    QCoreApplication::processEvents();

    std::sort(coalescedTimes.begin(), coalescedTimes.end());
    std::sort(perMessageTimes.begin(), perMessageTimes.end());
    std::sort(longestStalls.begin(), longestStalls.end());
    std::sort(p99Stalls.begin(), p99Stalls.end());
    std::sort(idleStalls.begin(), idleStalls.end());
    const double coalesced = coalescedTimes[runs / 2];
    bench::figure("burst longest main-thread stall", longestStalls[runs / 2], "ms", runs);
    bench::figure("burst 99th percentile main-thread gap", p99Stalls[runs / 2], "ms", runs);
    std::printf("burst longest main-thread stall, worst run: %.3f ms\n", longestStalls.back());
    bench::figure("longest main-thread gap with nothing to do, as long (the machine's own load)", idleStalls[runs / 2], "ms", runs);
    const double perMessage = perMessageTimes[runs / 2];
    const double allKeys = allKeysPerMessage * frameCount;
    bench::figure("burst 5000 hall frames handled and on disk (coalesced per turn)", coalesced, "ms", runs);
    std::printf("burst 5000 hall frames saved after every message (changed key only): %.0f ms (median of %d runs, 1000 messages measured, scaled)\n",
                perMessage, runs);
    std::printf("burst 5000 hall frames saved after every message (all five keys): %.0f ms (20 messages measured, scaled)\n", allKeys);
    bench::ratio("per-message save (changed key)/coalesced", perMessage / coalesced);
    bench::ratio("per-message save (all keys)/coalesced", allKeys / coalesced);
    return 0;
}
