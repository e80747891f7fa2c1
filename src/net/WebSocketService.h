#pragma once
// The one live channel to the chat server: a QWebSocket on the main thread, authenticated by a
// first frame carrying the session token, kept alive with pings and reconnected on its own until
// disconnectFromServer() is called. Inbound text frames go through handleMessage() to the
// InboundCallbacks slots (installed by the chat state) in arrival order, a large snapshot decoded
// off the main thread (see InboundSequencer); outbound commands leave as text frames.
//
// Naming: connect/disconnect would clash with QObject::connect/disconnect, so the two operations
// are connectToServer(token) and disconnectFromServer().
//
// Everything here but that decode runs on the main thread. Timers are children of the service, so nothing fires
// once it is gone. A socket torn down by disconnectFromServer() (also the one replaced inside
// connectToServer()) is cut off from the service before it is aborted: its own late errors or
// close never run the drop path against the connection that replaced it.
#include "InboundCallbacks.h"
#include "InboundSequencer.h"
#include "WebSocketTiming.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QList>
#include <functional>
#include <optional>

class QTimer;
class QWebSocket;

class WebSocketService : public QObject, public InboundCallbacks
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)

public:
    static WebSocketService &shared();

    explicit WebSocketService(const WebSocketTiming &timing = {}, QObject *parent = nullptr);
    ~WebSocketService() override;

    // Raised when an open connection drops (a socket error or a close); not by disconnectFromServer().
    std::function<void()> onDisconnect;

    // Opens (or reopens) the connection with a session token; isConnected turns true at once.
    Q_INVOKABLE void connectToServer(const QString &token);
    // Closes at the caller's request; stops every timer and every automatic reconnect.
    Q_INVOKABLE void disconnectFromServer();
    // On return to the foreground: reconnects with the current or last token unless connected or
    // manually disconnected.
    Q_INVOKABLE void reconnectIfNeeded();

    bool isConnected() const { return m_isConnected; }
    const WebSocketTiming &timing() const { return m_timing; }

    // Dispatches one inbound frame's text to the matching slot, after every frame that arrived
    // before it; malformed frames are dropped.
    void handleMessage(const QString &text);
    // The order in which inbound frames reach the slots; the frames of a connection closed by
    // disconnectFromServer() that are still waiting are dropped.
    InboundSequencer &inbound() { return *m_inbound; }

    // Outbound commands. Without a socket they are dropped silently; they do not look at isConnected.
    Q_INVOKABLE void sendGlobal(const QString &content, const QStringList &images = {});
    Q_INVOKABLE void sendDM(const QString &to, const QString &content, const QStringList &images = {});
    Q_INVOKABLE void sendGroup(const QString &gid, const QString &content, const QStringList &images = {});
    Q_INVOKABLE void createGroup(const QString &name, const QStringList &members);
    Q_INVOKABLE void respondRequest(const QString &requestId, const QString &action);
    Q_INVOKABLE void sendGroupApplyRespond(const QString &applyId, const QString &action);
    Q_INVOKABLE void groupRename(const QString &gid, const QString &name);
    Q_INVOKABLE void groupRemoveMember(const QString &gid, const QString &userId);
    Q_INVOKABLE void groupAddMembers(const QString &gid, const QStringList &members);
    Q_INVOKABLE void momentComment(const QString &momentId, const QString &text);
    Q_INVOKABLE void momentCommentDelete(const QString &momentId, const QString &commentId);
    // Any command composed elsewhere (see Commands for the builders); "type" must be set by the caller.
    Q_INVOKABLE void send(const QJsonObject &command);

Q_SIGNALS:
    void isConnectedChanged();

private:
    void setConnected(bool connected);
    void startConnectionCheck();
    void startHeartbeat();
    void stopHeartbeat();
    void scheduleReconnect();
    void sendAuthentication();
    void sendPing();
    void sendText(const QString &text);
    void flushPending();
    void handleDrop();
    void handleBinaryFrame(const QByteArray &frame);
    void releaseSocket();

    WebSocketTiming m_timing;
    QWebSocket *m_socket = nullptr;
    bool m_isConnected = false;
    std::optional<QString> m_token;
    std::optional<QString> m_lastToken;
    std::optional<QString> m_reconnectToken;
    int m_reconnectAttempts = 0;
    bool m_isManualDisconnect = false;
    // Frames handed over while the socket is still opening or before the authentication is due; sent
    // in order, the authentication first, once both the socket is open and the authentication is sent.
    QStringList m_pending;
    bool m_authenticationSent = false;
    QTimer *m_authTimer;
    QTimer *m_reconnectTimer;
    QTimer *m_heartbeatTimer;
    QTimer *m_connectionCheckTimer;
    InboundSequencer *m_inbound;
};
