// Load on the real zephlin-server over loopback: N signed-in WebSocket clients while hall messages
// go out at a fixed rate and are fanned out to all of them. Prints deliveries per second, delivery
// latency percentiles, lost deliveries and the server's peak memory. A second phase of the same run
// repeats the traffic while one hostile user, a friend of every client, floods comments and large
// uploads as fast as the server allows, and prints the latency the others see then.
//   bench_server-load [--clients 500] [--rate 20] [--duration 30] [--threads 2]
#include "HostileUser.h"
#include "LoadWorker.h"

#include "accounts/AccountService.h"
#include "core/Clock.h"
#include "storage/Database.h"
#include "storage/FriendStore.h"
#include "storage/HallSettings.h"
#include "core/Limits.h"
#include "storage/SessionStore.h"
#include "TlsTrust.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {
// Spins the event loop until `done` or the timeout; false on timeout.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// The clients' tokens, and last the hostile user's, who is a friend of every client.
QStringList prepareAccounts(const QString &dataDir, int count)
{
    Database db;
    if (!db.open(Database::location(dataDir, {})))
        qFatal("cannot open the database: %s", qPrintable(db.errorText()));
    const Clock clock;
    const Limits limits;
    AccountService accounts(db, clock, limits, PasswordHasher(PasswordHasher::testCost()));
    SessionStore sessions(db);
    HallSettings(db).setMaxOnline(count + 10);
    QStringList tokens;
    QStringList ids;
    db.transaction();
    for (int i = 0; i < count; ++i) {
        const Outcome<User> user = accounts.createUser(QStringLiteral("load%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("load-pass"), false);
        if (!user)
            qFatal("cannot create a user: %s", qPrintable(user.refusal().message));
        tokens << sessions.create(user->id, clock.nowMs());
        ids << user->id;
    }
    const Outcome<User> hostile = accounts.createUser(QStringLiteral("hostile"), QStringLiteral("load-pass"), false);
    if (!hostile)
        qFatal("cannot create the hostile user");
    FriendStore friends(db);
    for (const QString &id : std::as_const(ids))
        friends.befriend(hostile->id, id, clock.nowMs());
    tokens << sessions.create(hostile->id, clock.nowMs());
    db.commit();
    return tokens;
}

quint16 startServer(QProcess &server, const QString &dataDir, int clients)
{
    // Every client comes from 127.0.0.1.
    server.start(QStringLiteral(ZEPHLIN_SERVER_BINARY), {QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                                         QStringLiteral("--data"), dataDir, QStringLiteral("--dev-tls"), QStringLiteral("--limit"),
                                                         QStringLiteral("connectionsPerAddress=%1").arg(clients + 50)});
    const QRegularExpression listening(QStringLiteral("listening on https://127\\.0\\.0\\.1:(\\d+)"));
    QString output;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000 && server.state() != QProcess::NotRunning) {
        server.waitForReadyRead(200);
        output += QString::fromUtf8(server.readAllStandardOutput());
        const QRegularExpressionMatch match = listening.match(output);
        if (match.hasMatch())
            return match.captured(1).toUShort();
    }
    return 0;
}

double peakMemoryMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// User plus system CPU seconds the process has used so far.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the parenthesised command name; utime and stime are the 14th and 15th overall.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// The one-minute load average of the machine, which developers share: it says how far to trust a figure.
double loadAverage()
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    return loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().split(' ').value(0).toDouble() : -1;
}

