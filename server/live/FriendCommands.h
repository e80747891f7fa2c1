#pragma once
// "friend-request", "request-respond" and "unfriend". Outcomes of a friend request go back as
// "request-sent" (the client shows its error text); friend lists change through "friend-update".
#include "live/ChatContext.h"

class FriendCommands
{
public:
    explicit FriendCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

    // Sends each user their current friend list.
    void sendFriendLists(const QStringList &userIds);

private:
    void request(ChatClient &client, const QJsonObject &frame);
    void respond(ChatClient &client, const QJsonObject &frame);
    void unfriend(ChatClient &client, const QJsonObject &frame);

    ChatContext &m_context;
};
