#pragma once
// The benchmark's clients, split over threads and, thread by thread, over the nodes of a site: signs
// them in, sends hall messages at a fixed rate in phases, and collects what each phase delivered.
#include "LoadWorker.h"

#include <QList>
#include <QThread>
#include <QUrl>
#include <functional>
#include <utility>
#include <vector>

class LoadRun
{
public:
    struct Phase
    {
        qint64 sent = 0;
        qint64 delivered = 0;
        qint64 expected = 0;
        double seconds = 0;
        double load = 0; // at the end of sending
        double clientCpu = 0; // seconds of this process, which runs every client
    };

    LoadRun(const QList<QUrl> &nodes, const QStringList &tokens, int threads);
    ~LoadRun();

    // Signs every client in; how many made it.
    qint64 signIn();
    qint64 signedIn() const { return m_signedIn; }
    double signInSeconds() const { return m_signInSeconds; }
    // From the last sign-in until every client had heard a presence list of everyone.
    double settleSeconds() const { return m_settleSeconds; }
    // Sends `rate` hall messages a second for `duration` seconds and waits for their deliveries,
    // calling `tick` every few milliseconds meanwhile (it keeps its own pace).
    Phase run(int rate, int duration, const std::function<void()> &tick = {});
    // Closes every client and stops the threads; after that, the delays (µs) of each phase.
    void stop();
    std::vector<qint64> latencies(int phase) const;

private:
    // Spins the event loop, asking `done` every `pollMs`, until it says so or the timeout; false on timeout.
    static bool waitUntil(const std::function<bool()> &done, int timeoutMs, const std::function<void()> &tick = {}, int pollMs = 5);
    template <typename Counter>
    qint64 total(Counter LoadWorker::*counter) const
    {
        qint64 sum = 0;
        for (LoadWorker *worker : m_workers)
            sum += (worker->*counter).load();
        return sum;
    }

    QList<QThread *> m_threads;
    QList<LoadWorker *> m_workers;
    int m_clients = 0;
    qint64 m_signedIn = 0;
    double m_signInSeconds = 0;
    double m_settleSeconds = 0;
};
