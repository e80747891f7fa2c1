#pragma once
// The WebSocket side of the server: takes connections, demands the "auth" frame first and in time,
// sends the hello snapshot, dispatches commands with a per-user rate limit, fans events out to
// users' connections and announces presence.
#include "live/ChatContext.h"
#include "core/RateLimiter.h"
#include "live/SiteBus.h"
#include "live/SitePresence.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>

class QSslSocket;
class QWebSocket;
struct StoredUser;

class ChatHub : public QObject
{
    Q_OBJECT
public:
    using HelloSource = std::function<QJsonObject(const StoredUser &user)>;

    ChatHub(AccountService &accounts, HallSettings &hall, const Clock &clock, const Limits &limits,
            QObject *parent = nullptr);
    ~ChatHub() override;

    void setCommands(CommandTable commands) { m_commands = std::move(commands); }
    void setHelloSource(HelloSource source) { m_hello = std::move(source); }
    // On a site of several nodes: what goes to other users' connections goes through the bus too, and
    // what other nodes publish reaches the connections here.
    // `presence` then says who is online on any node of the site.
    void setSite(SiteBus *bus, SitePresence *presence);

    // `transport` is the TLS socket under the WebSocket (may be null), watched for unsent output.
    void adopt(std::unique_ptr<QWebSocket> socket, QSslSocket *transport);

    void send(ChatClient &client, const QJsonObject &event);
    void sendToUser(const QString &userId, const QJsonObject &event);
    void sendToUsers(const QStringList &userIds, const QJsonObject &event);
    // Every signed-in connection.
    void broadcast(const QJsonObject &event);
    // Sends the event (unless empty) to every connection of the user, then closes them.
    void closeUser(const QString &userId, const QJsonObject &event);
    // The same for the connections signed in with the given token hashes.
    void closeSessions(const QStringList &tokenHashes, const QJsonObject &event);

    // The moments of the author changed: on every node, that node's readers of them are due fresh feeds.
    void announceFeedChange(const QString &authorId);
    // To this node's connections of the user only, for what every node sends its own (the feeds).
    void sendHere(const QString &userId, const QJsonObject &event);
    bool isConnectedHere(const QString &userId) const { return m_byUser.contains(userId); }

    // Runs `work` as one unit of work on a site of several nodes: the stores' changes and the events it
    // publishes commit together or not at all, and this node's connections hear of them only once
    // committed. False when it rolled back; `requester` is then told why. On a single node, or inside
    // another unit, just runs it.
    bool asOneChange(const std::function<void()> &work, ChatClient *requester = nullptr);

    bool isOnline(const QString &userId) const;
    QStringList onlineUsers() const;

Q_SIGNALS:
    void feedsDue(const QStringList &authorIds);

private:
    // What a command sends while its unit of work is open: to one connection, or fanned out.
    struct Held
    {
        ChatClient *client; // null when fanned out
        SiteBus::Kind kind;
        QStringList targets;
        QJsonObject event;
    };

    void onText(ChatClient *client, const QString &text);
    void authenticate(ChatClient &client, const QJsonObject &frame);
    void drop(ChatClient *client);
    void sendText(ChatClient &client, const QString &text);
    void deliver(SiteBus::Kind kind, const QStringList &targets, const QJsonObject &event);
    // To this node's connections only.
    void deliverHere(SiteBus::Kind kind, const QStringList &targets, const QJsonObject &event);
    // To every signed-in connection here; how many that was.
    int sendToEveryoneHere(const QString &text);
    void schedulePresence();
    // The user's first connection here came, or the last one went: this node's presence row and the
    // announcement commit together, since a node failing between them would leave the other nodes'
    // lists stale. False when that rolled back.
    bool changePresence(const QString &userId, bool arrived);
    // Who is online changed: this node's connections and, through the bus, every other node's learn
    // the new list.
    void announceOnlineChange();
    QJsonObject presenceEvent() const;
    void sendPresence();

    AccountService &m_accounts;
    HallSettings &m_hall;
    const Limits &m_limits;
    CommandTable m_commands;
    HelloSource m_hello;
    SiteBus *m_bus = nullptr;
    SitePresence *m_presence = nullptr;
    QList<ChatClient *> m_clients;
    QHash<QString, QList<ChatClient *>> m_byUser;
    QStringList m_onlineOrder; // users in the order they came online
    RateLimiter m_commandAllowance; // per user, over all their connections
    QTimer m_presenceTimer;
    QElapsedTimer m_lastPresence; // since the last broadcast of who is online
    qint64 m_lastPresenceBytes = 0; // what it sent, over all connections
    std::optional<QList<Held>> m_held; // while a command's unit of work is open
};
