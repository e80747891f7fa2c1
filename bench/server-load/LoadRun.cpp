#include "LoadRun.h"

#include "ProcessStats.h"

#include <QCoreApplication>
#include <QElapsedTimer>

LoadRun::LoadRun(const QList<QUrl> &nodes, const QStringList &tokens, int threads) : m_clients(int(tokens.size()))
{
    // At least a thread per node, so that the clients split evenly over the nodes.
    threads = std::max(threads, int(nodes.size()));
    for (int w = 0; w < threads; ++w) {
        QStringList share;
        for (int i = w; i < tokens.size(); i += threads)
            share << tokens.at(i);
        auto *thread = new QThread;
        auto *worker = new LoadWorker(nodes.at(w % nodes.size()), share);
        worker->moveToThread(thread);
        thread->start();
        m_threads << thread;
        m_workers << worker;
    }
}

LoadRun::~LoadRun()
{
    stop();
    qDeleteAll(m_workers); // their threads have finished
    qDeleteAll(m_threads);
}

bool LoadRun::waitUntil(const std::function<bool()> &done, int timeoutMs, const std::function<void()> &tick, int pollMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (tick)
            tick();
        QThread::msleep(pollMs);
    }
    return true;
}

qint64 LoadRun::signIn()
{
    QElapsedTimer timer;
    timer.start();
    for (LoadWorker *worker : std::as_const(m_workers))
        QMetaObject::invokeMethod(worker, [worker] { worker->connectAll(); }, Qt::QueuedConnection);
    waitUntil([&] { return total(&LoadWorker::signedIn) + total(&LoadWorker::failed) >= m_clients; }, 300000);
    m_signInSeconds = timer.elapsed() / 1000.0;
    m_signedIn = total(&LoadWorker::signedIn);
    // The server broadcasts who is online after sign-ins, spaced out on a big site: the traffic starts
    // once every client has heard a list of everyone, so that this backlog does not count as delivery delay.
    const auto settled = [&] {
        int heard = 0;
        for (LoadWorker *worker : std::as_const(m_workers))
            QMetaObject::invokeMethod(worker, [&heard, worker, this] { heard += worker->heardOnline(m_signedIn); },
                                      Qt::BlockingQueuedConnection);
        return heard >= m_signedIn;
    };
    waitUntil(settled, 120000, {}, 200);
    m_settleSeconds = timer.elapsed() / 1000.0 - m_signInSeconds;
    return m_signedIn;
}

LoadRun::Phase LoadRun::run(int rate, int duration, const std::function<void()> &tick)
{
    Phase phase;
    const qint64 sentBefore = total(&LoadWorker::sent);
    const qint64 deliveredBefore = total(&LoadWorker::delivered);
    const int messages = rate * duration;
    const int threads = int(m_workers.size());
    for (int w = 0; w < threads; ++w) {
        const int count = messages / threads + (w < messages % threads ? 1 : 0);
        LoadWorker *worker = m_workers.at(w);
        const double interval = 1000.0 * threads / rate;
        const double offset = 1000.0 * w / rate;
        QMetaObject::invokeMethod(worker, [worker, count, interval, offset] { worker->sendMessages(count, interval, offset); },
                                  Qt::QueuedConnection);
    }
    const double cpuBefore = ProcessStats::cpuSeconds(QCoreApplication::applicationPid());
    QElapsedTimer sending;
    sending.start();
    waitUntil([&] { return total(&LoadWorker::sent) - sentBefore >= messages; }, (duration + 30) * 1000, tick);
    phase.sent = total(&LoadWorker::sent) - sentBefore;
    phase.expected = phase.sent * m_signedIn;
    phase.load = ProcessStats::loadAverage();
    waitUntil([&] { return total(&LoadWorker::delivered) - deliveredBefore >= phase.expected; }, 10000, tick);
    phase.seconds = sending.elapsed() / 1000.0;
    phase.delivered = total(&LoadWorker::delivered) - deliveredBefore;
    phase.clientCpu = ProcessStats::cpuSeconds(QCoreApplication::applicationPid()) - cpuBefore;
    for (LoadWorker *worker : std::as_const(m_workers))
        QMetaObject::invokeMethod(worker, [worker] { worker->markPhase(); }, Qt::BlockingQueuedConnection);
    return phase;
}

void LoadRun::stop()
{
    for (int w = 0; w < m_workers.size(); ++w) {
        if (!m_threads.at(w)->isRunning())
            continue;
        LoadWorker *worker = m_workers.at(w);
        QMetaObject::invokeMethod(worker, [worker] { worker->closeAll(); }, Qt::BlockingQueuedConnection);
        m_threads.at(w)->quit();
        m_threads.at(w)->wait();
    }
}

std::vector<qint64> LoadRun::latencies(int phase) const
{
    std::vector<qint64> all;
    for (const LoadWorker *worker : m_workers) {
        const std::vector<qint64> share = worker->latencies(phase);
        all.insert(all.end(), share.begin(), share.end());
    }
    return all;
}
