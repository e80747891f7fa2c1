#pragma once
// The TLS listener behind the HTTP server, guarding what the HTTP server itself does not:
// - it buffers a whole request body before any route sees it, so a connection that sends more than
//   the cap without getting an answer is answered 413 and closed instead of filling memory;
// - it never closes an idle connection, so an HTTP connection silent for the idle timeout is closed.
// WebSocket connections leave this watch once upgraded (the HTTP server drops every connection to
// the socket's signals then); their frame limits and the hub take over.
#include <QList>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>

class GuardedSslServer : public QSslServer
{
    Q_OBJECT
public:
    GuardedSslServer(qint64 maxUnansweredBytes, int idleTimeoutMs, QObject *parent = nullptr)
        : QSslServer(parent), m_maxUnansweredBytes(maxUnansweredBytes), m_idleTimeoutMs(idleTimeoutMs)
    {
    }

    QTcpSocket *nextPendingConnection() override;
    // The accepted TLS socket with this peer endpoint: the transport under an upgraded WebSocket.
    QSslSocket *transportFor(const QHostAddress &peer, quint16 peerPort) const;

private:
    void watch(QTcpSocket *socket);
    qint64 m_maxUnansweredBytes;
    int m_idleTimeoutMs;
    QList<QPointer<QSslSocket>> m_sockets;
};
