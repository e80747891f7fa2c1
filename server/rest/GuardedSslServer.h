#pragma once
// The TLS listener behind the HTTP server, guarding what the HTTP server itself does not:
// - it runs the TLS handshakes itself, so a peer that never finishes one (a port scan, plain HTTP)
//   cannot use up the pending-connection slots and stop accepting for good;
// - it caps open connections per address and in total; a connection over a cap is answered 503;
// - it buffers a whole request body before any route sees it, so a body larger than its route takes
//   (by Content-Length, or by what arrives) is answered 413 and closed instead of filling memory;
// - the handshake, and each request from its first byte to its end, must finish within their
//   deadlines, and a connection idle for the idle timeout is closed: trickling bytes keeps nothing open.
// WebSocket connections leave this watch once upgraded (the HTTP server drops every connection to
// the socket's signals then); their frame limits and the hub take over. They still count for the caps.
#include "core/Limits.h"

#include <QList>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <functional>

class GuardedSslServer : public QSslServer
{
    Q_OBJECT
public:
    // `bodyLimit` gives the largest body a request path takes.
    GuardedSslServer(const Limits &limits, std::function<qint64(const QByteArray &path)> bodyLimit, QObject *parent = nullptr);

    // The accepted TLS socket with this peer endpoint: the transport under an upgraded WebSocket.
    QSslSocket *transportFor(const QHostAddress &peer, quint16 peerPort) const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // Why a new connection from this address is refused ("" when it is welcome).
    QString refusalFor(const QHostAddress &peer);
    void watch(QSslSocket *socket);
    // Answers with a JSON error and closes, after reading and dropping `discard` more bytes.
    static void answerAndClose(QSslSocket *socket, const QByteArray &status, const QString &error, qint64 discard);

    const Limits &m_limits;
    std::function<qint64(const QByteArray &path)> m_bodyLimit;
    QList<QPointer<QSslSocket>> m_sockets;
};
