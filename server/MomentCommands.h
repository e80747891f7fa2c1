#pragma once
// "moment-like", "moment-comment", "moment-comment-delete" and "moment-delete". The client never
// patches its feed, so every change goes out as the whole feed in one "moments" event to everybody.
#include "ChatContext.h"

class MomentCommands
{
public:
    explicit MomentCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

    void publishFeed();

private:
    void like(ChatClient &client, const QJsonObject &frame);
    void comment(ChatClient &client, const QJsonObject &frame);
    void deleteComment(ChatClient &client, const QJsonObject &frame);
    void deleteMoment(ChatClient &client, const QJsonObject &frame);

    ChatContext &m_context;
};
