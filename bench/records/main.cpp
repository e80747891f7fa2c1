// How much decoding a hello snapshot into records costs on top of parsing its JSON.
#include "BenchStats.h"
#include "HelloMessage.h"
#include "HelloSnapshotGenerator.h"

#include <QJsonDocument>
#include <cstdio>

int main()
{
    constexpr int runs = 21;
    const QByteArray snapshot = generateHelloSnapshot();
    std::printf("snapshot size: %.3f MB\n", snapshot.size() / 1e6);

    // Decode once up front: a snapshot that fails would make the timings meaningless.
    const Result<HelloMessage> check = decodeJson<HelloMessage>(snapshot);
    if (!check) {
        std::fprintf(stderr, "snapshot does not decode: %s\n", qPrintable(check.error()));
        return 1;
    }

    qsizetype sink = 0;
    const double parse = bench::medianMs(runs, [&] { sink += QJsonDocument::fromJson(snapshot).object().size(); });
    const double decode = bench::medianMs(runs, [&] { sink += decodeJson<HelloMessage>(snapshot)->globalMsgs->size(); });
    bench::figure("parse QJsonDocument::fromJson", parse, "ms", runs);
    bench::figure("decode decodeJson<HelloMessage>", decode, "ms", runs);
    bench::ratio("decode/parse", decode / parse);
    return sink > 0 ? 0 : 1;
}
