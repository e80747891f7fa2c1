#include "ChatCacheWriter.h"

#include "SecureStorage.h"

#include <QHashFunctions>

ChatCacheWriter::ChatCacheWriter(FailureReport failed, Released released)
    : m_failed(std::move(failed)), m_released(std::move(released))
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
    if (queued != m_queue.end() && queued->second.sequence > sequence) {
        m_replaced.push_back(Job{storageKey, sequence, std::move(encode)});
    } else if (queued != m_queue.end()) {
        m_replaced.push_back(std::move(queued->second));
        queued->second = Job{storageKey, sequence, std::move(encode)};
    } else {
        m_queue.emplace(key, Job{storageKey, sequence, std::move(encode)});
    }
    m_wake.wakeAll();
}

void ChatCacheWriter::cancel()
{
    QMutexLocker writing(&m_writeMutex);
    QMutexLocker lock(&m_mutex);
    for (auto &[key, job] : m_queue)
        m_replaced.push_back(std::move(job));
    m_queue.clear();
    m_wake.wakeAll();
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

bool ChatCacheWriter::holdsCopy(int key) const
{
    QMutexLocker lock(&m_mutex);
    return m_queue.count(key) > 0 || m_encodingKey == key;
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
        while (m_queue.empty() && m_replaced.empty() && !m_stopping)
            m_wake.wait(&m_mutex);
        if (!m_replaced.empty()) {
            std::vector<Job> replaced = std::move(m_replaced);
            m_replaced.clear();
            lock.unlock();
            replaced.clear();
            lock.relock();
            continue;
        }
        if (m_queue.empty())
            return;
        auto first = m_queue.begin();
        const int key = first->first;
        Job job = std::move(first->second);
        m_queue.erase(first);
        const quint64 generation = m_generation;
        m_running = true;
        m_encodingKey = key;
        lock.unlock();
        const QByteArray json = job.encode();
        // The copy goes before the slow part, sealing and writing.
        job.encode = nullptr;
        lock.relock();
        m_encodingKey = -1;
        lock.unlock();
        m_released(key);
        save(key, json, job, generation);
        lock.relock();
        m_running = false;
        m_idle.wakeAll();
    }
}

void ChatCacheWriter::save(int key, const QByteArray &json, const Job &job, quint64 generation)
{
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
