#pragma once
// Reads the process-wide encrypted log back with the development key (tests built with that key
// only): created before the actions under test, it logs a marker; lines() then exports the log and
// gives every entry after the marker as "module LEVEL message", oldest first.
#include "LogDecoder.h"
#include "SecureLogger.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>

class LogReadBack
{
public:
    // Earlier runs leave their entries in the same log; only what follows the marker counts.
    LogReadBack() : m_marker(QStringLiteral("test run %1").arg(QDateTime::currentMSecsSinceEpoch()))
    {
        SecureLogger::shared().log(m_marker, LogLevel::Info, QStringLiteral("Test"));
    }

    // The entries after the marker; the decoder's problems instead when it had any.
    QStringList lines() const
    {
        const std::optional<QUrl> exported = SecureLogger::shared().exportLog();
        QFile keyFile(QStringLiteral(ZEPHLIN_DEV_LOG_PRIVATE_KEY));
        const std::unique_ptr<LogDecoder> decoder =
            keyFile.open(QIODevice::ReadOnly) ? LogDecoder::fromPrivateKey(keyFile.readAll()) : nullptr;
        if (!exported || !decoder)
            return {QStringLiteral("<no log to read back>")};
        QList<LogDecoder::Entry> entries;
        QStringList problems;
        decoder->decodeFile(exported->toLocalFile(), entries, problems);
        if (!problems.isEmpty())
            return problems;
        LogDecoder::sortByTime(entries);
        QStringList lines;
        bool afterMarker = false;
        for (const LogDecoder::Entry &entry : std::as_const(entries)) {
            afterMarker = afterMarker || entry.message == m_marker;
            if (afterMarker)
                lines.append(entry.module + QLatin1Char(' ') + entry.level + QLatin1Char(' ') + entry.message);
        }
        return lines;
    }

private:
    QString m_marker;
};
