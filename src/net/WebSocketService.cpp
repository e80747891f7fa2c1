#include "WebSocketService.h"

#include "AppLogger.h"
#include "Commands.h"
#include "SecureLogger.h"
#include "ServerConfig.h"

#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

namespace {

const QString logModule = QStringLiteral("WebSocket");

// Seconds as a decimal with at least one fractional digit: "2.0", "15.0", "0.05".
QString formatSeconds(double seconds)
{
    QString text = QString::number(seconds);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QStringLiteral(".0");
    return text;
}

QTimer *makeTimer(QObject *owner, std::chrono::milliseconds interval, bool singleShot)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(interval);
    timer->setSingleShot(singleShot);
    return timer;
}

} // namespace

WebSocketService &WebSocketService::shared()
{
    // Never destroyed: the chat and session states hold on to it for the whole process.
    static auto *instance = new WebSocketService;
    return *instance;
}

WebSocketService::WebSocketService(const WebSocketTiming &timing, QObject *parent)
    : QObject(parent)
    , m_timing(timing)
    , m_authTimer(makeTimer(this, timing.authDelay, true))
    , m_reconnectTimer(makeTimer(this, {}, true))
    , m_heartbeatTimer(makeTimer(this, timing.heartbeatInterval, false))
    , m_connectionCheckTimer(makeTimer(this, timing.connectionCheckInterval, false))
    , m_inbound(new InboundSequencer(*this, this))
{
    QObject::connect(m_authTimer, &QTimer::timeout, this, [this] {
        if (m_token)
            sendAuthentication();
        startHeartbeat();
    });
    QObject::connect(m_reconnectTimer, &QTimer::timeout, this, [this] {
        if (!m_isManualDisconnect && m_reconnectToken)
            connectToServer(*m_reconnectToken);
    });
    QObject::connect(m_heartbeatTimer, &QTimer::timeout, this, &WebSocketService::sendPing);
    QObject::connect(m_connectionCheckTimer, &QTimer::timeout, this, [this] {
        if (m_isManualDisconnect || m_isConnected || !m_token)
            return;
        AppLogger::shared().log(QStringLiteral("WS connection check: not connected, reconnecting..."));
        m_reconnectAttempts = 0;
        connectToServer(*m_token);
    });
}

WebSocketService::~WebSocketService()
{
    if (m_socket)
        m_socket->disconnect(this);
}

void WebSocketService::connectToServer(const QString &token)
{
    SecureLogger::shared().log(QStringLiteral("WebSocket connect, token length=%1").arg(token.size()), LogLevel::Debug,
                               logModule);
    m_reconnectAttempts = 0;
    if (m_socket)
        disconnectFromServer();
    m_isManualDisconnect = false;
    startConnectionCheck();
    m_token = token;
    m_lastToken = token;

    const QUrl url(ServerConfig::wsURL(), QUrl::StrictMode);
    if (!url.isValid()) {
        SecureLogger::shared().log(QStringLiteral("invalid wsURL"), LogLevel::Error, logModule);
        return;
    }

    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    m_authenticationSent = false;
    QObject::connect(m_socket, &QWebSocket::connected, this, [this] {
        setConnected(true);
        flushPending();
    });
    QObject::connect(m_socket, &QWebSocket::disconnected, this, &WebSocketService::handleDrop);
    QObject::connect(m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                     &WebSocketService::handleDrop);
    QObject::connect(m_socket, &QWebSocket::textMessageReceived, this, &WebSocketService::handleMessage);
    QObject::connect(m_socket, &QWebSocket::binaryMessageReceived, this, &WebSocketService::handleBinaryFrame);
    // Believed usable at once, before the handshake completes; a failure of the open runs the drop path.
    setConnected(true);
    m_socket->open(url);
    m_authTimer->start();
}

void WebSocketService::disconnectFromServer()
{
    SecureLogger::shared().log(QStringLiteral("WebSocket disconnect (manual)"), LogLevel::Debug, logModule);
    m_isManualDisconnect = true;
    m_reconnectTimer->stop();
    m_heartbeatTimer->stop();
    m_connectionCheckTimer->stop();
    // A pending authentication would otherwise restart the heartbeat after a manual disconnect.
    m_authTimer->stop();
    releaseSocket();
    // A snapshot still being decoded belongs to the closed connection (the previous account's, at sign-out).
    m_inbound->discard();
    setConnected(false);
    m_token.reset();
}

void WebSocketService::reconnectIfNeeded()
{
    if (m_isManualDisconnect || m_isConnected)
        return;
    const std::optional<QString> token = m_token ? m_token : m_lastToken;
    if (!token)
        return;
    SecureLogger::shared().log(QStringLiteral("foreground resume: reconnecting"), LogLevel::Info, logModule);
    m_reconnectAttempts = 0;
    connectToServer(*token);
}

void WebSocketService::handleMessage(const QString &text)
{
    m_inbound->push(text);
}

