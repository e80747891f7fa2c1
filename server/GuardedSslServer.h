#pragma once
// The TLS listener behind the HTTP server. The HTTP server buffers a whole request body before any
// route sees it, so this listener caps what one request may send: a connection that sends more than
// the cap without getting an answer is answered 413 and closed, instead of filling memory.
// (WebSocket connections leave this watch once upgraded; their frame size limits take over.)
#include <QSslServer>

class GuardedSslServer : public QSslServer
{
    Q_OBJECT
public:
    explicit GuardedSslServer(qint64 maxUnansweredBytes, QObject *parent = nullptr)
        : QSslServer(parent), m_maxUnansweredBytes(maxUnansweredBytes)
    {
    }

    QTcpSocket *nextPendingConnection() override;

private:
    void watch(QTcpSocket *socket);
    qint64 m_maxUnansweredBytes;
};
