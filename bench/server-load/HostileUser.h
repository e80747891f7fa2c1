#pragma once
// One user who floods as fast as the server allows: comments on their own post over the WebSocket at
// the command rate, and moments with one large image at the upload rate. A friend of every benchmark
// client, so that each accepted change fans a feed out to all of them.
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

class HostileUser : public QObject
{
    Q_OBJECT
public:
    HostileUser(const QUrl &baseUrl, const QString &token, QObject *parent = nullptr);

    // Signs in, posts a first moment, then floods until stop().
    void start(double commandsPerSecond, double uploadsPerSecond);
    void stop();
    int commentsSent() const { return m_comments; }
    int uploadsSent() const { return m_uploads; }
    int uploadsAccepted() const { return m_accepted; }

private:
    void postMoment();

    QUrl m_base;
    QString m_token;
    QByteArray m_image; // Base64 of a PNG near the pixel cap
    QWebSocket m_socket;
    QNetworkAccessManager m_network;
    QTimer m_commentTimer;
    QTimer m_uploadTimer;
    QString m_moment;
    int m_comments = 0;
    int m_uploads = 0;
    int m_accepted = 0;
};
