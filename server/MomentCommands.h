#pragma once
// "moment-like", "moment-comment", "moment-comment-delete" and "moment-delete". The client never
// patches its feed, so every change goes out as the whole feed in one "moments" event to everybody.
#include "ChatContext.h"

#include <QTimer>

class MomentCommands
{
public:
    explicit MomentCommands(ChatContext &context);
    void registerWith(CommandTable &table);

    // Sends the feed to everybody soon; changes close together share one broadcast.
    void publishFeed();

private:
    void like(ChatClient &client, const QJsonObject &frame);
    void comment(ChatClient &client, const QJsonObject &frame);
    void deleteComment(ChatClient &client, const QJsonObject &frame);
    void deleteMoment(ChatClient &client, const QJsonObject &frame);

    void sendFeed();

    ChatContext &m_context;
    QTimer m_feedTimer;
};
