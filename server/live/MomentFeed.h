#pragma once
// The feed one user receives, in the hello and after every change: their own and their friends'
// newest posts, as many as fit the post count and the byte budget, so that no feed grows without bound.
// One MomentFeed reads and encodes each post once however many readers share it, so a change that
// goes to hundreds of friends costs one read per post, not one per reader.
#include "Moment.h"

#include <QHash>
#include <QJsonArray>
#include <QList>
#include <QString>

class MomentStore;
struct Limits;

class MomentFeed
{
public:
    MomentFeed(MomentStore &moments, const Limits &limits) : m_moments(moments), m_limits(limits) {}

    QList<Moment> of(const QString &viewerId);
    QJsonArray jsonOf(const QString &viewerId);

private:
    struct Post
    {
        Moment moment;
        QJsonObject json;
        qint64 bytes = 0;
    };
    // The viewer's posts, newest first, within the caps.
    QList<const Post *> postsFor(const QString &viewerId);

    MomentStore &m_moments;
    const Limits &m_limits;
    QHash<QString, Post> m_posts;
};
