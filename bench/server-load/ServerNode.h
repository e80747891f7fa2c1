#pragma once
// One zephlin-server process for the benchmark: a throw-away data folder, development TLS (its CA
// trusted by this process), and room for every client, all of whom come from 127.0.0.1.
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

class ServerNode
{
public:
    // `databaseUrl`: a PostgreSQL database, shared with the other nodes of a site; empty: SQLite in
    // the data folder.
    explicit ServerNode(const QString &databaseUrl = {});
    ~ServerNode();

    bool start(int clients);
    QUrl socketUrl() const;
    QUrl baseUrl() const;
    QString dataDir() const { return m_dir.path(); }
    QString databaseUrl() const { return m_databaseUrl; }
    qint64 pid() const { return m_process.processId(); }

private:
    QTemporaryDir m_dir;
    QString m_databaseUrl;
    QProcess m_process;
    quint16 m_port = 0;
};
