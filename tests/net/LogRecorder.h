#pragma once
// Collects the console lines written while it lives, without their time stamps.
#include "AppLogger.h"

#include <QObject>
#include <QStringList>

class LogRecorder : public QObject
{
public:
    LogRecorder()
    {
        connect(&AppLogger::shared(), &AppLogger::logsChanged, this, [this] {
            const QString line = AppLogger::shared().logs().value(0);
            // "[HH:mm:ss] message"
            lines.append(line.mid(line.indexOf(QLatin1String("] ")) + 2));
        });
    }

    int count(const QString &line) const { return int(lines.count(line)); }
    int countStartingWith(const QString &prefix) const
    {
        return int(std::count_if(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(prefix); }));
    }
    bool anyContains(const QString &text) const
    {
        return std::any_of(lines.begin(), lines.end(), [&](const QString &l) { return l.contains(text); });
    }

    QStringList lines;
};
