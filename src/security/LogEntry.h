#pragma once
// One entry of the encrypted log, as the caller handed it over.
#include "LogLevel.h"

#include <QByteArray>
#include <QString>

struct LogEntry
{
    double timestamp = 0; // seconds since 1970-01-01 UTC, with fraction
    LogLevel level = LogLevel::Info;
    QString module;
    QString message;

    // Seconds since 1970 now, to the microsecond.
    static double now();

    // The JSON object with exactly the keys timestamp, level, module, message, in that order.
    QByteArray toJson() const;
};
