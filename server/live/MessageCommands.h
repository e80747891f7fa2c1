#pragma once
// "global", "dm", "group" and "recall": messages are checked, committed, then delivered to the room
// (the sender's own connections included, which replaces the client's optimistic copy). A message
// carries the sender's "clientId" when it has one, so that sending it again stores nothing new.
#include "live/ChatContext.h"
#include "ChatMessage.h"

#include <QJsonObject>
#include <optional>

class MessageCommands
{
public:
    explicit MessageCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

private:
    // A longer client id is ignored (the message is stored without one).
    static constexpr int maxClientIdChars = 64;
    static QString clientIdOf(const QJsonObject &frame);
    // A message sent again under a client id the server already stored: the sender alone gets the
    // stored message back (or its recall, when it was recalled since), and nothing is stored or broadcast.
    bool answerRepeat(ChatClient &client, const QJsonObject &frame);
    // The recall of a message as its sender sees it ("to" names the peer in a direct room).
    static QJsonObject recalledEvent(const QString &kind, const ChatMessage &message);
    // The message the frame describes, or nothing after an "error" frame went back.
    std::optional<ChatMessage> compose(ChatClient &client, const QJsonObject &frame);
    void postToHall(ChatClient &client, const QJsonObject &frame);
    void postDirect(ChatClient &client, const QJsonObject &frame);
    void postToGroup(ChatClient &client, const QJsonObject &frame);
    void recall(ChatClient &client, const QJsonObject &frame);
    bool commit(ChatClient &client, const ChatMessage &message, const QString &room);

    ChatContext &m_context;
};
