#pragma once
// Runs work on the process's worker threads and hands its result to done on the main thread, in one
// step of the event loop (done takes it by value or by reference). done is skipped when receiver is gone by then; work must touch nothing
// that the main thread changes meanwhile (it gets copies of implicitly shared values).
#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

namespace BackgroundTask {

template <typename Work, typename Done>
void run(QObject *receiver, Work work, Done done)
{
    QThreadPool::globalInstance()->start([guard = QPointer<QObject>(receiver), work = std::move(work), done = std::move(done)] {
        auto result = work();
        // The application object outlives every receiver; the guard is read on the main thread only.
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, [guard, done, result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            }, Qt::QueuedConnection);
    });
}

// Destroys a large value (tens of thousands of records) on a worker: freeing it costs the main
// thread as much as building it.
template <typename T>
void dispose(T &&value)
{
    QThreadPool::globalInstance()->start([value = std::forward<T>(value)] {});
}

} // namespace BackgroundTask
