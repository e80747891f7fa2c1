#include "live/ChatClient.h"

#include <QSslSocket>
#include <QWebSocket>

ChatClient::ChatClient(std::unique_ptr<QWebSocket> socket, QSslSocket *transport, QObject *parent)
    : QObject(parent), m_socket(std::move(socket)), m_transport(transport)
{
}

qint64 ChatClient::queuedBytes() const
{
    if (m_transport)
        return m_transport->bytesToWrite() + m_transport->encryptedBytesToWrite();
    return m_socket ? m_socket->bytesToWrite() : 0;
}

ChatClient::~ChatClient()
{
    if (m_socket)
        m_socket->disconnect(); // no signals from a socket whose client is going away
}

void ChatClient::signIn(const QString &userId, const QString &tokenHash)
{
    m_userId = userId;
    m_tokenHash = tokenHash;
}

void ChatClient::sendText(const QString &text)
{
    if (m_socket && m_socket->isValid())
        m_socket->sendTextMessage(text);
}

void ChatClient::closeWith(const QString &finalFrame)
{
    if (!finalFrame.isEmpty())
        sendText(finalFrame);
    if (m_socket)
        m_socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
}
