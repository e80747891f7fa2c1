#include "live/MessageCommands.h"

#include "accounts/AccountService.h"
#include "live/ChatClient.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "storage/FriendStore.h"
#include "storage/GroupStore.h"
#include "storage/ImageStore.h"
#include "core/Limits.h"
#include "storage/MessageStore.h"
#include "accounts/SecureRandom.h"
#include "live/WireEvents.h"

#include <QJsonArray>

void MessageCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("global"), [this](ChatClient &c, const QJsonObject &f) {
        if (!answerRepeat(c, f))
            postToHall(c, f);
    });
    table.insert(QStringLiteral("dm"), [this](ChatClient &c, const QJsonObject &f) {
        if (!answerRepeat(c, f))
            postDirect(c, f);
    });
    table.insert(QStringLiteral("group"), [this](ChatClient &c, const QJsonObject &f) {
        if (!answerRepeat(c, f))
            postToGroup(c, f);
    });
    table.insert(QStringLiteral("recall"), [this](ChatClient &c, const QJsonObject &f) { recall(c, f); });
}

QString MessageCommands::clientIdOf(const QJsonObject &frame)
{
    const QString clientId = frame.value(QStringLiteral("clientId")).toString();
    return clientId.size() <= maxClientIdChars ? clientId : QString();
}

bool MessageCommands::answerRepeat(ChatClient &client, const QJsonObject &frame)
{
    const QString clientId = clientIdOf(frame);
    if (clientId.isEmpty())
        return false;
    if (const std::optional<MessageStore::Stored> stored = m_context.messages.byClientId(client.userId(), clientId)) {
        // The sender lost the echo; everyone else already has the message.
        m_context.hub.send(client, WireEvents::message(stored->room.section(u':', 0, 0), stored->message));
        return true;
    }
    // Recalled meanwhile (from another device): the stale copy must not come back, and the sender's
    // client drops it on hearing of the recall.
    const std::optional<MessageStore::Stored> recalled = m_context.messages.recalledByClientId(client.userId(), clientId);
    if (!recalled)
        return false;
    m_context.hub.send(client, recalledEvent(recalled->room.section(u':', 0, 0), recalled->message));
    return true;
}

QJsonObject MessageCommands::recalledEvent(const QString &kind, const ChatMessage &message)
{
    QJsonObject event{{QStringLiteral("type"), QStringLiteral("recalled")},
                      {QStringLiteral("room"), kind},
                      {QStringLiteral("id"), message.id}};
    if (message.clientId)
        event.insert(QStringLiteral("clientId"), *message.clientId);
    if (kind == QLatin1String("group"))
        event.insert(QStringLiteral("gid"), message.gid.value_or(QString()));
    else if (kind == QLatin1String("dm"))
        event.insert(QStringLiteral("to"), message.to.value_or(QString()));
    return event;
}

std::optional<ChatMessage> MessageCommands::compose(ChatClient &client, const QJsonObject &frame)
{
    const QString content = frame.value(QStringLiteral("content")).toString();
    const QJsonArray imageArray = frame.value(QStringLiteral("images")).toArray();
    QStringList images;
    for (const QJsonValue &image : imageArray) {
        if (!m_context.images.holds(image.toString())) {
            m_context.hub.send(client, WireEvents::error(QStringLiteral("图片无效，请重新上传")));
            return std::nullopt;
        }
        images << image.toString();
    }
    QString problem;
    if (content.trimmed().isEmpty() && images.isEmpty())
        problem = QStringLiteral("消息内容不能为空");
    else if (content.size() > m_context.limits.maxMessageChars)
        problem = QStringLiteral("消息太长了");
    else if (images.size() > m_context.limits.maxImagesPerMessage)
        problem = QStringLiteral("图片数量超出限制");
    if (!problem.isEmpty()) {
        m_context.hub.send(client, WireEvents::error(problem));
        return std::nullopt;
    }
    const std::optional<StoredUser> sender = m_context.accounts.users().byId(client.userId());
    if (!sender)
        return std::nullopt;
    ChatMessage message;
    message.id = SecureRandom::id(QStringLiteral("m"));
    message.from = sender->user.id;
    message.fromName = sender->user.username;
    message.fromAvatar = sender->user.avatar;
    message.fromRole = sender->user.role;
    if (message.fromRole == QLatin1String("bot"))
        message.fromBot = true;
    message.content = content;
    if (!images.isEmpty())
        message.images = images;
    message.time = m_context.clock.nowMs();
    if (const QString clientId = clientIdOf(frame); !clientId.isEmpty())
        message.clientId = clientId;
    return message;
}

