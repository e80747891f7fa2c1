#pragma once
// The users table: accounts as stored (with their password hash) and as other users see them.
#include "User.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

struct StoredUser
{
    User user;
    QString passwordHash;
    bool isAdmin() const { return user.role == QLatin1String("admin"); }
    bool isBanned() const { return user.banned.value_or(false); }
};

class UserStore
{
public:
    explicit UserStore(Database &db) : m_db(db) {}

    std::optional<StoredUser> byId(const QString &id);
    std::optional<StoredUser> byName(const QString &username); // case-insensitive for Latin letters
    // Several users at once, keyed by id (unknown ids are missing).
    QHash<QString, User> byIds(const QStringList &ids);
    // The users in the order of `ids`, skipping unknown ones.
    QList<User> inOrder(const QStringList &ids);

    bool insert(const StoredUser &user);
    bool setUsername(const QString &id, const QString &username);
    bool setPasswordHash(const QString &id, const QString &hash);
    bool setAvatar(const QString &id, const QString &avatar);
    bool setBanned(const QString &id, bool banned);
    bool setAdmin(const QString &id, bool admin);
    // "user", "admin" or "bot" (an automated account: its messages are marked as a bot's).
    bool setRole(const QString &id, const QString &role);

private:
    std::optional<StoredUser> one(const QString &where, const QVariant &key);
    Database &m_db;
};
