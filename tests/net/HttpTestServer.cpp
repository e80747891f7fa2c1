#include "HttpTestServer.h"

#include <QSslConfiguration>
#include <QSslSocket>

HttpTestServer::HttpTestServer(const DevCertificates &certificates, QObject *parent) : QObject(parent)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.serverCertificate);
    configuration.setPrivateKey(certificates.serverKey);
    m_server.setSslConfiguration(configuration);
    connect(&m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection())
            serve(socket);
    });
}

quint16 HttpTestServer::listen()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    return m_server.serverPort();
}

QString HttpTestServer::baseURL() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_server.serverPort());
}

void HttpTestServer::serve(QTcpSocket *socket)
{
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        const qsizetype headerEnd = buffer->indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer->left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
        }
        const qsizetype length = request.headers.value("content-length", "0").toLongLong();
        if (buffer->size() < headerEnd + 4 + length)
            return;
        request.body = buffer->mid(headerEnd + 4, length);
        buffer->clear();
        requests.append(request);
        if (stalling)
            return;

        const Response response = responder(request);
        QByteArray answer;
        if (response.raw) {
            answer = response.body;
        } else {
            answer = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\nContent-Length: "
                     + QByteArray::number(response.body.size()) + "\r\nConnection: close\r\n";
            for (const auto &[name, value] : response.headers)
                answer += name + ": " + value + "\r\n";
            answer += "\r\n" + response.body;
        }
        socket->write(answer);
        socket->disconnectFromHost();
    });
}
