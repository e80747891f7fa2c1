#include "LogShardFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <algorithm>

namespace {
const QByteArray magic = QByteArrayLiteral("ZPLOG");
const QString extension = QStringLiteral(".zplog");
constexpr int timeNameLength = 19; // "2026-03-01T08-15-42"

struct NameOrder
{
    QString base;
    int suffix = 0;
};

NameOrder nameOrder(const QString &fileName)
{
    const QString stem = fileName.chopped(extension.size());
    if (stem.size() > timeNameLength + 1 && stem.at(timeNameLength) == u'-') {
        bool ok = false;
        const int suffix = stem.mid(timeNameLength + 1).toInt(&ok);
        if (ok)
            return {stem.left(timeNameLength), suffix};
    }
    return {stem, 0};
}
} // namespace

LogShardFile::Contents LogShardFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("cannot be read: ") + file.errorString(), 0};
    return parse(file.readAll());
}

LogShardFile::Contents LogShardFile::parse(const QByteArray &data)
{
    Contents contents;
    if (data.size() < headerSize) {
        contents.problem = QStringLiteral("shorter than the %1-byte header").arg(headerSize);
        contents.problemOffset = 0;
        return contents;
    }
    if (!data.startsWith(magic)) {
        contents.problem = QStringLiteral("not a log file (no ZPLOG magic)");
        contents.problemOffset = 0;
        return contents;
    }
    const quint32 fileVersion = qFromLittleEndian<quint32>(data.constData() + magic.size());
    if (fileVersion != version) {
        contents.problem = QStringLiteral("unknown format version %1").arg(fileVersion);
        contents.problemOffset = magic.size();
        return contents;
    }
    qint64 position = headerSize;
    while (data.size() - position >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(data.constData() + position);
        if (length == 0) {
            contents.problem = QStringLiteral("record of length 0");
            contents.problemOffset = position;
            return contents;
        }
        if (position + 4 + qint64(length) > data.size()) {
            contents.problem = QStringLiteral("record of %1 bytes cut short").arg(length);
            contents.problemOffset = position;
            return contents;
        }
        contents.records.append(data.mid(position + 4, length));
        position += 4 + qint64(length);
    }
    if (position != data.size()) {
        contents.problem = QStringLiteral("%1 stray bytes at the end").arg(data.size() - position);
        contents.problemOffset = position;
    }
    return contents;
}

QByteArray LogShardFile::header(quint32 count)
{
    QByteArray bytes = magic;
    bytes.resize(headerSize);
    qToLittleEndian<quint32>(version, bytes.data() + magic.size());
    qToLittleEndian<quint32>(count, bytes.data() + countOffset);
    return bytes;
}

QByteArray LogShardFile::record(const QByteArray &blob)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(blob.size()), bytes.data());
    return bytes + blob;
}

QStringList LogShardFile::shardNames(const QString &directory)
{
    QStringList names = QDir(directory).entryList({QLatin1Char('*') + extension}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const NameOrder left = nameOrder(a);
        const NameOrder right = nameOrder(b);
        if (left.base != right.base)
            return left.base < right.base;
        return left.suffix < right.suffix;
    });
    return names;
}

QString LogShardFile::nextShardName(const QString &directory, const QDateTime &now)
{
    const QString base = now.toUTC().toString(Qt::ISODate).replace(QLatin1Char(':'), QLatin1Char('-')).left(timeNameLength);
    // After every shard of the same second, not into a gap a deleted shard left: a reused name
    // would sort before shards that are older than it.
    int next = -1;
    for (const QString &name : QDir(directory).entryList({base + QLatin1Char('*') + extension}, QDir::Files)) {
        const NameOrder order = nameOrder(name);
        if (order.base == base)
            next = qMax(next, order.suffix + 1);
    }
    if (next < 0)
        return base + extension;
    return base + QLatin1Char('-') + QString::number(next) + extension;
}
