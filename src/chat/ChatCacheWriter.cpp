#include "ChatCacheWriter.h"

#include "SecureStorage.h"

#include <QHashFunctions>

ChatCacheWriter::ChatCacheWriter(FailureReport failed) : m_failed(std::move(failed))
{
    m_thread.reset(QThread::create([this] { run(); }));
    m_thread->setObjectName(QStringLiteral("chat-cache"));
    m_thread->start();
}

ChatCacheWriter::~ChatCacheWriter()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_wake.wakeAll();
    }
    m_thread->wait();
}

void ChatCacheWriter::enqueue(int key, const QString &storageKey, quint64 sequence, Encode encode)
{
    QMutexLocker lock(&m_mutex);
    const auto queued = m_queue.find(key);
    if (queued != m_queue.end() && queued->second.sequence > sequence)
        return;
    m_queue[key] = Job{storageKey, sequence, std::move(encode)};
    m_wake.wakeAll();
}

void ChatCacheWriter::cancel()
{
    QMutexLocker writing(&m_writeMutex);
    QMutexLocker lock(&m_mutex);
    m_queue.clear();
    m_writtenHash.clear();
    ++m_generation;
}

void ChatCacheWriter::waitUntilIdle()
{
    QMutexLocker lock(&m_mutex);
    while (!m_queue.empty() || m_running)
        m_idle.wait(&m_mutex);
}

bool ChatCacheWriter::isIdle() const
{
    QMutexLocker lock(&m_mutex);
    return m_queue.empty() && !m_running;
}

quint64 ChatCacheWriter::generation() const
{
    QMutexLocker lock(&m_mutex);
    return m_generation;
}

void ChatCacheWriter::run()
{
    QMutexLocker lock(&m_mutex);
    for (;;) {
        while (m_queue.empty() && !m_stopping)
            m_wake.wait(&m_mutex);
        if (m_queue.empty())
            return;
        auto first = m_queue.begin();
        const int key = first->first;
        const Job job = std::move(first->second);
        m_queue.erase(first);
        const quint64 generation = m_generation;
        m_running = true;
        lock.unlock();
        save(key, job, generation);
        lock.relock();
        m_running = false;
        m_idle.wakeAll();
    }
}

void ChatCacheWriter::save(int key, const Job &job, quint64 generation)
{
    const QByteArray json = job.encode();
    const size_t hash = qHash(json, 0x2545F491u);
    QMutexLocker writing(&m_writeMutex);
    QMutexLocker lock(&m_mutex);
    // Cancelled since it was taken, or overtaken by a newer save of its key.
    if (generation != m_generation || m_lastSequence[key] >= job.sequence)
        return;
    const auto written = m_writtenHash.find(key);
    if (written != m_writtenHash.end() && written->second == hash) {
        m_lastSequence[key] = job.sequence;
        return;
    }
    lock.unlock();
    const bool ok = SecureStorage::shared().saveJson(json, job.storageKey);
    lock.relock();
    if (!ok) {
        m_failed(key, generation);
        return;
    }
    m_writtenHash[key] = hash;
    m_lastSequence[key] = job.sequence;
    ++m_writes;
}
