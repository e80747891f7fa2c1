// The hello snapshot end to end in the chat state: the frame decoded, merged and saved to the
// encrypted cache, against a bare JSON parse and a bare compact encode of the same snapshot.
#include "BenchStats.h"
#include "ChatJsonWriter.h"
#include "ChatViewModel.h"
#include "FileKeychainBackend.h"
#include "HelloMerger.h"
#include "HelloSnapshotGenerator.h"
#include "KeychainHelper.h"
#include "QuietStdout.h"
#include "SecureStorage.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

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

    constexpr int runs = 21;
    qsizetype sink = 0;
    const QJsonDocument parsed = QJsonDocument::fromJson(utf8);
    const double parse = bench::medianMs(runs, [&] { sink += QJsonDocument::fromJson(utf8).object().size(); });
    const double encode = bench::medianMs(runs, [&] { sink += parsed.toJson(QJsonDocument::Compact).size(); });

    int turn = 0;
    double mergeTotal = 0;
    double saveTotal = 0;
    double total = 0;
    {
        bench::QuietStdout quiet;
        std::vector<double> merges, saves;
        total = bench::medianMs(runs, [&] {
            QElapsedTimer timer;
            timer.start();
            ws.handleMessage(snapshots.at(turn++ % 2));
            merges.push_back(timer.nsecsElapsed() / 1e6);
            chat.flushPendingSave();
            saves.push_back(timer.nsecsElapsed() / 1e6 - merges.back());
        });
        std::sort(merges.begin(), merges.end());
        std::sort(saves.begin(), saves.end());
        mergeTotal = merges[merges.size() / 2];
        saveTotal = saves[saves.size() / 2];
    }
    sink += chat.globalMessages().size();

    // Where the time goes: each step alone.
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
    const double codecRooms = bench::medianMs(runs, [&] { sink += encodeJson(chat.dmMessages()).size(); });
    const QByteArray hallJson = ChatJsonWriter::write(chat.globalMessages());
    const double seal = bench::medianMs(runs, [&] { SecureStorage::shared().saveJson(hallJson, QStringLiteral("zp_bench")); });

    bench::figure("parse QJsonDocument::fromJson", parse, "ms", runs);
    bench::figure("encode QJsonDocument::toJson compact", encode, "ms", runs);
    bench::figure("hello decode+merge", mergeTotal, "ms", runs);
    bench::figure("hello save (encode+seal+write)", saveTotal, "ms", runs);
    bench::figure("hello decode+merge+save", total, "ms", runs);
    bench::ratio("hello decode+merge+save/parse", total / parse);
    bench::figure("step decodeJson<HelloMessage>", decode, "ms", runs);
    bench::figure("step merge of a decoded snapshot", merge, "ms", runs);
    bench::figure("step encode hall messages", encodeHall, "ms", runs);
    bench::figure("step encode direct rooms", encodeRooms, "ms", runs);
    bench::figure("step encode direct rooms through QJsonObject", codecRooms, "ms", runs);
    std::printf("hall JSON size: %.3f MB\n", hallJson.size() / 1e6);
    bench::figure("step seal+write hall JSON", seal, "ms", runs);
    return sink > 0 ? 0 : 1;
}
