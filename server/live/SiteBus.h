#pragma once
// Fan-out between the nodes of one site on PostgreSQL. A node appends every event meant for other
// users' connections to the ordered "events" table and NOTIFYs; every other node reads the rows it
// has not seen, in order, and hands them to its own connections. A node whose listening connection
// dropped reconnects and catches up from the table; rows older than a few minutes are pruned.
#include "storage/Database.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

class SiteBus : public QObject
{
    Q_OBJECT
public:
    // Presence: who is online changed; every node sends its connections the new list.
    enum class Kind { Users, Everyone, CloseUsers, CloseSessions, Presence };

    // `writer` is the node's own connection; the bus opens a second one, at `location`, to listen on.
    SiteBus(Database &writer, const QString &location, QObject *parent = nullptr);

    bool start();
    QString errorText() const { return m_listener.errorText(); }
    QString nodeId() const { return m_nodeId; }

    // `targets`: user ids for Users and CloseUsers, token hashes for CloseSessions, none for Everyone.
    void publish(Kind kind, const QStringList &targets, const QJsonObject &event);

Q_SIGNALS:
    // An event another node published, in the order the nodes committed them.
    void received(SiteBus::Kind kind, const QStringList &targets, const QJsonObject &event);

private:
    bool subscribe();
    void catchUp();
    void prune();

    Database &m_writer;
    Database m_listener;
    QString m_location;
    QString m_nodeId;
    qint64 m_lastSeq = 0;
    QTimer m_poll;
    QTimer m_pruning;
};
