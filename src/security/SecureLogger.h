#pragma once
// The encrypted diagnostic log. log() returns at once; entries are encoded, encrypted for the
// compiled-in RSA public key and appended to shard files on the logger's own worker thread.
#include "LogLevel.h"
#include "LogStore.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QUrl>
#include <memory>
#include <optional>

class SecureLogger : public QObject
{
    Q_OBJECT

public:
    // The process-wide log in "zp_logs" under the app data folder, created on first use.
    static SecureLogger &shared();

    // A log of its own over a folder (tests, benchmarks). publicKey is PEM or DER; an unusable key
    // makes every entry count as an encryption failure.
    SecureLogger(const QString &directory, const QByteArray &publicKey = LogCipher::builtInPublicKey());
    ~SecureLogger() override;

    // Takes the time stamp now and queues the entry. userId is not recorded: the entry has no
    // field for it and the log never carries who the user is.
    void log(const QString &message, LogLevel level, const QString &module,
             const std::optional<QString> &userId = std::nullopt);

    // Merges every shard and the debug ring into one new shard-format file, deletes the other
    // shards and returns the new file; nothing when there was nothing to export or it failed.
    // The caller waits; safe to call from the worker thread itself.
    std::optional<QUrl> exportLog();

    QString directory() const { return m_directory; }
    // Blocks until every entry queued so far is written (tests, benchmarks).
    void waitForIdle();
    LogStore::Status status();
    // Runs task on the worker thread and waits for it, or runs it directly when already there.
    void runOnWorker(const std::function<void()> &task);

private:
    void post(const LogEntry &entry);

    QString m_directory;
    QThread m_thread;
    QObject *m_context;
    std::unique_ptr<LogStore> m_store;
};