double percentileMs(std::vector<qint64> &micros, double fraction)
{
    if (micros.empty())
        return -1;
    const size_t index = std::min(micros.size() - 1, size_t(fraction * double(micros.size())));
    std::nth_element(micros.begin(), micros.begin() + qsizetype(index), micros.end());
    return micros[index] / 1000.0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption clientsOption(QStringLiteral("clients"), QStringLiteral("signed-in clients"), QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption rateOption(QStringLiteral("rate"), QStringLiteral("hall messages per second"), QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption durationOption(QStringLiteral("duration"), QStringLiteral("seconds of sending"), QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption threadsOption(QStringLiteral("threads"), QStringLiteral("client threads"), QStringLiteral("n"), QStringLiteral("2"));
    parser.addOptions({clientsOption, rateOption, durationOption, threadsOption});
    parser.process(app);
    // Bounded on purpose: this runs on shared developer machines.
    const int clients = std::clamp(parser.value(clientsOption).toInt(), 1, 2000);
    const int rate = std::clamp(parser.value(rateOption).toInt(), 1, 200);
    const int duration = std::clamp(parser.value(durationOption).toInt(), 1, 300);
    const int threads = std::clamp(parser.value(threadsOption).toInt(), 1, 8);

    QTemporaryDir dir;
    QStringList tokens = prepareAccounts(dir.path(), clients);
    const QString hostileToken = tokens.takeLast();
    QProcess server;
    const quint16 port = startServer(server, dir.path(), clients);
    if (port == 0) {
        std::fprintf(stderr, "the server did not start: %s\n", server.readAllStandardError().constData());
        return 1;
    }
    TlsTrust::addCaFile(QDir(dir.path()).filePath(QStringLiteral("tls/ca.pem")));
    const QUrl url(QStringLiteral("wss://127.0.0.1:%1/ws").arg(port));

    QList<QThread *> workerThreads;
    QList<LoadWorker *> workers;
    for (int w = 0; w < threads; ++w) {
        QStringList share;
        for (int i = w; i < clients; i += threads)
            share << tokens.at(i);
        auto *thread = new QThread;
        auto *worker = new LoadWorker(url, share);
        worker->moveToThread(thread);
        thread->start();
        workerThreads << thread;
        workers << worker;
    }
    const auto total = [&workers](auto member) {
        qint64 sum = 0;
        for (LoadWorker *worker : std::as_const(workers))
            sum += (worker->*member).load();
        return sum;
    };

    QElapsedTimer signIn;
    signIn.start();
    for (LoadWorker *worker : std::as_const(workers))
        QMetaObject::invokeMethod(worker, [worker] { worker->connectAll(); }, Qt::QueuedConnection);
    waitUntil([&] { return total(&LoadWorker::signedIn) + total(&LoadWorker::failed) >= clients; }, 180000);
    const double signInSeconds = signIn.elapsed() / 1000.0;
    const qint64 signedIn = total(&LoadWorker::signedIn);
    waitUntil([] { return false; }, 1000); // let the presence broadcasts of the sign-ins settle

    struct Phase
    {
        qint64 sent = 0;
        qint64 delivered = 0;
        qint64 expected = 0;
        double seconds = 0;
        double serverCpu = 0;
        double load = 0;
    };
    // Sends `rate` hall messages a second for `duration` seconds and waits for their deliveries.
    const auto runPhase = [&]() {
        Phase phase;
        const qint64 sentBefore = total(&LoadWorker::sent);
        const qint64 deliveredBefore = total(&LoadWorker::delivered);
        const int messages = rate * duration;
        for (int w = 0; w < threads; ++w) {
            const int count = messages / threads + (w < messages % threads ? 1 : 0);
            LoadWorker *worker = workers.at(w);
            const double interval = 1000.0 * threads / rate;
            const double offset = 1000.0 * w / rate;
            QMetaObject::invokeMethod(worker, [worker, count, interval, offset] { worker->sendMessages(count, interval, offset); },
                                      Qt::QueuedConnection);
        }
        const double cpuBefore = cpuSeconds(server.processId());
        QElapsedTimer sending;
        sending.start();
        waitUntil([&] { return total(&LoadWorker::sent) - sentBefore >= messages; }, (duration + 30) * 1000);
        phase.sent = total(&LoadWorker::sent) - sentBefore;
        phase.expected = phase.sent * signedIn;
        waitUntil([&] { return total(&LoadWorker::delivered) - deliveredBefore >= phase.expected; }, 10000);
        phase.seconds = sending.elapsed() / 1000.0;
        phase.delivered = total(&LoadWorker::delivered) - deliveredBefore;
        phase.serverCpu = cpuSeconds(server.processId()) - cpuBefore;
        phase.load = loadAverage();
        for (LoadWorker *worker : std::as_const(workers))
            QMetaObject::invokeMethod(worker, [worker] { worker->markPhase(); }, Qt::BlockingQueuedConnection);
        return phase;
    };
    const Phase calm = runPhase();
    const double peak = peakMemoryMiB(server.processId());

    // The same traffic while the hostile user floods at the allowed maximum (server defaults).
    const Limits defaults;
    HostileUser hostile(QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(port)), hostileToken);
    hostile.start(defaults.commandsPerSecond, defaults.uploadsPerSecond);
    const Phase flooded = runPhase();
    hostile.stop();

    for (LoadWorker *worker : std::as_const(workers))
        QMetaObject::invokeMethod(worker, [worker] { worker->closeAll(); }, Qt::BlockingQueuedConnection);
    std::vector<qint64> latencies;
    std::vector<qint64> floodedLatencies;
    for (int w = 0; w < threads; ++w) {
        workerThreads.at(w)->quit();
        workerThreads.at(w)->wait();
        const std::vector<qint64> calmShare = workers.at(w)->latencies(0);
        const std::vector<qint64> floodedShare = workers.at(w)->latencies(1);
        latencies.insert(latencies.end(), calmShare.begin(), calmShare.end());
        floodedLatencies.insert(floodedLatencies.end(), floodedShare.begin(), floodedShare.end());
    }
    server.kill();
    server.waitForFinished();

    std::printf("clients signed in: %lld of %d\n", static_cast<long long>(signedIn), clients);
    std::printf("sign-in time: %.2f s (%d clients, 1 run)\n", signInSeconds, clients);
    std::printf("hall messages sent: %lld (%d per second for %d s)\n", static_cast<long long>(calm.sent), rate, duration);
    std::printf("deliveries per second: %.0f /s (1 run)\n", calm.delivered / calm.seconds);
    std::printf("p50 delivery latency: %.2f ms (%zu deliveries, 1 run)\n", percentileMs(latencies, 0.50), latencies.size());
    std::printf("p99 delivery latency: %.2f ms (%zu deliveries, 1 run, load %.2f)\n", percentileMs(latencies, 0.99), latencies.size(),
                calm.load);
    std::printf("max delivery latency: %.2f ms (1 run)\n", percentileMs(latencies, 0.999999));
    std::printf("lost deliveries: %lld of %lld\n", static_cast<long long>(calm.expected - calm.delivered), static_cast<long long>(calm.expected));
    std::printf("server CPU per delivery: %.1f us (%.1f s of CPU while sending, 1 run)\n",
                calm.serverCpu * 1e6 / std::max<qint64>(1, calm.delivered), calm.serverCpu);
    std::printf("server peak memory: %.1f MiB (VmHWM, 1 run)\n", peak);
    std::printf("hostile user: %d comments and %d uploads of a 30 megapixel PNG sent, %d uploads accepted\n",
                hostile.commentsSent(), hostile.uploadsSent(), hostile.uploadsAccepted());
    std::printf("p99 delivery latency with a hostile user: %.2f ms (%zu deliveries, 1 run, load %.2f)\n",
                percentileMs(floodedLatencies, 0.99), floodedLatencies.size(), flooded.load);
    std::printf("lost deliveries with a hostile user: %lld of %lld\n", static_cast<long long>(flooded.expected - flooded.delivered),
                static_cast<long long>(flooded.expected));
    qDeleteAll(workers); // their threads have finished
    qDeleteAll(workerThreads);
    return 0;
}
