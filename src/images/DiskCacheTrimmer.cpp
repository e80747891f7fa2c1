#include "DiskCacheTrimmer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <algorithm>

DiskCacheTrimmer::DiskCacheTrimmer(QString directory, DiskCacheLimits limits)
    : m_directory(std::move(directory)), m_limits(limits)
{
}

qsizetype DiskCacheTrimmer::trimIfNeeded() const
{
    struct CachedFile
    {
        QString path;
        qint64 size;
        QDateTime modified;
    };

    const QDir dir(m_directory);
    if (!dir.exists())
        return 0;
    // Unsorted keeps the directory's own order, which breaks ties between equal dates below.
    const QFileInfoList listing = dir.entryInfoList(QDir::Files, QDir::Unsorted);
    QList<CachedFile> files;
    files.reserve(listing.size());
    qint64 total = 0;
    for (const QFileInfo &info : listing) {
        const QDateTime modified = info.lastModified();
        if (!modified.isValid())
            continue; // a file gone since the listing, or without a date: neither counted nor deleted
        files.append(CachedFile{info.absoluteFilePath(), info.size(), modified});
        total += info.size();
    }
    if (total <= m_limits.maxBytes && files.size() <= m_limits.maxFiles)
        return 0;

    std::stable_sort(files.begin(), files.end(),
                     [](const CachedFile &a, const CachedFile &b) { return a.modified < b.modified; });
    qsizetype remaining = files.size();
    qsizetype attempted = 0;
    for (const CachedFile &file : files) {
        if (total <= m_limits.targetBytes && remaining <= m_limits.targetFiles)
            break;
        QFile::remove(file.path); // a failed delete still counts: another trim may have taken it
        total -= file.size;
        --remaining;
        ++attempted;
    }
    return attempted;
}
