#pragma once
// A fixed number of threads with a bounded queue, for work too slow for the event loop (checking
// uploaded images, Argon2). A job runs on a worker and its result is handed to `done` on the thread
// that owns the pool, in one event-loop step. A full queue refuses the job at once, so a flood costs
// neither memory nor everybody else's latency.
#include "core/Outcome.h"

#include <QObject>
#include <QThreadPool>
#include <functional>

class WorkerPool : public QObject
{
    Q_OBJECT
public:
    WorkerPool(int threads, int queued, QObject *parent = nullptr);
    ~WorkerPool() override;

    // Runs `work` on a worker, then `done` with its result on this pool's thread. `work` must own
    // everything it touches: it may outlive the request that started it. False, and nothing runs,
    // when the queue is full.
    template <typename Result>
    bool run(std::function<Result()> work, std::function<void(Result)> done)
    {
        return submit([work = std::move(work), done = std::move(done)]() mutable -> Step {
            return [result = work(), done = std::move(done)]() mutable { done(std::move(result)); };
        });
    }

    // The answer when the queue is full.
    static Refusal busy();

private:
    using Step = std::function<void()>;
    bool submit(std::function<Step()> job);

    QThreadPool m_threads;
    int m_capacity;
    int m_pending = 0; // jobs submitted whose result has not been handed back yet
};
