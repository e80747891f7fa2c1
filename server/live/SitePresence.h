#pragma once
// Who is online across the nodes of one site on PostgreSQL. Each node records its signed-in users and
// renews its heartbeat; a node whose heartbeat is older than the timeout is taken for dead, and its
// users are dropped from presence by whichever node notices first. A departure from this node whose
// change could not be stored is dropped by this node's next heartbeat.
#include <QObject>
#include <QStringList>
#include <QTimer>

class Database;

class SitePresence : public QObject
{
    Q_OBJECT
public:
    SitePresence(Database &db, const QString &nodeId, int nodeTimeoutMs, QObject *parent = nullptr);

    bool start();
    // The user's first connection to this node came, or its last one went.
    void arrived(const QString &userId);
    void left(const QString &userId);

    bool isOnline(const QString &userId);
    // Users on any node, in the order they came online.
    QStringList onlineUsers();

Q_SIGNALS:
    // Users were dropped from presence (a dead node's, or departures from this node stored late);
    // answered inside the transaction of the drop.
    void dropped();

private:
    void beat();
    bool enlist();
    // Deletes this node's rows of users no longer here; true when there were any.
    bool dropDeparted();

    Database &m_db;
    QString m_nodeId;
    int m_nodeTimeoutMs;
    QStringList m_here; // this node's users, restored should a late heartbeat have cost them
    QTimer m_heartbeat;
};