bool MessageCommands::commit(ChatClient &client, const ChatMessage &message, const QString &room)
{
    if (m_context.messages.insert(message, room))
        return true;
    m_context.hub.send(client, WireEvents::error(QStringLiteral("消息发送失败，请重试")));
    return false;
}

void MessageCommands::postToHall(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<ChatMessage> message = compose(client, frame);
    if (message && commit(client, *message, MessageStore::hallRoom()))
        m_context.hub.broadcast(WireEvents::message(QStringLiteral("global"), *message));
}

void MessageCommands::postDirect(ChatClient &client, const QJsonObject &frame)
{
    const QString to = frame.value(QStringLiteral("to")).toString();
    if (to.isEmpty() || to == client.userId() || !m_context.friends.areFriends(client.userId(), to)) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("对方不是你的好友，无法发送消息")));
        return;
    }
    std::optional<ChatMessage> message = compose(client, frame);
    if (!message)
        return;
    message->to = to;
    if (commit(client, *message, MessageStore::directRoom(client.userId(), to)))
        m_context.hub.sendToUsers({client.userId(), to}, WireEvents::message(QStringLiteral("dm"), *message));
}

void MessageCommands::postToGroup(ChatClient &client, const QJsonObject &frame)
{
    const QString gid = frame.value(QStringLiteral("gid")).toString();
    const std::optional<ChatGroup> group = m_context.groups.group(gid);
    if (!group || !group->members.contains(client.userId())) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("你不是该群成员，无法发送消息")));
        return;
    }
    std::optional<ChatMessage> message = compose(client, frame);
    if (!message)
        return;
    message->gid = gid;
    if (commit(client, *message, MessageStore::groupRoom(gid)))
        m_context.hub.sendToUsers(group->members, WireEvents::message(QStringLiteral("group"), *message));
}

void MessageCommands::recall(ChatClient &client, const QJsonObject &frame)
{
    const QString id = frame.value(QStringLiteral("id")).toString();
    const std::optional<MessageStore::Stored> stored = m_context.messages.byId(id);
    const QString kind = frame.value(QStringLiteral("room")).toString();
    if (!stored || stored->room.section(u':', 0, 0) != kind) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("消息不存在或已撤回")));
        return;
    }
    const ChatMessage &message = stored->message;
    if (message.from != client.userId()) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("只能撤回自己的消息")));
        return;
    }
    if (m_context.clock.nowMs() - message.time > m_context.limits.recallWindowMs) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("超过2分钟的消息无法撤回")));
        return;
    }
    if (!m_context.messages.remove(id)) {
        m_context.hub.send(client, WireEvents::error(QStringLiteral("撤回失败，请重试")));
        return;
    }
    QJsonObject event = recalledEvent(kind, message);
    if (kind == QLatin1String("global")) {
        m_context.hub.broadcast(event);
    } else if (kind == QLatin1String("group")) {
        const std::optional<ChatGroup> group = m_context.groups.group(message.gid.value_or(QString()));
        m_context.hub.sendToUsers(group ? group->members : QStringList{client.userId()}, event);
    } else {
        // Each side finds the room under its own id and the other party's, so "to" names the peer
        // of whoever receives the event.
        m_context.hub.sendToUser(message.from, event);
        event.insert(QStringLiteral("to"), message.from);
        m_context.hub.sendToUser(message.to.value_or(QString()), event);
    }
}
