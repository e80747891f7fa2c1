#pragma once
// The chat cache's one writer thread: it encodes, seals and writes the saves the chat state hands
// it, so that the main thread only takes a cheap copy of the implicitly shared lists at each save
// point. Saves of one key land in order: a queued save is replaced by a newer one of its key, and
// a save older than the one last written is dropped. A key whose JSON hashes to what was last
// written is not sealed again. Every copy handed over is released on the writer thread, a replaced
// one too: the main thread has usually made its own copy of those lists by then, so the copy it
// handed over is the last owner of thousands of messages.
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class ChatCacheWriter
{
public:
    // Produces the JSON text of one key from the copy taken at the save point.
    using Encode = std::function<QByteArray()>;
    // Told on the writer thread when the seal or the write of a key failed (the old value stays),
    // with the generation the save was queued under.
    using FailureReport = std::function<void(int key, quint64 generation)>;

    // Told on the writer thread when it has encoded a save of key and let go of its copy.
    using Released = std::function<void(int key)>;

    ChatCacheWriter(FailureReport failed, Released released);
    // Writes what is queued, then stops.
    ~ChatCacheWriter();

    // Queues the save of `key` under `storageKey`; `sequence` grows with every save point.
    void enqueue(int key, const QString &storageKey, quint64 sequence, Encode encode);
    // Drops every queued save and forgets what was written. When it returns, no save handed over
    // before it can still reach the disk (a write under way is waited for).
    void cancel();
    // Blocks until every queued save has ended.
    void waitUntilIdle();
    // Nothing queued, nothing being written.
    bool isIdle() const;
    // A save of key is queued or being encoded: the writer holds a copy of its lists, so a change
    // to them now copies them.
    bool holdsCopy(int key) const;
    // Counts cancels; failures carry the count their save was queued under.
    quint64 generation() const;
    // Keys sealed and written so far.
    int writes() const { return m_writes.load(); }

private:
    struct Job
    {
        QString storageKey;
        quint64 sequence = 0;
        Encode encode;
    };

    void run();
    void save(int key, const QByteArray &json, const Job &job, quint64 generation);

    FailureReport m_failed;
    Released m_released;
    std::atomic<int> m_writes = 0;
    mutable QMutex m_mutex;
    QWaitCondition m_wake;
    QWaitCondition m_idle;
    // Held across the check that a save is still wanted and its write, so cancel() can wait for it.
    QMutex m_writeMutex;
    std::map<int, Job> m_queue; // by key: written in key order
    std::vector<Job> m_replaced; // released by the writer thread
    int m_encodingKey = -1;
    std::map<int, quint64> m_lastSequence;
    std::map<int, size_t> m_writtenHash;
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_stopping = false;
    std::unique_ptr<QThread> m_thread;
};
