#include "core/WorkerPool.h"

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {
// On Linux the nice value belongs to the thread: a worker yields the CPU to the event loop whenever
// both want it, so decoding a flood of uploads on a small machine cannot slow the live channel.
// (QThread priorities change nothing under the default scheduler.)
void yieldToEventLoop()
{
#ifdef Q_OS_LINUX
    static thread_local const bool lowered = setpriority(PRIO_PROCESS, 0, 10) == 0;
    Q_UNUSED(lowered);
#endif
}
} // namespace

WorkerPool::WorkerPool(int threads, int queued, QObject *parent) : QObject(parent), m_capacity(queued)
{
    m_threads.setMaxThreadCount(qMax(1, threads));
    m_threads.setExpiryTimeout(-1); // the threads stay: starting one per burst would cost more than it saves
}

WorkerPool::~WorkerPool()
{
    // Jobs still queued never start; results of running ones are dropped with this object's events.
    m_threads.clear();
    m_threads.waitForDone();
}

Refusal WorkerPool::busy()
{
    return Refusal{503, QStringLiteral("服务器繁忙，请稍后再试")};
}

bool WorkerPool::submit(std::function<Step()> job)
{
    if (m_pending >= m_capacity)
        return false;
    ++m_pending;
    m_threads.start([this, job = std::move(job)]() mutable {
        yieldToEventLoop();
        Step step = std::exchange(job, nullptr)();
        QMetaObject::invokeMethod(this, [this, step = std::move(step)] {
            --m_pending;
            step();
        }, Qt::QueuedConnection);
    });
    return true;
}
