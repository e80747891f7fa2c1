#include "live/MomentCommands.h"

#include "accounts/AccountService.h"
#include "live/ChatClient.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "storage/FriendStore.h"
#include "core/Limits.h"
#include "live/MomentFeed.h"
#include "storage/MomentStore.h"
#include "live/WireEvents.h"

namespace {
QString midOf(const QJsonObject &frame)
{
    return frame.value(QStringLiteral("mid")).toString();
}

const QString Missing = QStringLiteral("动态不存在或已删除");
} // namespace

MomentCommands::MomentCommands(ChatContext &context)
    : m_context(context), m_actions(context.clock, context.limits.momentActionBurst, context.limits.momentActionsPerSecond)
{
    m_feedTimer.setSingleShot(true);
    m_feedTimer.setInterval(m_context.limits.feedDelayMs);
    QObject::connect(&m_feedTimer, &QTimer::timeout, &m_feedTimer, [this] { sendFeeds(); });
    QObject::connect(&context.hub, &ChatHub::feedsDue, &m_feedTimer, [this](const QStringList &authorIds) { queueFeeds(authorIds); });
}

void MomentCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("moment-like"), [this](ChatClient &c, const QJsonObject &f) { like(c, f); });
    table.insert(QStringLiteral("moment-comment"), [this](ChatClient &c, const QJsonObject &f) { comment(c, f); });
    table.insert(QStringLiteral("moment-comment-delete"),
                 [this](ChatClient &c, const QJsonObject &f) { deleteComment(c, f); });
    table.insert(QStringLiteral("moment-delete"), [this](ChatClient &c, const QJsonObject &f) { deleteMoment(c, f); });
}

void MomentCommands::publishFeed(const QString &authorId)
{
    m_context.hub.announceFeedChange(authorId);
}

void MomentCommands::queueFeeds(const QStringList &authorIds)
{
    for (const QString &authorId : authorIds)
        m_changedAuthors.insert(authorId);
    if (!m_feedTimer.isActive())
        m_feedTimer.start();
}

void MomentCommands::sendFeeds()
{
    QSet<QString> readers;
    for (const QString &author : std::as_const(m_changedAuthors)) {
        readers.insert(author);
        for (const QString &friendId : m_context.friends.friendsOf(author))
            readers.insert(friendId);
    }
    m_changedAuthors.clear();
    MomentFeed feeds(m_context.moments, m_context.limits);
    for (const QString &reader : std::as_const(readers))
        if (m_context.hub.isConnectedHere(reader))
            m_context.hub.sendHere(reader, {{QStringLiteral("type"), QStringLiteral("moments")},
                                            {QStringLiteral("moments"), feeds.jsonOf(reader)}});
}

std::optional<Moment> MomentCommands::visible(ChatClient &client, const QJsonObject &frame)
{
    std::optional<Moment> moment = m_context.moments.visibleMoment(midOf(frame), client.userId());
    if (!moment)
        m_context.hub.send(client, WireEvents::error(Missing));
    return moment;
}

void MomentCommands::like(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<Moment> moment = visible(client, frame);
    if (!moment)
        return;
    if (!m_actions.take(client.userId()))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("操作太频繁，请稍后再试")));
    m_context.moments.toggleLike(moment->id, client.userId());
    publishFeed(moment->author);
}

void MomentCommands::comment(ChatClient &client, const QJsonObject &frame)
{
    const QString text = frame.value(QStringLiteral("text")).toString().trimmed();
    if (text.isEmpty() || text.size() > m_context.limits.maxCommentChars)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论需为1-%1个字符").arg(m_context.limits.maxCommentChars)));
    const std::optional<Moment> moment = visible(client, frame);
    if (!moment)
        return;
    if (moment->comments.size() >= m_context.limits.maxCommentsPerMoment)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论数量已达上限")));
    if (!m_actions.take(client.userId()))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("操作太频繁，请稍后再试")));
    MomentComment comment;
    comment.user = client.userId();
    comment.text = text;
    comment.time = m_context.clock.nowMs();
    if (!m_context.moments.addComment(moment->id, comment))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论失败，请重试")));
    publishFeed(moment->author);
}

void MomentCommands::deleteComment(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<Moment> moment = visible(client, frame);
    if (!moment)
        return;
    const QString cid = frame.value(QStringLiteral("cid")).toString();
    const auto found = std::find_if(moment->comments.cbegin(), moment->comments.cend(),
                                    [&](const MomentComment &c) { return c.id() == cid; });
    if (found == moment->comments.cend())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论不存在或已删除")));
    // The commenter and the author of the post may remove a comment.
    if (found->user != client.userId() && moment->author != client.userId())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("只能删除自己的评论")));
    m_context.moments.removeComment(moment->id, cid);
    publishFeed(moment->author);
}

void MomentCommands::deleteMoment(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<Moment> moment = visible(client, frame);
    if (!moment)
        return;
    const std::optional<StoredUser> caller = m_context.accounts.users().byId(client.userId());
    // Administrators may take down any post they can see; everyone else only their own.
    if (moment->author != client.userId() && !(caller && caller->isAdmin()))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("只能删除自己的动态")));
    m_context.moments.remove(moment->id);
    publishFeed(moment->author);
}
