// Load on the real zephlin-server over loopback: N signed-in WebSocket clients while hall messages
// go out at a fixed rate and are fanned out to all of them. Prints deliveries per second, delivery
// latency percentiles, lost deliveries and peak memory, for three runs of the same invocation:
//   one-node   one node on SQLite; a second phase repeats the traffic while one hostile user, a friend
//              of every client, floods comments and large uploads as fast as the server allows
//   two-nodes  the same clients split over two nodes sharing one PostgreSQL (a private cluster, made
//              by scripts/with-postgres), with the p99 ratio to the one-node run
//   large      one node on SQLite with --large-clients clients
// Each run sends --repeats phases of --duration seconds back to back and reports the median of their
// latency percentiles, with each phase's figure: on a shared two-core machine one phase's p99 now and
// then doubles on a stall of a few hundred milliseconds.
//   bench_server-load [--clients 500] [--large-clients 2000] [--rate 20] [--duration 30] [--threads 1]
//                     [--repeats 3] [--runs one-node,two-nodes,large]
// The clients take one thread per node by default and speak WebSocket through a lean client of their own
// (LeanWebSocket, polled through epoll): on a two-core machine, clients on QWebSocket took as much CPU
// as the server and a second client thread took the core the server needs, so the latency measured the
// two fighting over it.
#include "HostileUser.h"
#include "LoadRun.h"
#include "ProcessStats.h"
#include "ServerProcess.h"
#include "TestDatabase.h"

#include "accounts/AccountService.h"
#include "core/Clock.h"
#include "core/Limits.h"
#include "storage/Database.h"
#include "storage/FriendStore.h"
#include "storage/HallSettings.h"
#include "storage/SessionStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {
struct Settings
{
    int clients;
    int rate;
    int duration;
    int threads;
    int repeats; // sending phases of each run, back to back on the same connections
};

// Every client comes from 127.0.0.1: the node makes room for them all.
QStringList roomFor(int clients)
{
    return {QStringLiteral("--limit"), QStringLiteral("connectionsPerAddress=%1").arg(clients + 50)};
}

// The clients' tokens, and last the hostile user's, who is a friend of every client.
QStringList prepareAccounts(const ServerProcess &node, int count)
{
    Database db;
    if (!db.open(Database::location(node.dataPath(), node.databaseUrl())))
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

double percentileMs(std::vector<qint64> &micros, double fraction)
{
    if (micros.empty())
        return -1;
    const size_t index = std::min(micros.size() - 1, size_t(fraction * double(micros.size())));
    std::nth_element(micros.begin(), micros.begin() + qsizetype(index), micros.end());
    return micros[index] / 1000.0;
}

void print(const char *run, const char *name, double value, const char *unit, const QString &note = {})
{
    const QString number = QString::number(value, 'f', value == std::floor(value) ? 0 : 2);
    const QString line = QStringLiteral("%1 %2: %3 %4").arg(QLatin1String(run), QLatin1String(name), number, QLatin1String(unit)).trimmed();
    std::printf("%s%s\n", qPrintable(line), note.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + note + u')'));
}

void reportSignIn(const char *run, const LoadRun &load, int clients)
{
    print(run, "clients signed in", double(load.signedIn()), "", QStringLiteral("of %1").arg(clients));
    print(run, "sign-in time", load.signInSeconds(), "s");
    print(run, "presence settled after", load.settleSeconds(), "s", QStringLiteral("until every client heard everyone online"));
}

