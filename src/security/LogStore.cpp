#include "LogStore.h"

#include "AppPaths.h"
#include "LogShardFile.h"
#include "SettingsStore.h"

#include <QDateTime>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <unistd.h>

namespace {
constexpr auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Creates the file, owner-only, and writes its first bytes; the handle stays open for appending.
std::unique_ptr<QFile> createFile(const QString &path, const QByteArray &content, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)
        || !file->setPermissions(ownerOnly) || file->write(content) != content.size()) {
        *error = file->errorString();
        if (file->isOpen())
            file->remove();
        return nullptr;
    }
    return file;
}
} // namespace

LogStore::LogStore(const QString &directory, std::unique_ptr<LogCipher> cipher,
                   std::function<void(const LogEntry &)> enqueue, ReadBack readBack)
    : m_directory(directory), m_cipher(std::move(cipher)), m_enqueue(std::move(enqueue)),
      m_readBack(std::move(readBack))
{
}

LogStore::~LogStore()
{
    closeActiveShard();
}

void LogStore::start()
{
    AppPaths::ensurePrivateDir(m_directory);
    m_archivedCounts.clear();
    for (const QString &name : LogShardFile::shardNames(m_directory))
        m_archivedCounts.insert(name, int(LogShardFile::read(pathOf(name)).records.size()));
    openNewShard();
    prune();
}

void LogStore::append(const LogEntry &entry)
{
    std::optional<QByteArray> blob = m_cipher ? m_cipher->encrypt(entry.toJson()) : std::nullopt;
    if (!blob) {
        ++m_encryptFailureCount;
        return;
    }
    // Read afresh for every debug entry, so switching detailed logging on takes effect at once.
    if (entry.level == LogLevel::Debug && !SettingsStore::shared().boolean(QStringLiteral("zp_detailed_logging"))) {
        m_memoryEntries.append(*blob);
        while (m_memoryEntries.size() > memoryCapacity)
            m_memoryEntries.removeFirst();
        return;
    }
    // An error carries the debug context that led to it onto the disk, ahead of itself.
    if (entry.level == LogLevel::Error)
        flushRing();
    appendToDisk(*blob);
}

void LogStore::flushRing()
{
    const QList<QByteArray> ring = std::exchange(m_memoryEntries, {});
    for (const QByteArray &blob : ring)
        appendToDisk(blob);
}

void LogStore::appendToDisk(const QByteArray &blob)
{
    if (!m_active) {
        openNewShard();
    } else if (m_activeCount >= shardCapacity) {
        closeActiveShard();
        openNewShard();
        prune();
    }
    if (!m_active) {
        ++m_writeFailureCount;
        return;
    }
    // Positioned writes: two system calls per entry. A failed write leaves the end where it was,
    // so the next record overwrites a partial one instead of hiding behind it from readers.
    const QByteArray record = LogShardFile::record(blob);
    if (::pwrite(m_active->handle(), record.constData(), size_t(record.size()), m_activeEnd) != record.size()) {
        ++m_writeFailureCount;
        return;
    }
    m_activeEnd += record.size();
    ++m_activeCount;
    if (!writeCount())
        ++m_writeFailureCount;
}

bool LogStore::writeCount()
{
    char count[4];
    qToLittleEndian<quint32>(quint32(m_activeCount), count);
    return ::pwrite(m_active->handle(), count, 4, LogShardFile::countOffset) == 4;
}

void LogStore::openNewShard()
{
    m_active.reset();
    m_activeName.clear();
    m_activeCount = 0;
    if (!AppPaths::ensurePrivateDir(m_directory)) {
        ++m_writeFailureCount;
        return;
    }
    const QString name = LogShardFile::nextShardName(m_directory, QDateTime::currentDateTimeUtc());
    QString error;
    m_active = createFile(pathOf(name), LogShardFile::header(0), &error);
    if (!m_active) {
        ++m_writeFailureCount;
        return;
    }
    m_activeName = name;
    m_activeEnd = LogShardFile::headerSize;
}

