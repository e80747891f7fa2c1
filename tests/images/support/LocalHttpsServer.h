#pragma once
// A small HTTPS server on 127.0.0.1 for the REST, session, image and update tests: it records every
// request, answers from a table of canned responses (or the test's responder for paths not in it),
// and can hold its answers back until told to release them (so that "simultaneous" requests really
// overlap, or a server that hangs).
#include "DevCertificates.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <QString>
#include <functional>

class LocalHttpsServer : public QObject
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
        using Headers = QList<std::pair<QByteArray, QByteArray>>;
        // `raw`: the body is sent as it is, without a status line or headers (a reply that is not HTTP).
        Response(int status = 200, QByteArray contentType = "application/octet-stream", QByteArray body = {}, Headers headers = {},
                 bool raw = false)
            : status(status), contentType(std::move(contentType)), body(std::move(body)), headers(std::move(headers)), raw(raw)
        {
        }
        int status;
        QByteArray contentType;
        QByteArray body;
        Headers headers; // beside the content type and length
        bool raw;
    };

    explicit LocalHttpsServer(QObject *parent = nullptr);

    // Listens on a free loopback port with the server certificate of `certificates`.
    bool start(const DevCertificates &certificates);
    // The same with fresh certificates whose CA this process trusts.
    bool startTrusted();
    QString baseURL() const; // "https://127.0.0.1:<port>"
    QString url(const QString &pathAndQuery) const { return baseURL() + pathAndQuery; }

    void setResponse(const QString &pathAndQuery, const Response &response);
    // Answers the paths that have no canned response; by default 404 with an HTML page.
    std::function<Response(const Request &)> responder;
    int requestCount(const QString &pathAndQuery) const;
    int totalRequests() const { return int(requests.size()); }
    QList<Request> requests; // in arrival order

    void setHolding(bool holding) { m_holding = holding; }
    int heldCount() const { return int(m_held.size()); }
    void releaseHeld();

private:
    struct Held
    {
        QPointer<QSslSocket> socket;
        Request request;
    };
    void onConnection();
    void onReadyRead(QSslSocket *socket);
    void answer(QSslSocket *socket, const Request &request);

    QHash<QString, Response> m_responses;
    QHash<QSslSocket *, QByteArray> m_buffers;
    QList<Held> m_held;
    bool m_holding = false;
    // Last, so it goes first: its sockets say "disconnected" as they are destroyed, and that handler
    // still needs the buffers.
    QSslServer m_server;
};
