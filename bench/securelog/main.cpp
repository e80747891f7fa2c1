// The encrypted log: what log() costs its caller, and how many entries the worker encrypts and
// appends per second, next to the bare RSA-2048 public-key rate of this machine.
#include "BenchStats.h"
#include "SecureLogger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <openssl/evp.h>
#include <openssl/rsa.h>

namespace {
constexpr int runs = 5;
constexpr int entriesPerRun = 20000;

// Entries per second through log() until the worker has written them all.
double workerRate(SecureLogger &logger, const QString &message)
{
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < entriesPerRun; ++i)
            logger.log(message, LogLevel::Info, QStringLiteral("Bench"));
        logger.waitForIdle();
        rates.push_back(entriesPerRun / (timer.nsecsElapsed() / 1e9));
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

// RSA-2048 PKCS#1 v1.5 public-key encryptions per second of one 214-byte block, nothing else.
double bareRsaRate()
{
    const std::unique_ptr<LogCipher> cipher = LogCipher::fromPublicKey(LogCipher::builtInPublicKey());
    const QByteArray block(LogCipher::pieceSize, 'x');
    constexpr int operations = 5000;
    const double ms = bench::medianMs(runs, [&] {
        for (int i = 0; i < operations; ++i)
            cipher->encrypt(block);
    });
    return operations / (ms / 1000.0);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SecureLogger logger(dir.path());
    logger.waitForIdle();

    // Caller side: each call timed on its own while the worker drains the queue on another core.
    const QString message(200, QLatin1Char('m'));
    std::vector<double> calls;
    calls.reserve(size_t(runs) * entriesPerRun);
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < entriesPerRun; ++i) {
            QElapsedTimer timer;
            timer.start();
            logger.log(message, LogLevel::Info, QStringLiteral("Bench"));
            calls.push_back(timer.nsecsElapsed() / 1000.0);
        }
        logger.waitForIdle();
    }
    std::sort(calls.begin(), calls.end());
    bench::figure("log() caller cost per call", calls[calls.size() / 2], "us", int(calls.size()));

    // A 200-byte message makes a JSON entry of about 270 bytes: two RSA blocks.
    const double twoBlockRate = workerRate(logger, message);
    bench::figure("worker throughput, 200-byte messages (2 RSA blocks each)", twoBlockRate, "entries/s", runs);
    // A 130-byte message still fits one block (JSON of 206 bytes).
    const double oneBlockRate = workerRate(logger, QString(130, QLatin1Char('m')));
    bench::figure("worker throughput, 130-byte messages (1 RSA block each)", oneBlockRate, "entries/s", runs);
    const double rsaRate = bareRsaRate();
    bench::figure("bare RSA-2048 public-key encryptions", rsaRate, "ops/s", runs);
    bench::ratio("worker RSA blocks/s to bare RSA ops/s (200-byte messages)", 2 * twoBlockRate / rsaRate);
    bench::ratio("worker RSA blocks/s to bare RSA ops/s (130-byte messages)", oneBlockRate / rsaRate);
    return 0;
}
