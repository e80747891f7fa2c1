// The encrypted store on the chat-cache hot path: save and load of a 1 MB value against a bare
// JSON encode and decode of the same value.
#include "BenchStats.h"
#include "ChatMessage.h"
#include "FileKeychainBackend.h"
#include "KeychainHelper.h"
#include "SecureStorage.h"
#include "SettingsStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {
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

    constexpr int runs = 21;
    const double bare = bench::medianMs(runs, [&] {
        const Result<Rooms> decoded = decodeJson<Rooms>(encodeJson(rooms));
        Q_ASSERT(decoded);
    });
    const double secure = bench::medianMs(runs, [&] {
        storage.save(rooms, QStringLiteral("zp_dm_msgs"));
        const std::optional<Rooms> loaded = storage.load<Rooms>(QStringLiteral("zp_dm_msgs"));
        Q_ASSERT(loaded);
    });
    const double sealedOnly = bench::medianMs(runs, [&] {
        storage.saveJson(json, QStringLiteral("zp_raw"));
        storage.loadJson(QStringLiteral("zp_raw"));
    });
    bench::figure("bare JSON encode+decode, 1 MB", bare, "ms", runs);
    bench::figure("SecureStorage save+load, 1 MB", secure, "ms", runs);
    bench::figure("saveJson+loadJson of encoded JSON (seal, open, file write and read), 1 MB", sealedOnly, "ms", runs);
    bench::ratio("SecureStorage save+load to bare JSON encode+decode", secure / bare);
    return 0;
}