// The phases of a run added up (the load is the last one's).
LoadRun::Phase totalOf(const std::vector<LoadRun::Phase> &phases)
{
    LoadRun::Phase total;
    for (const LoadRun::Phase &phase : phases) {
        total.sent += phase.sent;
        total.delivered += phase.delivered;
        total.expected += phase.expected;
        total.seconds += phase.seconds;
        total.clientCpu += phase.clientCpu;
    }
    total.load = phases.back().load;
    return total;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + qsizetype(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The figures of a run's sending phases, each with the delays of its deliveries; returns its p99 in ms,
// over several phases the median of theirs.
double report(const char *run, const std::vector<LoadRun::Phase> &phases, std::vector<std::vector<qint64>> latencies)
{
    std::vector<double> p50s, p99s, maxima;
    for (std::vector<qint64> &phase : latencies) {
        p50s.push_back(percentileMs(phase, 0.50));
        p99s.push_back(percentileMs(phase, 0.99));
        maxima.push_back(percentileMs(phase, 0.999999));
    }
    const LoadRun::Phase total = totalOf(phases);
    const auto each = [&](const std::vector<double> &values) {
        if (values.size() == 1)
            return QStringLiteral("%1 deliveries, 1 run").arg(latencies.front().size());
        QStringList figures;
        for (double value : values)
            figures << QString::number(value, 'f', 2);
        return QStringLiteral("median of %1 runs of %2 deliveries: %3 ms").arg(values.size()).arg(latencies.front().size()).arg(figures.join(u", "));
    };
    print(run, "load", total.load, "", QStringLiteral("1-minute load average at the end of sending"));
    print(run, "hall messages sent", double(total.sent), "");
    print(run, "deliveries per second", total.delivered / total.seconds, "/s");
    print(run, "p50 delivery latency", median(p50s), "ms", each(p50s));
    print(run, "p99 delivery latency", median(p99s), "ms", each(p99s));
    print(run, "max delivery latency", *std::max_element(maxima.begin(), maxima.end()), "ms");
    print(run, "lost deliveries", double(total.expected - total.delivered), "", QStringLiteral("of %1").arg(total.expected));
    print(run, "client CPU while sending", total.clientCpu / double(phases.size()), "s",
          QStringLiteral("a run; every client runs in this process"));
    return median(p99s);
}

// Sends the run's phases back to back, calling `tick` meanwhile.
std::vector<LoadRun::Phase> sendPhases(LoadRun &load, const Settings &settings, const std::function<void()> &tick = {})
{
    std::vector<LoadRun::Phase> phases;
    for (int i = 0; i < settings.repeats; ++i)
        phases.push_back(load.run(settings.rate, settings.duration, tick));
    return phases;
}

std::vector<std::vector<qint64>> latenciesOf(const LoadRun &load, int firstPhase, int count)
{
    std::vector<std::vector<qint64>> phases;
    for (int i = firstPhase; i < firstPhase + count; ++i)
        phases.push_back(load.latencies(i));
    return phases;
}

// One node on SQLite; with `hostile`, a second phase with the hostile user flooding. Returns the p99.
double runOneNode(const char *run, const Settings &settings, bool hostile)
{
    ServerProcess node({}, ServerProcess::OwnStore::SQLite);
    if (!node.start(roomFor(settings.clients)))
        return -1;
    QStringList tokens = prepareAccounts(node, settings.clients);
    const QString hostileToken = tokens.takeLast();
    LoadRun load({node.socketURL()}, tokens, settings.threads);
    load.signIn();
    const double cpuBefore = ProcessStats::cpuSeconds(node.pid());
    const std::vector<LoadRun::Phase> calm = sendPhases(load, settings);
    const double serverCpu = ProcessStats::cpuSeconds(node.pid()) - cpuBefore;
    const double peak = ProcessStats::peakMemoryMiB(node.pid());
    std::optional<LoadRun::Phase> flooded;
    std::optional<HostileUser> flooder;
    if (hostile) {
        // The same traffic while the hostile user floods at the allowed maximum (server defaults).
        const Limits defaults;
        flooder.emplace(QUrl(node.baseURL() + u'/'), hostileToken);
        flooder->start(defaults.commandsPerSecond, defaults.uploadsPerSecond);
        flooded = load.run(settings.rate, settings.duration);
        flooder->stop();
    }
    load.stop();
    reportSignIn(run, load, settings.clients);
    const double p99 = report(run, calm, latenciesOf(load, 0, settings.repeats));
    print(run, "server CPU per delivery", serverCpu * 1e6 / double(std::max<qint64>(1, totalOf(calm).delivered)), "us",
          QStringLiteral("%1 s of CPU while sending").arg(serverCpu, 0, 'f', 1));
    print(run, "server peak memory", peak, "MiB", QStringLiteral("VmHWM"));
    if (flooded) {
        std::printf("%s hostile user: %d comments and %d uploads of a 30 megapixel PNG sent, %d uploads accepted\n", run,
                    flooder->commentsSent(), flooder->uploadsSent(), flooder->uploadsAccepted());
        report((QByteArray(run) + " with a hostile user").constData(), {*flooded}, latenciesOf(load, settings.repeats, 1));
    }
    return p99;
}

// Two nodes on one PostgreSQL database, each with half the clients. Returns the p99.
double runTwoNodes(const char *run, const Settings &settings)
{
    QTemporaryDir site;
    const QString databaseUrl = TestDatabase::urlFor(site.path());
    std::vector<std::unique_ptr<ServerProcess>> nodes;
    QList<QUrl> urls;
    for (int i = 0; i < 2; ++i) {
        nodes.push_back(std::make_unique<ServerProcess>(databaseUrl));
        if (!nodes.back()->start(roomFor(settings.clients)))
            return -1;
        urls << nodes.back()->socketURL();
    }
    QStringList tokens = prepareAccounts(*nodes.front(), settings.clients);
    tokens.removeLast(); // the hostile user stays away
    // The cluster: the server process above the backend of a connection of our own, and its children.
    Database probe;
    probe.open(Database::location(site.path(), databaseUrl));
    const qint64 postmaster = ProcessStats::parentOf(probe.scalar(QStringLiteral("SELECT pg_backend_pid()")).toLongLong());
    double databasePss = 0;
    QElapsedTimer sampled;
    sampled.start();
    const auto sample = [&] {
        if (sampled.elapsed() < 1000)
            return;
        sampled.restart();
        double sum = 0;
        for (qint64 pid : ProcessStats::withChildren(postmaster))
            sum += std::max(0.0, ProcessStats::proportionalMemoryMiB(pid));
        databasePss = std::max(databasePss, sum);
    };

    LoadRun load(urls, tokens, settings.threads);
    load.signIn();
    const auto cpuOf = [](const QList<qint64> &pids) {
        double sum = 0;
        for (qint64 pid : pids)
            sum += ProcessStats::cpuSeconds(pid);
        return sum;
    };
    const QList<qint64> nodePids{nodes[0]->pid(), nodes[1]->pid()};
    const double nodeCpuBefore = cpuOf(nodePids);
    const double databaseCpuBefore = cpuOf(ProcessStats::withChildren(postmaster));
    const std::vector<LoadRun::Phase> phases = sendPhases(load, settings, sample);
    const double nodeCpu = cpuOf(nodePids) - nodeCpuBefore;
    const double databaseCpu = cpuOf(ProcessStats::withChildren(postmaster)) - databaseCpuBefore;
    double databaseHwm = 0;
    const QList<qint64> cluster = ProcessStats::withChildren(postmaster);
    for (qint64 pid : cluster)
        databaseHwm += std::max(0.0, ProcessStats::peakMemoryMiB(pid));
    load.stop();
    reportSignIn(run, load, settings.clients);
    const double p99 = report(run, phases, latenciesOf(load, 0, settings.repeats));
    for (size_t i = 0; i < nodes.size(); ++i)
        print(run, qPrintable(QStringLiteral("node %1 peak memory").arg(QChar(u'A' + int(i)))), ProcessStats::peakMemoryMiB(nodes[i]->pid()),
              "MiB", QStringLiteral("VmHWM"));
    print(run, "nodes' CPU per delivery", nodeCpu * 1e6 / double(std::max<qint64>(1, totalOf(phases).delivered)), "us",
          QStringLiteral("%1 s of CPU of both nodes while sending").arg(nodeCpu, 0, 'f', 1));
    print(run, "database CPU while sending", databaseCpu, "s");
    print(run, "database peak memory", databasePss, "MiB",
          QStringLiteral("sum of the PSS of the cluster's %1 postgres processes, sampled every second while sending").arg(cluster.size()));
    print(run, "database peak memory by VmHWM", databaseHwm, "MiB",
          QStringLiteral("sum over the same processes; counts shared buffers once per process"));
    return p99;
}

// 2,000 clients need more sockets than a default soft limit of 1,024 descriptors; the servers started
// from here inherit the raised limit too.
void raiseFileLimit()
{
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}
} // namespace

int main(int argc, char *argv[])
{
    raiseFileLimit();
    // The clients' sockets, like the server's, on Qt's own event loop (see the server's main()).
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption clientsOption(QStringLiteral("clients"), QStringLiteral("signed-in clients"), QStringLiteral("n"), QStringLiteral("500"));
    const QCommandLineOption largeOption(QStringLiteral("large-clients"), QStringLiteral("clients of the large run"), QStringLiteral("n"),
                                         QStringLiteral("2000"));
    const QCommandLineOption rateOption(QStringLiteral("rate"), QStringLiteral("hall messages per second"), QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption durationOption(QStringLiteral("duration"), QStringLiteral("seconds of sending"), QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption threadsOption(QStringLiteral("threads"), QStringLiteral("client threads (at least one per node)"), QStringLiteral("n"),
                                          QStringLiteral("1"));
    const QCommandLineOption repeatsOption(QStringLiteral("repeats"), QStringLiteral("sending phases of each run (latencies: their median)"),
                                           QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("which runs, comma-separated"), QStringLiteral("list"),
                                        QStringLiteral("one-node,two-nodes,large"));
    parser.addOptions({clientsOption, largeOption, rateOption, durationOption, threadsOption, repeatsOption, runsOption});
    parser.process(app);
    const QStringList runs = parser.value(runsOption).split(u',');
    // The two-node run needs a PostgreSQL cluster: the whole invocation runs again inside a private one,
    // as durable as a real one (SQLite commits with synchronous=FULL too).
    if (runs.contains(QStringLiteral("two-nodes")) && !TestDatabase::onPostgres()) {
        qputenv("ZEPHLIN_PG_DURABLE", "1");
        std::vector<char *> arguments{const_cast<char *>(ZEPHLIN_WITH_POSTGRES)};
        arguments.insert(arguments.end(), argv, argv + argc);
        arguments.push_back(nullptr);
        execv(ZEPHLIN_WITH_POSTGRES, arguments.data());
        std::perror("cannot run scripts/with-postgres");
        return 1;
    }
    // Bounded on purpose: this runs on shared developer machines.
    Settings settings{std::clamp(parser.value(clientsOption).toInt(), 1, 2000), std::clamp(parser.value(rateOption).toInt(), 1, 200),
                      std::clamp(parser.value(durationOption).toInt(), 1, 300), std::clamp(parser.value(threadsOption).toInt(), 1, 8),
                      std::clamp(parser.value(repeatsOption).toInt(), 1, 9)};

    double oneNodeP99 = -1;
    if (runs.contains(QStringLiteral("one-node")))
        oneNodeP99 = runOneNode("one node", settings, true);
    if (runs.contains(QStringLiteral("two-nodes"))) {
        const double p99 = runTwoNodes("two nodes", settings);
        if (oneNodeP99 > 0 && p99 > 0)
            print("two nodes", "p99 ratio to one node", p99 / oneNodeP99, "x", QStringLiteral("same invocation"));
    }
    if (runs.contains(QStringLiteral("large"))) {
        settings.clients = std::clamp(parser.value(largeOption).toInt(), 1, 4000);
        runOneNode("large", settings, false);
    }
    return 0;
}
