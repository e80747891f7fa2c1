#include "WebSocketTestServer.h"

#include <QSslConfiguration>

WebSocketTestServer::WebSocketTestServer(const DevCertificates &certificates, QObject *parent)
    : QObject(parent), m_server(QStringLiteral("test"), QWebSocketServer::SecureMode)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificates.serverCertificate);
    configuration.setPrivateKey(certificates.serverKey);
    m_server.setSslConfiguration(configuration);
    connect(&m_server, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket *client = m_server.nextPendingConnection()) {
            ++m_connectionCount;
            client->setParent(this);
            m_clients.append(client);
            connect(client, &QWebSocket::textMessageReceived, this, [this](const QString &text) { received.append(text); });
            connect(client, &QWebSocket::disconnected, this, [this, client] {
                client->deleteLater();
                Q_EMIT clientDisconnected();
            });
        }
    });
}

quint16 WebSocketTestServer::listen()
{
    m_server.listen(QHostAddress::LocalHost, m_port);
    m_port = m_server.serverPort();
    return m_port;
}

QString WebSocketTestServer::baseURL() const
{
    return QStringLiteral("https://127.0.0.1:%1").arg(m_port);
}

void WebSocketTestServer::refuse()
{
    m_server.close();
}

QWebSocket *WebSocketTestServer::newest() const
{
    for (auto it = m_clients.rbegin(); it != m_clients.rend(); ++it) {
        if (*it && (*it)->state() == QAbstractSocket::ConnectedState)
            return *it;
    }
    return nullptr;
}

void WebSocketTestServer::sendText(const QString &text)
{
    if (QWebSocket *client = newest())
        client->sendTextMessage(text);
}

void WebSocketTestServer::sendBinary(const QByteArray &data)
{
    if (QWebSocket *client = newest())
        client->sendBinaryMessage(data);
}

void WebSocketTestServer::closeNewest()
{
    if (QWebSocket *client = newest())
        client->close();
}

void WebSocketTestServer::dropNewest()
{
    if (QWebSocket *client = newest())
        client->abort();
}