void LogStore::closeActiveShard()
{
    if (!m_active)
        return;
    writeCount();
    m_active->close();
    m_active.reset();
    if (m_activeCount > 0)
        m_archivedCounts.insert(m_activeName, m_activeCount);
    m_activeName.clear();
    m_activeCount = 0;
}

void LogStore::prune()
{
    if (!m_active)
        return;
    struct Candidate
    {
        QString name;
        QDateTime modified;
        qint64 size;
        int count;
    };
    qint64 totalEntries = m_activeCount;
    for (const int count : std::as_const(m_archivedCounts))
        totalEntries += count;
    qint64 totalBytes = 0;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<Candidate> candidates;
    for (const QString &name : LogShardFile::shardNames(m_directory)) {
        const QFileInfo info(pathOf(name));
        const qint64 size = info.exists() ? info.size() : 0;
        totalBytes += size;
        if (name == m_activeName)
            continue; // the shard being written is never pruned
        const QDateTime modified = info.lastModified();
        candidates.append({name, modified.isValid() ? modified : now, size, m_archivedCounts.value(name, 0)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.modified < b.modified; });
    const QDateTime cutOff = now.addSecs(-maxRetentionSeconds);
    for (const Candidate &candidate : std::as_const(candidates)) {
        if (candidate.modified >= cutOff && totalEntries <= maxEntries && totalBytes <= maxDiskBytes)
            break;
        if (!QFile::remove(pathOf(candidate.name)))
            continue;
        m_archivedCounts.remove(candidate.name);
        totalEntries -= candidate.count;
        totalBytes -= candidate.size;
    }
}

LogStore::ExportOutcome LogStore::exportAll()
{
    closeActiveShard();
    QList<QByteArray> blobs;
    for (const QString &name : LogShardFile::shardNames(m_directory))
        blobs += LogShardFile::read(pathOf(name)).records;
    blobs += m_memoryEntries;
    if (blobs.isEmpty())
        return {};

    ExportOutcome outcome;
    outcome.count = int(blobs.size());
    AppPaths::ensurePrivateDir(m_directory);
    const QString name = LogShardFile::nextShardName(m_directory, QDateTime::currentDateTimeUtc());
    const QString path = pathOf(name);
    QByteArray content = LogShardFile::header(quint32(blobs.size()));
    for (const QByteArray &blob : std::as_const(blobs))
        content += LogShardFile::record(blob);
    std::unique_ptr<QFile> file = createFile(path, content, &outcome.failure);
    if (!file)
        return outcome;
    file.reset();

    const qsizetype readBack = m_readBack(path).records.size();
    if (readBack != blobs.size()) {
        outcome.failure = QStringLiteral("export verify failed: %1/%2").arg(readBack).arg(blobs.size());
        return outcome;
    }
    for (const QString &other : LogShardFile::shardNames(m_directory)) {
        if (other != name)
            QFile::remove(pathOf(other));
    }
    if (m_readBack(path).records.size() != blobs.size()) {
        outcome.failure = QStringLiteral("export file missing right after cleanup");
        return outcome;
    }
    m_enqueue({LogEntry::now(), LogLevel::Info, QStringLiteral("Logger"),
               QStringLiteral("export check: wrote %1 entries, shards left=%2")
                   .arg(blobs.size())
                   .arg(LogShardFile::shardNames(m_directory).size())});
    m_archivedCounts.clear();
    m_memoryEntries.clear();

    // The export file becomes the active shard: later entries go into it until it is full.
    auto handle = std::make_unique<QFile>(path);
    if (handle->open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_active = std::move(handle);
        m_activeName = name;
        m_activeCount = int(blobs.size());
        m_activeEnd = content.size();
    } else {
        // The next entry opens a fresh shard; pruning still knows how much this file holds.
        m_archivedCounts.insert(name, int(blobs.size()));
    }
    outcome.filePath = path;
    return outcome;
}

LogStore::Status LogStore::status() const
{
    return {m_writeFailureCount, m_encryptFailureCount, int(m_memoryEntries.size()),
            m_active ? m_activeName : QString(), m_activeCount};
}