void WebSocketService::handleBinaryFrame(const QByteArray &frame)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(frame);
    if (decoder.hasError())
        return;
    handleMessage(text);
}

void WebSocketService::sendGlobal(const QString &content, const QStringList &images)
{
    send(Commands::global(content, images));
}

void WebSocketService::sendDM(const QString &to, const QString &content, const QStringList &images)
{
    send(Commands::dm(to, content, images));
}

void WebSocketService::sendGroup(const QString &gid, const QString &content, const QStringList &images)
{
    send(Commands::group(gid, content, images));
}

void WebSocketService::createGroup(const QString &name, const QStringList &members)
{
    send(Commands::createGroup(name, members));
}

void WebSocketService::respondRequest(const QString &requestId, const QString &action)
{
    send(Commands::respondRequest(requestId, action));
}

void WebSocketService::sendGroupApplyRespond(const QString &applyId, const QString &action)
{
    send(Commands::groupApplyRespond(applyId, action));
}

void WebSocketService::groupRename(const QString &gid, const QString &name)
{
    send(Commands::groupRename(gid, name));
}

void WebSocketService::groupRemoveMember(const QString &gid, const QString &userId)
{
    send(Commands::groupRemoveMember(gid, userId));
}

void WebSocketService::groupAddMembers(const QString &gid, const QStringList &members)
{
    send(Commands::groupAddMembers(gid, members));
}

void WebSocketService::momentComment(const QString &momentId, const QString &text)
{
    send(Commands::momentComment(momentId, text));
}

void WebSocketService::momentCommentDelete(const QString &momentId, const QString &commentId)
{
    send(Commands::momentCommentDelete(momentId, commentId));
}

void WebSocketService::send(const QJsonObject &command)
{
    if (!m_socket)
        return;
    // The server closes a connection whose first frame is not the authentication: anything handed
    // over before it waits behind it.
    if (!m_authenticationSent) {
        m_pending.append(Commands::toText(command));
        return;
    }
    sendText(Commands::toText(command));
}

void WebSocketService::sendAuthentication()
{
    m_authenticationSent = true;
    m_pending.prepend(Commands::toText(Commands::auth(*m_token)));
    flushPending();
}

void WebSocketService::sendText(const QString &text)
{
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        // QWebSocket refuses frames before the handshake; hold them until it opens, as a task would.
        m_pending.append(text);
        return;
    case QAbstractSocket::ConnectedState: {
        const qint64 size = text.toUtf8().size();
        if (m_socket->sendTextMessage(text) >= size)
            return;
        break;
    }
    default:
        break;
    }
    AppLogger::shared().log(QStringLiteral("WS send error: ") + m_socket->errorString());
}

void WebSocketService::flushPending()
{
    // Nothing goes before the authentication, even on a socket that opened before it was due.
    if (!m_authenticationSent)
        return;
    const QStringList pending = std::exchange(m_pending, {});
    for (const QString &text : pending)
        sendText(text);
}

void WebSocketService::sendPing()
{
    if (!m_socket)
        return;
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->ping();
    else
        AppLogger::shared().log(QStringLiteral("WS ping error: ") + m_socket->errorString());
}

void WebSocketService::startHeartbeat()
{
    m_heartbeatTimer->start();
}

void WebSocketService::stopHeartbeat()
{
    m_heartbeatTimer->stop();
}

void WebSocketService::startConnectionCheck()
{
    m_connectionCheckTimer->start();
}

void WebSocketService::scheduleReconnect()
{
    if (m_isManualDisconnect || !m_token)
        return;
    const int attempt = ++m_reconnectAttempts;
    const double delay = m_timing.reconnectDelaySeconds(attempt);
    AppLogger::shared().log(QStringLiteral("WS reconnect scheduled in %1s (attempt %2)")
                                .arg(formatSeconds(delay))
                                .arg(attempt));
    m_reconnectToken = m_token;
    m_reconnectTimer->start(std::chrono::milliseconds(qRound64(delay * 1000.0)));
}

// A socket error (the failed receive) or a close. A socket may report both for one drop; each
// report counts, so the second one reschedules with the next attempt's delay.
void WebSocketService::handleDrop()
{
    const QStringList unsent = std::exchange(m_pending, {});
    for (qsizetype i = 0; i < unsent.size(); ++i)
        AppLogger::shared().log(QStringLiteral("WS send error: ") + m_socket->errorString());
    setConnected(false);
    stopHeartbeat();
    scheduleReconnect();
    if (onDisconnect)
        onDisconnect();
}

void WebSocketService::releaseSocket()
{
    m_pending.clear();
    if (!m_socket)
        return;
    // Cut off first: the torn-down socket's own error and close must not reach the current state.
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void WebSocketService::setConnected(bool connected)
{
    if (m_isConnected == connected)
        return;
    m_isConnected = connected;
    Q_EMIT isConnectedChanged();
}
