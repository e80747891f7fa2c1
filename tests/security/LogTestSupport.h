#pragma once
// Helpers for the encrypted-log tests: the development key pair and reading shards back.
#include "LogDecoder.h"
#include "LogShardFile.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QtEndian>

namespace logtest {

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

inline QByteArray devPublicKey()
{
    return fileBytes(QStringLiteral(DEV_LOG_PUBLIC_KEY));
}

inline const LogDecoder &decoder()
{
    static const std::unique_ptr<LogDecoder> decoder = LogDecoder::fromPrivateKey(fileBytes(QStringLiteral(DEV_LOG_PRIVATE_KEY)));
    return *decoder;
}

// The messages of a file's records, in file order; "<undecodable>" for a record that fails.
inline QStringList messages(const QString &path)
{
    QStringList result;
    for (const QByteArray &record : LogShardFile::read(path).records) {
        const Result<LogDecoder::Entry> entry = decoder().decodeBlob(record);
        result.append(entry ? entry->message : QStringLiteral("<undecodable>"));
    }
    return result;
}

inline quint32 headerCount(const QString &path)
{
    const QByteArray bytes = fileBytes(path);
    return bytes.size() < LogShardFile::headerSize ? 0 : qFromLittleEndian<quint32>(bytes.constData() + LogShardFile::countOffset);
}

inline QStringList shardPaths(const QString &dir)
{
    QStringList paths;
    for (const QString &name : LogShardFile::shardNames(dir))
        paths.append(dir + QLatin1Char('/') + name);
    return paths;
}

inline void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// A shard written by an earlier run: count records of dummy bytes.
inline void writeShard(const QString &path, int count, int recordSize = 1)
{
    QByteArray content = LogShardFile::header(quint32(count));
    for (int i = 0; i < count; ++i)
        content += LogShardFile::record(QByteArray(recordSize, 'x'));
    writeFile(path, content);
}

inline QStringList numbered(const QString &prefix, int from, int to)
{
    QStringList result;
    for (int i = from; i < to; ++i)
        result.append(prefix + QString::number(i));
    return result;
}

} // namespace logtest
