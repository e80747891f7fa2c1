// The encrypted store on the chat-cache hot path: save and load of a 1 MB value against a bare
// JSON encode and decode of the same value.
#include "BenchStats.h"
#include "ChatMessage.h"
#include "FileKeychainBackend.h"
#include "KeychainHelper.h"
#include "SecureStorage.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <ctime>

namespace {
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + now.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

using Rooms = QHash<QString, QList<ChatMessage>>;

// Direct conversations of realistic messages, about 1 MB of JSON.
Rooms sampleRooms()
{
    Rooms rooms;
    for (int n = 0; encodeJson(rooms).size() < 1000000; ++n) {
        ChatMessage message;
        message.id = QStringLiteral("msg_%1").arg(n);
        message.from = QStringLiteral("u%1").arg(n % 7);
        message.fromName = QStringLiteral("用户%1").arg(n % 7);
        message.content = QStringLiteral("今天晚上一起吃饭吗？ message number %1 with some text").arg(n);
        message.time = 1772352942000 + n;
        message.to = QStringLiteral("u%1").arg((n + 1) % 7);
        for (int i = 0; i < 200; ++i, ++n)
            rooms[QStringLiteral("dm_u%1").arg(n % 20)].append(message);
    }
    return rooms;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::shared().setLocation(dir.path() + QStringLiteral("/settings"));
    KeychainHelper::shared().setBackend(std::make_unique<FileKeychainBackend>(dir.path() + QStringLiteral("/keychain")));
    SecureStorage &storage = SecureStorage::shared();

    const Rooms rooms = sampleRooms();
    const QByteArray json = encodeJson(rooms);
    std::printf("value size: %lld bytes of JSON\n", static_cast<long long>(json.size()));
    storage.save(rooms, QStringLiteral("zp_dm_msgs")); // creates the storage key once

    // Bare and sealed runs alternate, so that both see the same share of a busy machine. Wall time
    // includes the settings store's durable file write; CPU time is this thread's own work.
    constexpr int runs = 21;
    std::vector<double> bareWall, bareCpu, secureWall, secureCpu, rawWall;
    auto measure = [](std::vector<double> &wall, std::vector<double> &cpu, auto &&work) {
        const double cpuStart = threadCpuMs();
        QElapsedTimer timer;
        timer.start();
        work();
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(threadCpuMs() - cpuStart);
    };
    std::vector<double> unusedCpu;
    for (int run = 0; run < runs; ++run) {
        measure(bareWall, bareCpu, [&] {
            const Result<Rooms> decoded = decodeJson<Rooms>(encodeJson(rooms));
            Q_ASSERT(decoded);
        });
        measure(secureWall, secureCpu, [&] {
            storage.save(rooms, QStringLiteral("zp_dm_msgs"));
            const std::optional<Rooms> loaded = storage.load<Rooms>(QStringLiteral("zp_dm_msgs"));
            Q_ASSERT(loaded);
        });
        measure(rawWall, unusedCpu, [&] {
            storage.saveJson(json, QStringLiteral("zp_raw"));
            storage.loadJson(QStringLiteral("zp_raw"));
        });
    }
    bench::figure("bare JSON encode+decode, 1 MB, wall", median(bareWall), "ms", runs);
    bench::figure("SecureStorage save+load, 1 MB, wall", median(secureWall), "ms", runs);
    bench::figure("saveJson+loadJson of encoded JSON (seal, open, file write and read), 1 MB, wall", median(rawWall), "ms", runs);
    bench::figure("bare JSON encode+decode, 1 MB, CPU", median(bareCpu), "ms", runs);
    bench::figure("SecureStorage save+load, 1 MB, CPU", median(secureCpu), "ms", runs);
    bench::ratio("SecureStorage save+load to bare JSON encode+decode, wall", median(secureWall) / median(bareWall));
    bench::ratio("SecureStorage save+load to bare JSON encode+decode, CPU", median(secureCpu) / median(bareCpu));
    return 0;
}
