#pragma once
// A WebSocket server over TLS on a loopback port for connection tests. It records every text frame
// a client sends and can send text and binary frames, close with a close frame, drop the TCP
// connection without one, and refuse connections (stop listening) and accept them again.
#include "DevCertificates.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWebSocket>
#include <QWebSocketServer>

class WebSocketTestServer : public QObject
{
    Q_OBJECT

public:
    explicit WebSocketTestServer(const DevCertificates &certificates, QObject *parent = nullptr);

    quint16 listen();
    // "https://127.0.0.1:PORT", the base URL a client is configured with.
    QString baseURL() const;
    // Closes the listening socket: new connections are refused until listen() is called again.
    void refuse();

    int connectionCount() const { return m_connectionCount; }
    // Text frames from every client, in arrival order.
    QStringList received;

    // Frames and endings for the newest client.
    void sendText(const QString &text);
    void sendBinary(const QByteArray &data);
    void closeNewest();
    void dropNewest();

Q_SIGNALS:
    void clientDisconnected();

private:
    QWebSocket *newest() const;

    QWebSocketServer m_server;
    quint16 m_port = 0;
    int m_connectionCount = 0;
    QList<QPointer<QWebSocket>> m_clients;
};
