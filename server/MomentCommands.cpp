#include "MomentCommands.h"

#include "AccountService.h"
#include "ChatClient.h"
#include "ChatHub.h"
#include "Clock.h"
#include "Limits.h"
#include "MomentStore.h"
#include "WireEvents.h"

namespace {
QString midOf(const QJsonObject &frame)
{
    return frame.value(QStringLiteral("mid")).toString();
}

const QString Missing = QStringLiteral("动态不存在或已删除");
constexpr int MaxCommentsPerMoment = 500;
} // namespace

MomentCommands::MomentCommands(ChatContext &context) : m_context(context)
{
    m_feedTimer.setSingleShot(true);
    m_feedTimer.setInterval(m_context.limits.feedDelayMs);
    QObject::connect(&m_feedTimer, &QTimer::timeout, &m_feedTimer, [this] { sendFeed(); });
}

void MomentCommands::registerWith(CommandTable &table)
{
    table.insert(QStringLiteral("moment-like"), [this](ChatClient &c, const QJsonObject &f) { like(c, f); });
    table.insert(QStringLiteral("moment-comment"), [this](ChatClient &c, const QJsonObject &f) { comment(c, f); });
    table.insert(QStringLiteral("moment-comment-delete"),
                 [this](ChatClient &c, const QJsonObject &f) { deleteComment(c, f); });
    table.insert(QStringLiteral("moment-delete"), [this](ChatClient &c, const QJsonObject &f) { deleteMoment(c, f); });
}

void MomentCommands::publishFeed()
{
    if (!m_feedTimer.isActive())
        m_feedTimer.start();
}

void MomentCommands::sendFeed()
{
    m_context.hub.broadcast({{QStringLiteral("type"), QStringLiteral("moments")},
                             {QStringLiteral("moments"), toJson(m_context.moments.feed(m_context.limits.feedMoments))}});
}

void MomentCommands::like(ChatClient &client, const QJsonObject &frame)
{
    if (!m_context.moments.moment(midOf(frame)))
        return m_context.hub.send(client, WireEvents::error(Missing));
    m_context.moments.toggleLike(midOf(frame), client.userId());
    publishFeed();
}

void MomentCommands::comment(ChatClient &client, const QJsonObject &frame)
{
    const QString text = frame.value(QStringLiteral("text")).toString().trimmed();
    if (text.isEmpty() || text.size() > m_context.limits.maxCommentChars)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论需为1-%1个字符").arg(m_context.limits.maxCommentChars)));
    if (!m_context.moments.moment(midOf(frame)))
        return m_context.hub.send(client, WireEvents::error(Missing));
    if (m_context.moments.commentCount(midOf(frame)) >= MaxCommentsPerMoment)
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论数量已达上限")));
    MomentComment comment;
    comment.user = client.userId();
    comment.text = text;
    comment.time = m_context.clock.nowMs();
    if (!m_context.moments.addComment(midOf(frame), comment))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论失败，请重试")));
    publishFeed();
}

void MomentCommands::deleteComment(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<Moment> moment = m_context.moments.moment(midOf(frame));
    if (!moment)
        return m_context.hub.send(client, WireEvents::error(Missing));
    const QString cid = frame.value(QStringLiteral("cid")).toString();
    const auto found = std::find_if(moment->comments.cbegin(), moment->comments.cend(),
                                    [&](const MomentComment &c) { return c.id() == cid; });
    if (found == moment->comments.cend())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("评论不存在或已删除")));
    // The commenter and the author of the post may remove a comment.
    if (found->user != client.userId() && moment->author != client.userId())
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("只能删除自己的评论")));
    m_context.moments.removeComment(moment->id, cid);
    publishFeed();
}

void MomentCommands::deleteMoment(ChatClient &client, const QJsonObject &frame)
{
    const std::optional<Moment> moment = m_context.moments.moment(midOf(frame));
    if (!moment)
        return m_context.hub.send(client, WireEvents::error(Missing));
    const std::optional<StoredUser> caller = m_context.accounts.users().byId(client.userId());
    // Administrators may take down any post; everyone else only their own.
    if (moment->author != client.userId() && !(caller && caller->isAdmin()))
        return m_context.hub.send(client, WireEvents::error(QStringLiteral("只能删除自己的动态")));
    m_context.moments.remove(moment->id);
    publishFeed();
}
