#pragma once
// The encrypted diagnostic log. log() returns at once; entries are encoded, encrypted for the
// compiled-in RSA public key and appended to shard files on the logger's own worker thread.
#include <QObject>
#include <QString>
#include <optional>

enum class LogLevel { Debug, Info, Error };

// "DEBUG", "INFO" or "ERROR".
QString logLevelName(LogLevel level);

class SecureLogger : public QObject
{
    Q_OBJECT

public:
    static SecureLogger &shared();

    void log(const QString &message, LogLevel level, const QString &module,
             const std::optional<QString> &userId = std::nullopt);
};
