#pragma once
// What /proc says of a process and of the machine, for the benchmark's memory, CPU and load figures.
#include <QList>

namespace ProcessStats {
// VmHWM: the most resident memory the process has had, shared pages included.
double peakMemoryMiB(qint64 pid);
// Pss: resident memory now, each shared page split between the processes that map it.
double proportionalMemoryMiB(qint64 pid);
// User plus system CPU seconds the process has used so far.
double cpuSeconds(qint64 pid);
// The process and its direct children (a PostgreSQL server and its backends).
QList<qint64> withChildren(qint64 pid);
qint64 parentOf(qint64 pid);
// The one-minute load average of the machine, which developers share: it says how far to trust a figure.
double loadAverage();
} // namespace ProcessStats
