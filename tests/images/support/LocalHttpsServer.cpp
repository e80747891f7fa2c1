#include "LocalHttpsServer.h"

#include <QSslConfiguration>

LocalHttpsServer::LocalHttpsServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this, &LocalHttpsServer::onConnection);
}

bool LocalHttpsServer::start(const DevCertificates &certificates)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.serverCertificate);
    configuration.setPrivateKey(certificates.serverKey);
    m_server.setSslConfiguration(configuration);
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString LocalHttpsServer::baseURL() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort());
}

void LocalHttpsServer::setResponse(const QString &pathAndQuery, const Response &response)
{
    m_responses.insert(pathAndQuery, response);
}

int LocalHttpsServer::totalRequests() const
{
    int total = 0;
    for (int count : m_requests)
        total += count;
    return total;
}

void LocalHttpsServer::releaseHeld()
{
    const QList<Held> held = std::exchange(m_held, {});
    for (const Held &request : held) {
        if (request.socket)
            answer(request.socket, request.path);
    }
}

void LocalHttpsServer::onConnection()
{
    while (m_server.hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_server.nextPendingConnection());
        if (!socket)
            continue;
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void LocalHttpsServer::onReadyRead(QSslSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    // "GET /path?query HTTP/1.1"; bodies are never sent to this server.
    const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
    buffer.remove(0, end + 4);
    const QString path = requestLine.size() >= 2 ? QString::fromUtf8(requestLine.at(1)) : QString();
    ++m_requests[path];
    Q_EMIT requestReceived(path);
    if (m_holding)
        m_held.append(Held{socket, path});
    else
        answer(socket, path);
}

void LocalHttpsServer::answer(QSslSocket *socket, const QString &path)
{
    const Response response = m_responses.value(
        path, Response{404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>"});
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head + response.body);
    socket->disconnectFromHost(); // after the written bytes have gone out
}
