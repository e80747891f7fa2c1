#include "ChatClient.h"

#include <QSslSocket>
#include <QWebSocket>

#include <algorithm>

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

bool ChatClient::takeCommand(qint64 nowMs, int burst, int perSecond)
{
    if (m_allowance < 0) {
        m_allowance = burst;
        m_lastRefillMs = nowMs;
    }
    const qint64 elapsed = std::max<qint64>(0, nowMs - m_lastRefillMs);
    m_allowance = std::min<double>(burst, m_allowance + elapsed * perSecond / 1000.0);
    m_lastRefillMs = nowMs;
    if (m_allowance < 1)
        return false;
    m_allowance -= 1;
    return true;
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
