#pragma once
// A minimal HTTPS server on a loopback port for REST tests: it records every request and answers
// each one with whatever the test's responder returns, then closes the connection.
#include "DevCertificates.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslServer>
#include <functional>

class HttpTestServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // path and query, as sent
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
    };
    struct Response
    {
        int status = 200;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        // Sent as it is, without a status line or headers (a reply that is not HTTP).
        bool raw = false;
    };

    explicit HttpTestServer(const DevCertificates &certificates, QObject *parent = nullptr);

    // Listens on 127.0.0.1; returns the port.
    quint16 listen();
    QString baseURL() const;

    std::function<Response(const Request &)> responder = [](const Request &) { return Response{200, "{}", {}, false}; };
    QList<Request> requests;
    // Requests are recorded but never answered: the connection stays open and silent.
    bool stalling = false;

private:
    void serve(QTcpSocket *socket);

    QSslServer m_server;
};
