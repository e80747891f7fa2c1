#pragma once
// A small HTTPS server on 127.0.0.1 for the image and update tests: it answers GET requests from a
// table of canned responses, counts the requests per path, and can hold its answers back until told
// to release them (so that "simultaneous" requests really overlap).
#include "DevCertificates.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <QString>

class LocalHttpsServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;
    };

    explicit LocalHttpsServer(QObject *parent = nullptr);

    // Listens on a free loopback port with the server certificate of `certificates`.
    bool start(const DevCertificates &certificates);
    QString baseURL() const; // "https://127.0.0.1:<port>"
    QString url(const QString &pathAndQuery) const { return baseURL() + pathAndQuery; }

    // Unknown paths answer 404 with an HTML page.
    void setResponse(const QString &pathAndQuery, const Response &response);
    int requestCount(const QString &pathAndQuery) const { return m_requests.value(pathAndQuery); }
    int totalRequests() const;

    void setHolding(bool holding) { m_holding = holding; }
    int heldCount() const { return int(m_held.size()); }
    void releaseHeld();

Q_SIGNALS:
    void requestReceived(const QString &pathAndQuery);

private:
    struct Held
    {
        QPointer<QSslSocket> socket;
        QString path;
    };
    void onConnection();
    void onReadyRead(QSslSocket *socket);
    void answer(QSslSocket *socket, const QString &path);

    QSslServer m_server;
    QHash<QString, Response> m_responses;
    QHash<QString, int> m_requests;
    QHash<QSslSocket *, QByteArray> m_buffers;
    QList<Held> m_held;
    bool m_holding = false;
};
