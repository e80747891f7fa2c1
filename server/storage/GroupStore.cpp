#include "storage/GroupStore.h"

#include "storage/Database.h"
#include "accounts/SecureRandom.h"

#include <QSqlQuery>

std::optional<ChatGroup> GroupStore::group(const QString &gid)
{
    QSqlQuery row = m_db.run(QStringLiteral("SELECT id, name, owner, avatar, created_at FROM chat_groups WHERE id = ?"),
                             {gid});
    if (!row.next())
        return std::nullopt;
    ChatGroup group;
    group.id = row.value(0).toString();
    group.name = row.value(1).toString();
    group.owner = row.value(2).toString();
    if (!row.value(3).isNull() && !row.value(3).toString().isEmpty())
        group.avatar = row.value(3).toString();
    group.createdAt = row.value(4).toLongLong();
    QSqlQuery members = m_db.run(QStringLiteral("SELECT m.user_id, u.username, u.avatar FROM group_members m "
                                                "LEFT JOIN users u ON u.id = m.user_id WHERE m.gid = ? ORDER BY m.rowid"),
                                 {gid});
    QStringList names;
    QStringList avatars;
    while (members.next()) {
        group.members << members.value(0).toString();
        names << members.value(1).toString();
        avatars << members.value(2).toString(); // "" keeps the lists parallel for members without one
    }
    group.memberNames = names;
    group.memberAvatars = avatars;
    return group;
}

QList<ChatGroup> GroupStore::groupsOf(const QString &userId)
{
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT gid FROM group_members WHERE user_id = ? ORDER BY rowid"), {userId});
    QStringList ids;
    while (rows.next())
        ids << rows.value(0).toString();
    QList<ChatGroup> groups;
    for (const QString &gid : ids)
        if (std::optional<ChatGroup> found = group(gid))
            groups << *found;
    return groups;
}

bool GroupStore::isMember(const QString &gid, const QString &userId)
{
    return m_db.scalar(QStringLiteral("SELECT 1 FROM group_members WHERE gid = ? AND user_id = ?"), {gid, userId})
        .isValid();
}

bool GroupStore::create(const ChatGroup &group)
{
    if (!m_db.transaction())
        return false;
    bool ok = m_db.exec(QStringLiteral("INSERT INTO chat_groups(id, name, owner, avatar, created_at) VALUES(?, ?, ?, ?, ?)"),
                        {group.id, group.name, group.owner, group.avatar ? QVariant(*group.avatar) : QVariant(),
                         group.createdAt.value_or(0)});
    for (const QString &member : group.members)
        ok = ok && addMember(group.id, member);
    if (ok && m_db.commit())
        return true;
    m_db.rollback();
    return false;
}

bool GroupStore::addMember(const QString &gid, const QString &userId)
{
    return m_db.exec(QStringLiteral("INSERT INTO group_members(gid, user_id) VALUES(?, ?) ON CONFLICT DO NOTHING"), {gid, userId});
}

bool GroupStore::removeMember(const QString &gid, const QString &userId)
{
    return m_db.exec(QStringLiteral("DELETE FROM group_members WHERE gid = ? AND user_id = ?"), {gid, userId});
}

bool GroupStore::rename(const QString &gid, const QString &name)
{
    return m_db.exec(QStringLiteral("UPDATE chat_groups SET name = ? WHERE id = ?"), {name, gid});
}

bool GroupStore::setAvatar(const QString &gid, const QString &avatar)
{
    return m_db.exec(QStringLiteral("UPDATE chat_groups SET avatar = ? WHERE id = ?"), {avatar, gid});
}

bool GroupStore::dissolve(const QString &gid)
{
    // Members and applications go with the group (ON DELETE CASCADE).
    return m_db.exec(QStringLiteral("DELETE FROM chat_groups WHERE id = ?"), {gid});
}

GroupRequest GroupStore::apply(const QString &gid, const QString &userId, qint64 nowMs)
{
    m_db.exec(QStringLiteral("INSERT INTO group_applications(id, gid, from_id, time) VALUES(?, ?, ?, ?) ON CONFLICT DO NOTHING"),
              {SecureRandom::id(QStringLiteral("a")), gid, userId, nowMs});
    const QString id =
        m_db.scalar(QStringLiteral("SELECT id FROM group_applications WHERE gid = ? AND from_id = ?"), {gid, userId})
            .toString();
    return application(id).value_or(GroupRequest{});
}

QList<GroupRequest> GroupStore::applications(const QString &where, const QVariant &key)
{
    QSqlQuery rows = m_db.run(
        QStringLiteral("SELECT a.id, a.gid, g.name, a.from_id, u.username, u.avatar, a.time FROM group_applications a "
                       "JOIN chat_groups g ON g.id = a.gid LEFT JOIN users u ON u.id = a.from_id WHERE %1 = ? "
                       "ORDER BY a.time")
            .arg(where),
        {key});
    QList<GroupRequest> found;
    while (rows.next()) {
        GroupRequest request;
        request.id = rows.value(0).toString();
        request.gid = rows.value(1).toString();
        request.groupName = rows.value(2).toString();
        request.from = rows.value(3).toString();
        if (!rows.value(4).isNull())
            request.fromName = rows.value(4).toString();
        if (!rows.value(5).isNull() && !rows.value(5).toString().isEmpty())
            request.fromAvatar = rows.value(5).toString();
        request.time = rows.value(6).toLongLong();
        request.status = QStringLiteral("pending");
        found << request;
    }
    return found;
}

std::optional<GroupRequest> GroupStore::application(const QString &id)
{
    const QList<GroupRequest> found = applications(QStringLiteral("a.id"), id);
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

bool GroupStore::removeApplication(const QString &id)
{
    return m_db.exec(QStringLiteral("DELETE FROM group_applications WHERE id = ?"), {id});
}

QList<GroupRequest> GroupStore::applicationsToGroupsOf(const QString &ownerId)
{
    return applications(QStringLiteral("g.owner"), ownerId);
}

QList<SearchGroup> GroupStore::search(const QString &keyword, int limit)
{
    QString pattern = keyword;
    pattern.replace(u'\\', QStringLiteral("\\\\")).replace(u'%', QStringLiteral("\\%")).replace(u'_', QStringLiteral("\\_"));
    QSqlQuery rows = m_db.run(
        QStringLiteral("SELECT g.id, g.name, g.owner, u.username, g.avatar, "
                       "(SELECT COUNT(*) FROM group_members m WHERE m.gid = g.id) FROM chat_groups g "
                       "LEFT JOIN users u ON u.id = g.owner WHERE lower(g.name) LIKE lower(?) ESCAPE '\\' "
                       "ORDER BY g.created_at DESC LIMIT ?"),
        {QStringLiteral("%") + pattern + QStringLiteral("%"), limit});
    QList<SearchGroup> hits;
    while (rows.next()) {
        SearchGroup hit;
        hit.id = rows.value(0).toString();
        hit.name = rows.value(1).toString();
        hit.owner = rows.value(2).toString();
        if (!rows.value(3).isNull())
            hit.ownerName = rows.value(3).toString();
        if (!rows.value(4).isNull() && !rows.value(4).toString().isEmpty())
            hit.avatar = rows.value(4).toString();
        hit.memberCount = rows.value(5).toInt();
        hits << hit;
    }
    return hits;
}
