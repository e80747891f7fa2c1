#include "GuardedSslServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

QTcpSocket *GuardedSslServer::nextPendingConnection()
{
    QTcpSocket *socket = QSslServer::nextPendingConnection();
    if (socket)
        watch(socket);
    return socket;
}

QSslSocket *GuardedSslServer::transportFor(const QHostAddress &peer, quint16 peerPort) const
{
    for (const QPointer<QSslSocket> &socket : m_sockets)
        if (socket && socket->peerPort() == peerPort && socket->peerAddress() == peer)
            return socket;
    return nullptr;
}

void GuardedSslServer::watch(QTcpSocket *socket)
{
    m_sockets.removeIf([](const QPointer<QSslSocket> &known) { return known.isNull(); });
    if (auto *tls = qobject_cast<QSslSocket *>(socket))
        m_sockets << tls;

    auto unanswered = std::make_shared<qint64>(0);
    auto *idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->setInterval(m_idleTimeoutMs);
    // Connected before the HTTP server's own slot, so it sees each chunk before it is buffered.
    const QMetaObject::Connection reading =
        connect(socket, &QIODevice::readyRead, socket, [socket, idle, unanswered, limit = m_maxUnansweredBytes] {
            idle->start();
            *unanswered += socket->bytesAvailable();
            if (*unanswered <= limit)
                return;
            disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
            socket->setReadBufferSize(64 * 1024);
            const QByteArray body = QStringLiteral("{\"error\":\"请求内容太大\"}").toUtf8();
            socket->write("HTTP/1.1 413 Payload Too Large\r\nContent-Type: application/json\r\nConnection: close\r\n"
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    connect(socket, &QIODevice::bytesWritten, socket, [idle, unanswered] {
        idle->start();
        *unanswered = 0;
    });
    connect(idle, &QTimer::timeout, socket, [socket, idle, reading] {
        // An upgraded socket has lost this watch's connections: it is a WebSocket now, leave it be.
        if (!reading) {
            idle->deleteLater();
            return;
        }
        socket->abort();
    });
    idle->start();
}
