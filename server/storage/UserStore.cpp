#include "storage/UserStore.h"

#include "storage/Database.h"

#include <QSqlQuery>

namespace {
const QString Columns = QStringLiteral("id, username, avatar, role, banned, created_at, password_hash");

StoredUser fromRow(const QSqlQuery &row)
{
    StoredUser stored;
    stored.user.id = row.value(0).toString();
    stored.user.username = row.value(1).toString();
    if (!row.value(2).isNull() && !row.value(2).toString().isEmpty())
        stored.user.avatar = row.value(2).toString();
    stored.user.role = row.value(3).toString();
    if (row.value(4).toBool())
        stored.user.banned = true; // others only learn of a ban, never of its absence
    stored.user.createdAt = row.value(5).toLongLong();
    stored.passwordHash = row.value(6).toString();
    return stored;
}
} // namespace

std::optional<StoredUser> UserStore::one(const QString &where, const QVariant &key)
{
    QSqlQuery row = m_db.run(QStringLiteral("SELECT %1 FROM users WHERE %2").arg(Columns, where), {key});
    if (!row.next())
        return std::nullopt;
    return fromRow(row);
}

std::optional<StoredUser> UserStore::byId(const QString &id)
{
    return one(QStringLiteral("id = ?"), id);
}

std::optional<StoredUser> UserStore::byName(const QString &username)
{
    // Names are unique regardless of ASCII case (an index on lower(username)).
    return one(QStringLiteral("lower(username) = lower(?)"), username);
}

QHash<QString, User> UserStore::byIds(const QStringList &ids)
{
    QHash<QString, User> found;
    if (ids.isEmpty())
        return found;
    QStringList marks;
    QVariantList bindings;
    for (const QString &id : ids) {
        marks << QStringLiteral("?");
        bindings << id;
    }
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT %1 FROM users WHERE id IN (%2)").arg(Columns, marks.join(u',')),
                              bindings);
    while (rows.next()) {
        const StoredUser stored = fromRow(rows);
        found.insert(stored.user.id, stored.user);
    }
    return found;
}

QList<User> UserStore::inOrder(const QStringList &ids)
{
    const QHash<QString, User> found = byIds(ids);
    QList<User> users;
    for (const QString &id : ids)
        if (found.contains(id))
            users << found.value(id);
    return users;
}

bool UserStore::insert(const StoredUser &stored)
{
    return m_db.exec(QStringLiteral("INSERT INTO users(id, username, password_hash, avatar, role, banned, created_at) "
                                    "VALUES(?, ?, ?, ?, ?, 0, ?)"),
                     {stored.user.id, stored.user.username, stored.passwordHash,
                      stored.user.avatar ? QVariant(*stored.user.avatar) : QVariant(),
                      stored.user.role.value_or(QStringLiteral("user")), stored.user.createdAt.value_or(0)});
}

bool UserStore::setUsername(const QString &id, const QString &username)
{
    return m_db.exec(QStringLiteral("UPDATE users SET username = ? WHERE id = ?"), {username, id});
}

bool UserStore::setPasswordHash(const QString &id, const QString &hash)
{
    return m_db.exec(QStringLiteral("UPDATE users SET password_hash = ? WHERE id = ?"), {hash, id});
}

bool UserStore::setAvatar(const QString &id, const QString &avatar)
{
    return m_db.exec(QStringLiteral("UPDATE users SET avatar = ? WHERE id = ?"), {avatar, id});
}

bool UserStore::setBanned(const QString &id, bool banned)
{
    return m_db.exec(QStringLiteral("UPDATE users SET banned = ? WHERE id = ?"), {banned ? 1 : 0, id});
}

bool UserStore::setAdmin(const QString &id, bool admin)
{
    return setRole(id, admin ? QStringLiteral("admin") : QStringLiteral("user"));
}

bool UserStore::setRole(const QString &id, const QString &role)
{
    return m_db.exec(QStringLiteral("UPDATE users SET role = ? WHERE id = ?"), {role, id});
}
