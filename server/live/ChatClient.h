#pragma once
// One WebSocket connection: its socket and who signed in on it (once the "auth" frame was accepted).
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QSslSocket;
class QWebSocket;

class ChatClient : public QObject
{
    Q_OBJECT
public:
    ChatClient(std::unique_ptr<QWebSocket> socket, QSslSocket *transport, QObject *parent = nullptr);
    ~ChatClient() override;

    QWebSocket *socket() const { return m_socket.get(); }
    bool isAuthenticated() const { return !m_userId.isEmpty(); }
    QString userId() const { return m_userId; }
    QString tokenHash() const { return m_tokenHash; }
    void signIn(const QString &userId, const QString &tokenHash);

    // Output not yet handed to the operating system, encrypted or not.
    qint64 queuedBytes() const;
    void sendText(const QString &text);
    // Sends the frame (if any) and closes the connection.
    void closeWith(const QString &finalFrame);

private:
    std::unique_ptr<QWebSocket> m_socket;
    // The TLS socket under the WebSocket: only it knows how much encrypted output waits.
    QPointer<QSslSocket> m_transport;
    QString m_userId;
    QString m_tokenHash;
};
