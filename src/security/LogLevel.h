#pragma once
#include <QString>

enum class LogLevel { Debug, Info, Error };

// "DEBUG", "INFO" or "ERROR".
inline QString logLevelName(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug:
        return QStringLiteral("DEBUG");
    case LogLevel::Info:
        return QStringLiteral("INFO");
    case LogLevel::Error:
        break;
    }
    return QStringLiteral("ERROR");
}
