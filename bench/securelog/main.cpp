// The encrypted log: what log() costs its caller, and how many entries the worker encrypts and
// appends per second, next to the bare RSA-2048 public-key rate of this machine. Rates are given
// per second of wall time and per second of the working thread's own CPU time: on a shared
// machine the wall-time figures mostly measure how much of a core the thread was given.
#include "BenchStats.h"
#include "SecureLogger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <ctime>

namespace {
constexpr int runs = 5;
constexpr int entriesPerRun = 20000;

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Rates
{
    double wall;
    double cpu;
};

// Entries per second through log() until the worker has written them all.
Rates workerRate(SecureLogger &logger, const QString &message)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < runs; ++run) {
        double cpuStart = 0;
        double cpuEnd = 0;
        logger.runOnWorker([&] { cpuStart = threadCpuSeconds(); });
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < entriesPerRun; ++i)
            logger.log(message, LogLevel::Info, QStringLiteral("Bench"));
        logger.runOnWorker([&] { cpuEnd = threadCpuSeconds(); });
        wall.push_back(entriesPerRun / (timer.nsecsElapsed() / 1e9));
        cpu.push_back(entriesPerRun / (cpuEnd - cpuStart));
    }
    return {median(wall), median(cpu)};
}

// RSA-2048 PKCS#1 v1.5 public-key encryptions of one 214-byte block, nothing else.
Rates bareRsaRate()
{
    const std::unique_ptr<LogCipher> cipher = LogCipher::fromPublicKey(LogCipher::builtInPublicKey());
    const QByteArray block(LogCipher::pieceSize, 'x');
    constexpr int operations = 5000;
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < runs; ++run) {
        const double cpuStart = threadCpuSeconds();
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < operations; ++i)
            cipher->encrypt(block);
        wall.push_back(operations / (timer.nsecsElapsed() / 1e9));
        cpu.push_back(operations / (threadCpuSeconds() - cpuStart));
    }
    return {median(wall), median(cpu)};
}

void report(const char *name, const Rates &rates, const char *unit)
{
    bench::figure((QByteArray(name) + " per wall second").constData(), rates.wall, unit, runs);
    bench::figure((QByteArray(name) + " per CPU second").constData(), rates.cpu, unit, runs);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SecureLogger logger(dir.path());
    logger.waitForIdle();

    // Caller side: each call timed on its own while the worker drains the queue.
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
    bench::figure("log() caller cost per call", median(calls), "us", int(calls.size()));

    // A 200-byte message makes a JSON entry of about 270 bytes: two RSA blocks.
    const Rates twoBlocks = workerRate(logger, message);
    report("worker throughput, 200-byte messages (2 RSA blocks each),", twoBlocks, "entries/s");
    // A 130-byte message still fits one block (JSON of 206 bytes).
    const Rates oneBlock = workerRate(logger, QString(130, QLatin1Char('m')));
    report("worker throughput, 130-byte messages (1 RSA block each),", oneBlock, "entries/s");
    const Rates rsa = bareRsaRate();
    report("bare RSA-2048 public-key encryptions,", rsa, "ops/s");
    bench::ratio("worker RSA blocks to bare RSA ops per CPU second (200-byte messages)", 2 * twoBlocks.cpu / rsa.cpu);
    bench::ratio("worker RSA blocks to bare RSA ops per CPU second (130-byte messages)", oneBlock.cpu / rsa.cpu);
    return 0;
}
