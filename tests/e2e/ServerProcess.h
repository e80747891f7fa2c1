#pragma once
// The real zephlin-server, started on a free loopback port with a throw-away data folder and its
// development certificates; the CA is trusted by this process. Stopped when destroyed.
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

class ServerProcess
{
public:
    // Where a server keeps its data when given no database address: the store the tests run on
    // (PostgreSQL under scripts/with-postgres), or SQLite in its data folder whatever they run on.
    enum class OwnStore { OfTheTestRun, SQLite };

    // `databaseUrl`: the database of another node of the same site; empty: one of its own.
    explicit ServerProcess(const QString &databaseUrl = {}, OwnStore ownStore = OwnStore::OfTheTestRun);
    ~ServerProcess();

    // Fills the data folder with the demo accounts and content (before start).
    bool seedDemo();
    // Starts the server (on `port`, 0: any free one) and waits until it listens; false (with a warning)
    // when it does not.
    bool start(const QStringList &extraArguments = {}, quint16 port = 0);
    void stop();
    QString baseURL() const { return m_baseURL; }
    quint16 port() const;
    // The WebSocket URL.
    QUrl socketURL() const;
    QString dataPath() const { return m_data.path(); }
    // The --database address (empty on SQLite).
    QString databaseUrl() const { return m_databaseUrl; }
    QString caFile() const;
    qint64 pid() const { return m_process.processId(); }

private:
    QStringList databaseArguments() const;

    QTemporaryDir m_data;
    QString m_databaseUrl;
    QProcess m_process;
    QString m_baseURL;
};
