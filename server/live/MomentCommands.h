#pragma once
// "moment-like", "moment-comment", "moment-comment-delete" and "moment-delete", on posts the caller
// can see. The client never patches its feed, so a change goes out as a whole "moments" feed to the
// author and the author's friends, each receiving their own from the node they are connected to.
#include "live/ChatContext.h"
#include "Moment.h"
#include "core/RateLimiter.h"

#include <QSet>
#include <QTimer>
#include <optional>

class MomentCommands
{
public:
    explicit MomentCommands(ChatContext &context);
    void registerWith(CommandTable &table);

    // Fresh feeds go to the author and the author's friends soon; changes close together share one round.
    void publishFeed(const QString &authorId);

private:
    void queueFeeds(const QStringList &authorIds);
    void like(ChatClient &client, const QJsonObject &frame);
    void comment(ChatClient &client, const QJsonObject &frame);
    void deleteComment(ChatClient &client, const QJsonObject &frame);
    void deleteMoment(ChatClient &client, const QJsonObject &frame);

    void sendFeeds();
    // The post when the caller can see it; otherwise the caller is told it does not exist.
    std::optional<Moment> visible(ChatClient &client, const QJsonObject &frame);

    ChatContext &m_context;
    QTimer m_feedTimer;
    QSet<QString> m_changedAuthors;
    RateLimiter m_actions; // likes and comments, per user
};
