#pragma once
// The worker-thread side of the encrypted log: encrypts entries, keeps debug entries in a memory
// ring until an error (or detailed logging) sends them to disk, appends records to the active
// shard, rotates shards at 500 entries, prunes old shards and merges everything into an export.
// Every member runs on the logger's worker thread only, so nothing here locks.
#include "LogCipher.h"
#include "LogEntry.h"
#include "LogShardFile.h"

#include <QFile>
#include <QHash>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

class LogStore
{
public:
    static constexpr int shardCapacity = 500;
    static constexpr qint64 maxEntries = 20000;
    static constexpr qint64 maxRetentionSeconds = 604800; // 7 days
    static constexpr qint64 maxDiskBytes = 8388608;       // 8 MiB
    static constexpr int memoryCapacity = 500;

    struct Status
    {
        int writeFailureCount = 0;
        int encryptFailureCount = 0;
        int memoryEntryCount = 0;
        QString activeShardName; // empty when no shard is open
        int activeShardEntryCount = 0;
    };

    struct ExportOutcome
    {
        QString filePath; // empty when nothing was exported
        int count = 0;
        QString failure;  // why the export failed; empty on success and when there was nothing
    };

    // Reads a written file back for the export's two checks. Replaceable because only a disk that
    // loses or changes what was just written fails them, and tests must be able to play that disk.
    using ReadBack = std::function<LogShardFile::Contents(const QString &path)>;

    // cipher may be null (an unusable log key): every entry then counts as an encryption failure.
    // enqueue hands the store's own entries back to the logger's queue, behind the current task.
    LogStore(const QString &directory, std::unique_ptr<LogCipher> cipher,
             std::function<void(const LogEntry &)> enqueue, ReadBack readBack = &LogShardFile::read);
    ~LogStore();

    // Counts the shards left by earlier runs, opens a fresh shard and prunes.
    void start();
    void append(const LogEntry &entry);
    ExportOutcome exportAll();
    Status status() const;

private:
    void appendToDisk(const QByteArray &blob);
    void flushRing();
    void openNewShard();
    void closeActiveShard();
    bool writeCount();
    void prune();
    QString pathOf(const QString &name) const { return m_directory + QLatin1Char('/') + name; }

    QString m_directory;
    std::unique_ptr<LogCipher> m_cipher;
    std::function<void(const LogEntry &)> m_enqueue;
    ReadBack m_readBack;
    std::unique_ptr<QFile> m_active;
    QString m_activeName;
    int m_activeCount = 0;
    qint64 m_activeEnd = 0; // where the next record goes
    QHash<QString, int> m_archivedCounts;
    QList<QByteArray> m_memoryEntries; // encrypted debug entries not yet on disk, oldest first
    int m_writeFailureCount = 0;
    int m_encryptFailureCount = 0;
};
