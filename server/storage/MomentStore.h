#pragma once
// The moments feed: posts with their images, likes (in order) and comments (oldest first).
#include "Moment.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

class MomentStore
{
public:
    explicit MomentStore(Database &db) : m_db(db) {}

    // The ids of the newest `limit` posts of the viewer and the viewer's friends, newest first.
    QStringList feedIds(const QString &viewerId, int limit);
    std::optional<Moment> moment(const QString &id);
    // The post when the viewer may see it: their own or a friend's.
    std::optional<Moment> visibleMoment(const QString &id, const QString &viewerId);
    bool create(const Moment &moment);
    bool remove(const QString &id);
    // Likes when the user has not liked the post yet, else takes the like back.
    bool toggleLike(const QString &mid, const QString &userId);
    bool addComment(const QString &mid, const MomentComment &comment);
    // Removes the first comment whose computed id (author, text, time) is `cid`.
    bool removeComment(const QString &mid, const QString &cid);

private:
    void fill(Moment &moment);
    Database &m_db;
};
