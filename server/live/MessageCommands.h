#pragma once
// "global", "dm", "group" and "recall": messages are checked, committed, then delivered to the room
// (the sender's own connections included, which replaces the client's optimistic copy).
#include "live/ChatContext.h"
#include "ChatMessage.h"

#include <optional>

class MessageCommands
{
public:
    explicit MessageCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

private:
    // The message the frame describes, or nothing after an "error" frame went back.
    std::optional<ChatMessage> compose(ChatClient &client, const QJsonObject &frame);
    void postToHall(ChatClient &client, const QJsonObject &frame);
    void postDirect(ChatClient &client, const QJsonObject &frame);
    void postToGroup(ChatClient &client, const QJsonObject &frame);
    void recall(ChatClient &client, const QJsonObject &frame);
    bool commit(ChatClient &client, const ChatMessage &message, const QString &room);

    ChatContext &m_context;
};
