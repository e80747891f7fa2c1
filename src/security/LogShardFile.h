#pragma once
// The shard file format of the encrypted log, shared by the logger, its export and the decoder:
// "ZPLOG", version 1 (u32 LE), record count (u32 LE), then records of a u32 LE length (never 0)
// and that many bytes of entry blob. Readers trust the records, not the count.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class LogShardFile
{
public:
    static constexpr int headerSize = 13;
    static constexpr int countOffset = 9;
    static constexpr quint32 version = 1;

    struct Contents
    {
        QList<QByteArray> records;
        // Why reading stopped early, and at which byte offset; empty for a sound file.
        QString problem;
        qint64 problemOffset = -1;
    };

    // The records of the file; a short or foreign file gives none, a record cut short by a crash
    // ends the list (with everything after it).
    static Contents read(const QString &path);
    static Contents parse(const QByteArray &data);

    static QByteArray header(quint32 count);
    static QByteArray record(const QByteArray &blob);

    // The file names of the shards in a folder, oldest first: by time-stamp name, then by the
    // "-n" suffix a name gets when several shards start within one second.
    static QStringList shardNames(const QString &directory);
    // "2026-03-01T08-15-42.zplog"; "-1", "-2", ... follow when shards of that second exist.
    static QString nextShardName(const QString &directory, const QDateTime &now);
};
