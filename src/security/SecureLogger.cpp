#include "SecureLogger.h"

#include "AppLogger.h"
#include "AppPaths.h"
#include "KeychainHelper.h"

#include <QFileInfo>

SecureLogger &SecureLogger::shared()
{
    // Never destroyed: entries may be logged until the very end of the process.
    static SecureLogger *logger = new SecureLogger(AppPaths::dataDir() + QStringLiteral("/zp_logs"));
    // The platform layer reports through here which keychain store is in use.
    static const bool noticesHooked = [] {
        KeychainHelper::setNoticeHandler([](const QString &text) {
            AppLogger::shared().log(text);
            logger->log(text, LogLevel::Info, QStringLiteral("Keychain"));
        });
        return true;
    }();
    Q_UNUSED(noticesHooked);
    return *logger;
}

SecureLogger::SecureLogger(const QString &directory, const QByteArray &publicKey)
    : m_directory(directory), m_context(new QObject)
{
    m_store = std::make_unique<LogStore>(directory, LogCipher::fromPublicKey(publicKey),
                                         [this](const LogEntry &entry) { post(entry); });
    m_thread.setObjectName(QStringLiteral("com.zephlin.securelogger"));
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
    // The first task: nothing can be appended before the earlier shards are counted.
    QMetaObject::invokeMethod(m_context, [store = m_store.get()] { store->start(); }, Qt::QueuedConnection);
}

SecureLogger::~SecureLogger()
{
    waitForIdle();
    m_thread.quit();
    m_thread.wait();
    m_store.reset(); // the worker has stopped: closing the active shard here is safe
}

void SecureLogger::log(const QString &message, LogLevel level, const QString &module,
                       const std::optional<QString> &userId)
{
    Q_UNUSED(userId);
    post({LogEntry::now(), level, module, message});
}

void SecureLogger::post(const LogEntry &entry)
{
    // Queued even from the worker itself, so that its own entries come after the current task.
    QMetaObject::invokeMethod(m_context, [store = m_store.get(), entry] { store->append(entry); }, Qt::QueuedConnection);
}

void SecureLogger::runOnWorker(const std::function<void()> &task)
{
    if (QThread::currentThread() == &m_thread)
        task();
    else // the caller blocks on a semaphore until the worker has run the task; no event loop spins
        QMetaObject::invokeMethod(m_context, task, Qt::BlockingQueuedConnection);
}

void SecureLogger::waitForIdle()
{
    runOnWorker([] {});
}

LogStore::Status SecureLogger::status()
{
    LogStore::Status status;
    runOnWorker([&] { status = m_store->status(); });
    return status;
}

std::optional<QUrl> SecureLogger::exportLog()
{
    LogStore::ExportOutcome outcome;
    runOnWorker([&] { outcome = m_store->exportAll(); });
    if (!outcome.filePath.isEmpty()) {
        log(QStringLiteral("exported %1 entries to %2").arg(outcome.count).arg(QFileInfo(outcome.filePath).fileName()),
            LogLevel::Info, QStringLiteral("Logger"));
        return QUrl::fromLocalFile(outcome.filePath);
    }
    if (!outcome.failure.isEmpty())
        log(QStringLiteral("export failed: ") + outcome.failure, LogLevel::Error, QStringLiteral("Logger"));
    return std::nullopt;
}
