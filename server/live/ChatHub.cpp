#include "live/ChatHub.h"

#include "accounts/AccountService.h"
#include "live/ChatClient.h"
#include "core/Clock.h"
#include "storage/HallSettings.h"
#include "core/Limits.h"
#include "accounts/SecureRandom.h"
#include "live/WireEvents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebSocket>
#include <algorithm>
#include <utility>

ChatHub::ChatHub(AccountService &accounts, HallSettings &hall, const Clock &clock, const Limits &limits,
                 QObject *parent)
    : QObject(parent), m_accounts(accounts), m_hall(hall), m_limits(limits),
      m_commandAllowance(clock, limits.commandBurst, limits.commandsPerSecond)
{
    m_presenceTimer.setSingleShot(true);
    connect(&m_presenceTimer, &QTimer::timeout, this, &ChatHub::sendPresence);
}

ChatHub::~ChatHub()
{
    for (ChatClient *client : std::as_const(m_clients))
        delete client;
}

void ChatHub::adopt(std::unique_ptr<QWebSocket> socket, QSslSocket *transport)
{
    socket->setMaxAllowedIncomingFrameSize(quint64(m_limits.maxFrameBytes));
    socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxFrameBytes));
    QWebSocket *raw = socket.get();
    auto *client = new ChatClient(std::move(socket), transport);
    m_clients << client;
    connect(raw, &QWebSocket::textMessageReceived, client, [this, client](const QString &text) { onText(client, text); });
    connect(raw, &QWebSocket::binaryMessageReceived, client, [client](const QByteArray &) {
        client->closeWith(WireEvents::text(WireEvents::error(QStringLiteral("不支持的消息格式"))));
    });
    connect(raw, &QWebSocket::disconnected, client, [this, client] { drop(client); });
    QTimer::singleShot(m_limits.authTimeoutMs, client, [client] {
        if (!client->isAuthenticated())
            client->closeWith(WireEvents::text(WireEvents::error(QStringLiteral("认证超时，请重新连接"))));
    });
}

void ChatHub::drop(ChatClient *client)
{
    if (!m_clients.removeOne(client))
        return;
    if (client->isAuthenticated()) {
        QList<ChatClient *> &connections = m_byUser[client->userId()];
        connections.removeOne(client);
        if (connections.isEmpty()) {
            m_byUser.remove(client->userId());
            m_onlineOrder.removeOne(client->userId());
            changePresence(client->userId(), false);
        }
    }
    client->deleteLater();
}

