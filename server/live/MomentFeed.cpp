#include "live/MomentFeed.h"

#include "core/Limits.h"
#include "storage/MomentStore.h"

#include <QJsonDocument>

QList<const MomentFeed::Post *> MomentFeed::postsFor(const QString &viewerId)
{
    QList<const Post *> posts;
    qint64 bytes = 0;
    for (const QString &id : m_moments.feedIds(viewerId, m_limits.feedMoments)) {
        auto found = m_posts.find(id);
        if (found == m_posts.end()) {
            const std::optional<Moment> moment = m_moments.moment(id);
            if (!moment)
                continue;
            const QJsonObject json = toJson(*moment).toObject();
            found = m_posts.insert(id, Post{*moment, json, QJsonDocument(json).toJson(QJsonDocument::Compact).size()});
        }
        bytes += found->bytes;
        if (bytes > m_limits.maxFeedBytes)
            break;
        posts << &*found;
    }
    return posts;
}

QList<Moment> MomentFeed::of(const QString &viewerId)
{
    QList<Moment> feed;
    for (const Post *post : postsFor(viewerId))
        feed << post->moment;
    return feed;
}

QJsonArray MomentFeed::jsonOf(const QString &viewerId)
{
    QJsonArray feed;
    for (const Post *post : postsFor(viewerId))
        feed.append(post->json);
    return feed;
}
