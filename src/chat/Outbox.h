#pragma once
// The user's own messages on their way to the server. Each carries a client id (its optimistic
// "temp_" id without the prefix) that the server stores, so that sending it again never makes a
// second message. A message goes out at once only on a connection whose hello has arrived (frames
// sent earlier could precede the authentication); otherwise, and whenever a connection drops
// before the echo came back, it stays pending and is sent again, once and in the order written,
// after the next hello.
//
// Still unconfirmed: no echo within the confirmation timeout of a send on a connection that stayed
// up (the server refused it, or the frame went nowhere). Such a message is marked failed and waits
// for the user's "重发". A drop before the timeout does not count; the message is simply resent
// after the next hello.
#include "ChatMessage.h"
#include "ChatServices.h"
#include "MessageStore.h"

#include <QHash>
#include <QObject>
#include <optional>

class ChatCache;

class Outbox : public QObject
{
    Q_OBJECT

public:
    Outbox(MessageStore &store, ChatCache &cache, const ChatServices &services, QObject *parent = nullptr);

    // An optimistic message of the user, waiting for its echo.
    static bool isPending(const ChatMessage &message);
    // The id the server knows the pending message by.
    static QString clientIdOf(const ChatMessage &message);

    // A message just appended to its list: sent now when the connection is ready.
    void post(MessageStore::Box box, const ChatMessage &message);
    // The hello of a new connection arrived: every pending message that has not failed is sent.
    void resendAfterHello();
    // The user's "重发" of a failed message (by its id): sent now, or after the next hello.
    void resend(const QString &messageId);
    // The connection the sends went out on is gone.
    void connectionLost();

private:
    struct Found
    {
        MessageStore::Ref ref;
        int row = -1;
    };
    std::optional<Found> find(const std::function<bool(const ChatMessage &)> &pred) const;
    void send(MessageStore::Box box, const ChatMessage &message);
    void expire(const QString &clientId, quint64 serial);
    void setFailed(const Found &found, bool failed);

    MessageStore &m_store;
    ChatCache &m_cache;
    ChatServices m_services;
    bool m_ready = false;
    quint64 m_serial = 0;
    // Client id → serial of its latest send on the current connection.
    QHash<QString, quint64> m_awaiting;
};
