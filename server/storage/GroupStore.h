#pragma once
// Groups, their members (the owner first, then in joining order) and applications to join.
#include "ChatGroup.h"
#include "GroupRequest.h"
#include "SearchGroup.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

class GroupStore
{
public:
    explicit GroupStore(Database &db) : m_db(db) {}

    // The group with its members' names and avatars.
    std::optional<ChatGroup> group(const QString &gid);
    QList<ChatGroup> groupsOf(const QString &userId);
    bool isMember(const QString &gid, const QString &userId);

    bool create(const ChatGroup &group);
    bool addMember(const QString &gid, const QString &userId);
    bool removeMember(const QString &gid, const QString &userId);
    bool rename(const QString &gid, const QString &name);
    bool setAvatar(const QString &gid, const QString &avatar);
    bool dissolve(const QString &gid);

    // Creates the application, or returns the one the user already has pending for the group.
    GroupRequest apply(const QString &gid, const QString &userId, qint64 nowMs);
    std::optional<GroupRequest> application(const QString &id);
    bool removeApplication(const QString &id);
    QList<GroupRequest> applicationsToGroupsOf(const QString &ownerId);

    QList<SearchGroup> search(const QString &keyword, int limit);

private:
    QList<GroupRequest> applications(const QString &where, const QVariant &key);
    Database &m_db;
};
