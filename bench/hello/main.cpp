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
    const double encode = bench::medianMs(runs, [&] { sink += parsed.toJson(QJsonDocument::Compact).size(); });

    // The bare parse and the snapshot's way through the chat state alternate, so that both meet the
    // same load on a shared machine.
    std::vector<double> parses, merges, saves, totals;
    {
        bench::QuietStdout quiet;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            sink += QJsonDocument::fromJson(utf8).object().size();
            parses.push_back(timer.nsecsElapsed() / 1e6);
            timer.restart();
            ws.handleMessage(snapshots.at(run % 2));
            merges.push_back(timer.nsecsElapsed() / 1e6);
            chat.flushPendingSave();
            totals.push_back(timer.nsecsElapsed() / 1e6);
            saves.push_back(totals.back() - merges.back());
        }
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double parse = median(parses);
    const double mergeTotal = median(merges);
    const double saveTotal = median(saves);
    const double total = median(totals);
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
