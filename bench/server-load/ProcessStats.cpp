#include "ProcessStats.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace {
QByteArray readProc(qint64 pid, const char *file)
{
    QFile proc(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return proc.open(QIODevice::ReadOnly) ? proc.readAll() : QByteArray();
}

// A "Name:   123 kB" line of a /proc status file, in MiB; -1 when absent.
double kilobytesField(const QByteArray &text, const QByteArray &name)
{
    for (const QByteArray &line : text.split('\n'))
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// The fields after the parenthesised command name of /proc/PID/stat: state, ppid, …
QList<QByteArray> statFields(qint64 pid)
{
    const QByteArray line = readProc(pid, "stat");
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}
} // namespace

double ProcessStats::peakMemoryMiB(qint64 pid)
{
    return kilobytesField(readProc(pid, "status"), "VmHWM:");
}

double ProcessStats::proportionalMemoryMiB(qint64 pid)
{
    return kilobytesField(readProc(pid, "smaps_rollup"), "Pss:");
}

double ProcessStats::cpuSeconds(qint64 pid)
{
    // utime and stime are the 14th and 15th fields overall.
    const QList<QByteArray> fields = statFields(pid);
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

qint64 ProcessStats::parentOf(qint64 pid)
{
    return statFields(pid).value(1).toLongLong();
}

QList<qint64> ProcessStats::withChildren(qint64 pid)
{
    QList<qint64> family{pid};
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 candidate = entry.toLongLong(&isPid);
        if (isPid && parentOf(candidate) == pid)
            family << candidate;
    }
    return family;
}

double ProcessStats::loadAverage()
{
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    return loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().split(' ').value(0).toDouble() : -1;
}
