// Inbound dispatch throughput: hall message frames of about 100 bytes through
// WebSocketService::handleMessage (parse, table lookup, ChatMessage decode, slot call) against a
// bare QJsonDocument parse of the same frames.
#include "BenchStats.h"
#include "WebSocketService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace {

constexpr int framesPerRun = 20000;
constexpr int runs = 15;

// Distinct frames so nothing is cached between them; each is padded to 100 bytes of UTF-8.
QList<QString> hallFrames()
{
    QList<QString> frames;
    frames.reserve(framesPerRun);
    for (int i = 0; i < framesPerRun; ++i) {
        QString frame = QStringLiteral(R"({"type":"global","id":"m%1","from":"u%2","fromName":"amy","content":"%3","time":1700000000000})")
                            .arg(i, 6, 10, QLatin1Char('0'))
                            .arg(i % 97, 2, 10, QLatin1Char('0'));
        const qsizetype padding = 100 - (frame.toUtf8().size() - 2);
        frames.append(frame.arg(QString(qMax<qsizetype>(padding, 1), QLatin1Char('x'))));
    }
    return frames;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QList<QString> frames = hallFrames();

    WebSocketService service;
    qint64 delivered = 0;
    service.onGlobalMessage = [&delivered](const ChatMessage &message) { delivered += message.time > 0; };

    const double dispatchMs = bench::medianMs(runs, [&] {
        for (const QString &frame : frames)
            service.handleMessage(frame);
    });
    qint64 parsedMembers = 0;
    const double parseMs = bench::medianMs(runs, [&] {
        for (const QString &frame : frames)
            parsedMembers += QJsonDocument::fromJson(frame.toUtf8()).object().size();
    });

    if (delivered != qint64(framesPerRun) * runs || parsedMembers == 0) {
        std::fprintf(stderr, "frames were not all delivered (%lld)\n", static_cast<long long>(delivered));
        return 1;
    }
    const double dispatchRate = framesPerRun / (dispatchMs / 1000.0);
    const double parseRate = framesPerRun / (parseMs / 1000.0);
    std::printf("frame size: %lld bytes\n", static_cast<long long>(frames.first().toUtf8().size()));
    bench::figure("dispatch hall message", dispatchRate, "frames/s", runs);
    bench::figure("bare QJsonDocument parse", parseRate, "frames/s", runs);
    bench::ratio("dispatch / bare parse throughput", dispatchRate / parseRate);
    return 0;
}
