#include "rest/GuardedSslServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {
constexpr qsizetype MaxHeadBytes = 16 * 1024;

// What this watch has seen of the request being received.
struct Request
{
    QByteArray head;       // up to its blank line
    qint64 allowed = -1;   // head plus the largest body the route takes, once the head is complete
    qint64 received = 0;   // bytes since the last answer
    bool refused = false;  // answered early: only the deadline ends the connection now
};

QByteArray pathOf(const QByteArray &head)
{
    const QByteArray target = head.left(head.indexOf("\r\n")).split(' ').value(1);
    const qsizetype query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

qint64 contentLengthOf(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("content-length", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed().toLongLong();
    }
    return 0;
}
} // namespace

GuardedSslServer::GuardedSslServer(const Limits &limits, std::function<qint64(const QByteArray &)> bodyLimit, QObject *parent)
    : QSslServer(parent), m_limits(limits), m_bodyLimit(std::move(bodyLimit))
{
    setMaxPendingConnections(limits.pendingConnections);
    setListenBacklogSize(limits.pendingConnections);
}

QSslSocket *GuardedSslServer::transportFor(const QHostAddress &peer, quint16 peerPort) const
{
    for (const QPointer<QSslSocket> &socket : m_sockets)
        if (socket && socket->peerPort() == peerPort && socket->peerAddress() == peer)
            return socket;
    return nullptr;
}

QString GuardedSslServer::refusalFor(const QHostAddress &peer)
{
    m_sockets.removeIf([](const QPointer<QSslSocket> &known) {
        return known.isNull() || known->state() == QAbstractSocket::UnconnectedState;
    });
    if (m_sockets.size() >= m_limits.maxConnections)
        return QStringLiteral("服务器繁忙，请稍后再试");
    const auto fromPeer = std::count_if(m_sockets.cbegin(), m_sockets.cend(),
                                        [&peer](const QPointer<QSslSocket> &known) { return known->peerAddress() == peer; });
    if (fromPeer >= m_limits.connectionsPerAddress)
        return QStringLiteral("连接太多，请稍后再试");
    return {};
}

void GuardedSslServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    const QString refusal = refusalFor(socket->peerAddress());
    // Refused connections count too, until they are closed, so refusing stays cheap.
    m_sockets << socket;
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket, [socket] {
        if (!socket->isEncrypted())
            socket->deleteLater(); // a failed handshake: nobody else knows this socket
    });
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, socket, [socket] {
        if (!socket->isEncrypted())
            socket->abort();
    });
    deadline->start(m_limits.handshakeTimeoutMs);
    connect(socket, &QSslSocket::encrypted, this, [this, socket, deadline, refusal] {
        deadline->deleteLater();
        socket->disconnect(this);
        if (!refusal.isEmpty())
            return answerAndClose(socket, "503 Service Unavailable", refusal, 0);
        watch(socket);
        addPendingConnection(socket);
        emit newConnection();
    });
    socket->setSslConfiguration(sslConfiguration());
    socket->startServerEncryption();
}

void GuardedSslServer::answerAndClose(QSslSocket *socket, const QByteArray &status, const QString &error, qint64 discard)
{
    disconnect(socket, &QIODevice::readyRead, nullptr, nullptr);
    socket->setReadBufferSize(64 * 1024);
    const QByteArray body = QJsonDocument(QJsonObject{{QStringLiteral("error"), error}}).toJson(QJsonDocument::Compact);
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    if (discard <= 0)
        return socket->disconnectFromHost();
    // Closing with unread input would reset the connection before the client reads the answer, so the
    // announced body is read and thrown away first (the deadline still runs).
    auto left = std::make_shared<qint64>(discard);
    connect(socket, &QIODevice::readyRead, socket, [socket, left] {
        *left -= socket->skip(socket->bytesAvailable());
        if (*left <= 0)
            socket->disconnectFromHost();
    });
}

void GuardedSslServer::watch(QSslSocket *socket)
{
    auto request = std::make_shared<Request>();
    auto *timer = new QTimer(socket);
    timer->setSingleShot(true);
    // Connected before the HTTP server's own slot, so it sees each chunk before it is buffered.
    const QMetaObject::Connection reading = connect(socket, &QIODevice::readyRead, socket, [this, socket, timer, request] {
        const QByteArray chunk = socket->peek(socket->bytesAvailable());
        if (request->received == 0)
            timer->start(m_limits.requestDeadlineMs); // a request begins: more bytes do not extend its time
        request->received += chunk.size();
        const auto refuse = [&](const QByteArray &status, qint64 discard) {
            request->refused = true;
            answerAndClose(socket, status, QStringLiteral("请求内容太大"), discard);
        };
        if (request->allowed < 0) {
            request->head += chunk.left(MaxHeadBytes - request->head.size());
            const qsizetype end = request->head.indexOf("\r\n\r\n");
            if (end < 0 && request->head.size() >= MaxHeadBytes)
                return refuse("431 Request Header Fields Too Large", 0);
            if (end >= 0) {
                request->head.truncate(end + 4);
                const qint64 bodyLimit = m_bodyLimit(pathOf(request->head));
                const qint64 announced = contentLengthOf(request->head);
                if (announced > bodyLimit)
                    return refuse("413 Payload Too Large", request->head.size() + announced - (request->received - chunk.size()));
                request->allowed = request->head.size() + bodyLimit;
            }
        }
        if (request->allowed >= 0 && request->received > request->allowed)
            refuse("413 Payload Too Large", 0);
    });
    connect(socket, &QIODevice::bytesWritten, socket, [this, timer, request] {
        if (request->refused)
            return;
        *request = Request();
        timer->start(m_limits.httpIdleTimeoutMs);
    });
    connect(timer, &QTimer::timeout, socket, [socket, timer, reading, request] {
        // An upgraded socket has lost this watch's connections: it is a WebSocket now, leave it be.
        if (!reading && !request->refused) {
            timer->deleteLater();
            return;
        }
        socket->abort();
    });
    timer->start(m_limits.httpIdleTimeoutMs);
}
