#pragma once
// Keeps the image disk cache bounded: once it holds more than its limits, the oldest files (by
// modification date) go until it is down to the lower targets, so a trim buys room for a while
// instead of running again after the next download. Failures are skipped, never reported.
#include <QString>

struct DiskCacheLimits
{
    qint64 maxBytes = 209715200;    // 200 MiB: start trimming above this
    qsizetype maxFiles = 2000;      // or above this many files
    qint64 targetBytes = 167772160; // 160 MiB: trim down to this
    qsizetype targetFiles = 1600;   // and to this many files
};

class DiskCacheTrimmer
{
public:
    explicit DiskCacheTrimmer(QString directory, DiskCacheLimits limits = {});

    // Returns the number of files it tried to delete. Safe to run concurrently with itself: a second
    // delete of the same file just fails.
    qsizetype trimIfNeeded() const;

private:
    QString m_directory;
    DiskCacheLimits m_limits;
};
