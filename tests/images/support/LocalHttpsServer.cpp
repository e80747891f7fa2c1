#include "LocalHttpsServer.h"

#include "TlsTrust.h"

#include <QDebug>
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

bool LocalHttpsServer::startTrusted()
{
    Result<DevCertificates> certificates = DevCertificates::generate();
    if (!certificates.ok()) {
        qWarning() << certificates.error();
        return false;
    }
    TlsTrust::addCaCertificates({certificates->caCertificate});
    return start(certificates.value());
}

QString LocalHttpsServer::baseURL() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort());
}

void LocalHttpsServer::setResponse(const QString &pathAndQuery, const Response &response)
{
    m_responses.insert(pathAndQuery, response);
}

int LocalHttpsServer::requestCount(const QString &pathAndQuery) const
{
    const QByteArray target = pathAndQuery.toUtf8();
    return int(std::count_if(requests.cbegin(), requests.cend(), [&](const Request &r) { return r.target == target; }));
}

void LocalHttpsServer::releaseHeld()
{
    const QList<Held> held = std::exchange(m_held, {});
    for (const Held &request : held) {
        if (request.socket)
            answer(request.socket, request.request);
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
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' '); // "GET /path?query HTTP/1.1"
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    requests.append(request);
    if (m_holding)
        m_held.append(Held{socket, request});
    else
        answer(socket, request);
}

void LocalHttpsServer::answer(QSslSocket *socket, const Request &request)
{
    const auto canned = m_responses.constFind(QString::fromUtf8(request.target));
    const Response response = canned != m_responses.cend() ? *canned
        : responder                                         ? responder(request)
                                                            : Response{404, "text/html", "<html><body><h1>404 Not Found</h1></body></html>"};
    QByteArray reply = response.body;
    if (!response.raw) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        head += "Content-Type: " + response.contentType + "\r\nContent-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        for (const auto &[name, value] : response.headers)
            head += name + ": " + value + "\r\n";
        reply.prepend(head + "Connection: close\r\n\r\n");
    }
    socket->write(reply);
    socket->disconnectFromHost(); // after the written bytes have gone out
}
