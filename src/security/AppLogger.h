#pragma once
// The console log: time-stamped lines to standard output, the newest 100 kept in memory.
// It writes nothing to disk and nothing to the encrypted log.
#include <QObject>
#include <QStringList>

class AppLogger : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList logs READ logs NOTIFY logsChanged)

public:
    static constexpr int maxLogs = 100;

    static AppLogger &shared();

    // Prints at once on the caller's thread; the in-memory list changes on the main thread only.
    void log(const QString &message);

    // Newest first.
    QStringList logs() const { return m_logs; }

Q_SIGNALS:
    void logsChanged();

private:
    AppLogger();
    void remember(const QString &line);

    QStringList m_logs;
};