void ChatHub::onText(ChatClient *client, const QString &text)
{
    // Malformed frames cost a command too: they are work for the server all the same.
    if (client->isAuthenticated() && !m_commandAllowance.take(client->userId())) {
        send(*client, WireEvents::error(QStringLiteral("操作太频繁，请稍后再试")));
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    const QJsonObject frame = document.object();
    const QString type = frame.value(QStringLiteral("type")).toString();
    if (parseError.error != QJsonParseError::NoError || !document.isObject() || type.isEmpty()) {
        const QJsonObject refusal = WireEvents::error(QStringLiteral("消息格式错误"));
        // A connection that has not signed in gets no second chance.
        if (!client->isAuthenticated())
            return client->closeWith(WireEvents::text(refusal));
        send(*client, refusal);
        return;
    }
    if (!client->isAuthenticated()) {
        authenticate(*client, frame);
        return;
    }
    const auto handler = m_commands.constFind(type);
    if (handler == m_commands.constEnd()) {
        send(*client, WireEvents::error(QStringLiteral("不支持的操作")));
        return;
    }
    asOneChange([&] { (*handler)(*client, frame); }, client);
}

bool ChatHub::asOneChange(const std::function<void()> &work, ChatClient *requester)
{
    if (!m_bus || m_held) {
        work();
        return true;
    }
    m_held.emplace();
    const bool begun = m_bus->begin();
    if (begun)
        work();
    const QList<Held> held = *std::exchange(m_held, std::nullopt);
    // The event rows go last, so that the lock that orders them is held only from there to the commit.
    for (const Held &item : held) {
        if (begun && !item.client)
            m_bus->publish(item.kind, item.targets, item.event);
    }
    if (begun && m_bus->commit()) {
        for (const Held &item : held) {
            if (item.client)
                send(*item.client, item.event);
            else
                deliverHere(item.kind, item.targets, item.event);
        }
        return true;
    }
    // Neither the change nor its events took place: the requester hears the reason it was given, if
    // any, and nothing else.
    for (const Held &item : held) {
        if (item.client && item.event.value(QStringLiteral("type")) == QLatin1String("error")) {
            send(*item.client, item.event);
            return false;
        }
    }
    if (requester)
        send(*requester, WireEvents::error(QStringLiteral("操作失败，请重试")));
    return false;
}

void ChatHub::authenticate(ChatClient &client, const QJsonObject &frame)
{
    if (frame.value(QStringLiteral("type")).toString() != QLatin1String("auth")) {
        client.closeWith(WireEvents::text(WireEvents::error(QStringLiteral("请先登录"))));
        return;
    }
    const QString token = frame.value(QStringLiteral("token")).toString();
    const std::optional<StoredUser> user = m_accounts.authenticate(token);
    if (!user) {
        // "kicked" makes the client sign out; a retry with the same token could never succeed.
        client.closeWith(WireEvents::text({{QStringLiteral("type"), QStringLiteral("kicked")},
                                           {QStringLiteral("error"), QStringLiteral("登录已失效，请重新登录")}}));
        return;
    }
    const QString userId = user->user.id;
    const int maxOnline = m_hall.maxOnline(); // 0: no limit
    if (!user->isAdmin() && maxOnline > 0 && !isOnline(userId) && onlineUsers().size() >= maxOnline) {
        client.closeWith(WireEvents::text(WireEvents::error(QStringLiteral("在线人数已达上限，请稍后再试"))));
        return;
    }
    if (m_byUser.value(userId).size() >= m_limits.connectionsPerUser) {
        client.closeWith(WireEvents::text(WireEvents::error(QStringLiteral("同时在线的连接太多，请关闭其他设备后再试"))));
        return;
    }
    if (!m_byUser.contains(userId)) {
        if (!changePresence(userId, true)) {
            client.closeWith(WireEvents::text(WireEvents::error(QStringLiteral("操作失败，请重试"))));
            return;
        }
        m_onlineOrder << userId;
    }
    client.signIn(userId, SecureRandom::tokenHash(token));
    m_byUser[userId] << &client;
    if (m_hello)
        send(client, m_hello(*user));
    // The new connection learns who is online at once; the others, at the next broadcast.
    send(client, presenceEvent());
}

void ChatHub::sendText(ChatClient &client, const QString &text)
{
    QWebSocket *socket = client.socket();
    if (!socket || !socket->isValid())
        return;
    // A reader that stopped reading would otherwise make the server buffer without bound.
    if (client.queuedBytes() > m_limits.maxQueuedBytesPerSocket) {
        socket->abort();
        return;
    }
    client.sendText(text);
}

void ChatHub::send(ChatClient &client, const QJsonObject &event)
{
    if (m_held)
        return m_held->append({&client, SiteBus::Kind::Users, {}, event});
    sendText(client, WireEvents::text(event));
}

void ChatHub::sendToUser(const QString &userId, const QJsonObject &event)
{
    sendToUsers({userId}, event);
}

void ChatHub::sendToUsers(const QStringList &userIds, const QJsonObject &event)
{
    deliver(SiteBus::Kind::Users, userIds, event);
}

void ChatHub::broadcast(const QJsonObject &event)
{
    deliver(SiteBus::Kind::Everyone, {}, event);
}

void ChatHub::closeUser(const QString &userId, const QJsonObject &event)
{
    deliver(SiteBus::Kind::CloseUsers, {userId}, event);
}

void ChatHub::closeSessions(const QStringList &tokenHashes, const QJsonObject &event)
{
    deliver(SiteBus::Kind::CloseSessions, tokenHashes, event);
}

void ChatHub::announceFeedChange(const QString &authorId)
{
    deliver(SiteBus::Kind::Feeds, {authorId}, {});
}

void ChatHub::sendHere(const QString &userId, const QJsonObject &event)
{
    deliverHere(SiteBus::Kind::Users, {userId}, event);
}

void ChatHub::setSite(SiteBus *bus, SitePresence *presence)
{
    m_bus = bus;
    m_presence = presence;
    connect(bus, &SiteBus::received, this, &ChatHub::deliverHere);
    connect(presence, &SitePresence::dropped, this, &ChatHub::announceOnlineChange);
}

bool ChatHub::isOnline(const QString &userId) const
{
    return m_presence ? m_presence->isOnline(userId) : m_byUser.contains(userId);
}

QStringList ChatHub::onlineUsers() const
{
    return m_presence ? m_presence->onlineUsers() : m_onlineOrder;
}

bool ChatHub::changePresence(const QString &userId, bool arrived)
{
    const bool committed = asOneChange([&] {
        if (m_presence)
            arrived ? m_presence->arrived(userId) : m_presence->left(userId);
        announceOnlineChange();
    });
    if (!committed && arrived && m_presence)
        m_presence->left(userId); // not here after all
    return committed;
}

void ChatHub::announceOnlineChange()
{
    deliver(SiteBus::Kind::Presence, {}, {});
}

void ChatHub::deliver(SiteBus::Kind kind, const QStringList &targets, const QJsonObject &event)
{
    if (m_held)
        return m_held->append({nullptr, kind, targets, event});
    deliverHere(kind, targets, event);
    if (m_bus)
        m_bus->publish(kind, targets, event);
}

void ChatHub::deliverHere(SiteBus::Kind kind, const QStringList &targets, const QJsonObject &event)
{
    if (kind == SiteBus::Kind::Presence)
        return schedulePresence();
    if (kind == SiteBus::Kind::Feeds) {
        emit feedsDue(targets);
        return;
    }
    const bool closing = kind == SiteBus::Kind::CloseUsers || kind == SiteBus::Kind::CloseSessions;
    const QString text = closing && event.isEmpty() ? QString() : WireEvents::text(event);
    if (kind == SiteBus::Kind::Everyone) {
        sendToEveryoneHere(text);
        return;
    }
    if (kind == SiteBus::Kind::CloseSessions) {
        // A copy: closing a connection removes it from m_clients on the spot.
        for (ChatClient *client : QList<ChatClient *>(m_clients)) {
            if (client->isAuthenticated() && targets.contains(client->tokenHash()))
                client->closeWith(text);
        }
        return;
    }
    QSet<QString> seen;
    for (const QString &userId : targets) {
        if (seen.contains(userId))
            continue;
        seen.insert(userId);
        for (ChatClient *client : m_byUser.value(userId)) {
            if (closing)
                client->closeWith(text);
            else
                sendText(*client, text);
        }
    }
}

int ChatHub::sendToEveryoneHere(const QString &text)
{
    int sent = 0;
    // A copy: dropping a reader that fell behind removes it from m_clients on the spot.
    for (ChatClient *client : QList<ChatClient *>(m_clients)) {
        if (client->isAuthenticated()) {
            sendText(*client, text);
            ++sent;
        }
    }
    return sent;
}

void ChatHub::schedulePresence()
{
    if (m_presenceTimer.isActive())
        return;
    // Each broadcast sends the whole list to every connection, so on a big site its cost is the square
    // of the users: broadcasts are spaced so that they stay within the node's byte budget.
    const qint64 spacingMs = m_lastPresenceBytes * 1000 / std::max(1, m_limits.presenceBytesPerSecond);
    const qint64 waitMs = m_lastPresence.isValid() ? spacingMs - m_lastPresence.elapsed() : 0;
    m_presenceTimer.start(int(std::max<qint64>(m_limits.presenceDelayMs, std::min<qint64>(waitMs, 60'000))));
}

QJsonObject ChatHub::presenceEvent() const
{
    QJsonArray online;
    for (const QString &userId : onlineUsers())
        online.append(QJsonObject{{QStringLiteral("id"), userId}});
    return {{QStringLiteral("type"), QStringLiteral("presence")}, {QStringLiteral("online"), online}};
}

void ChatHub::sendPresence()
{
    const QString text = WireEvents::text(presenceEvent());
    m_lastPresenceBytes = qint64(text.size()) * sendToEveryoneHere(text);
    m_lastPresence.start();
}
