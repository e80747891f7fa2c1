#include "storage/SessionStore.h"

#include "storage/Database.h"
#include "accounts/SecureRandom.h"

#include <QSqlQuery>

QString SessionStore::create(const QString &userId, qint64 nowMs)
{
    const QString token = SecureRandom::token();
    if (!m_db.exec(QStringLiteral("INSERT INTO sessions(token_hash, user_id, created_at) VALUES(?, ?, ?)"),
                   {SecureRandom::tokenHash(token), userId, nowMs}))
        return {};
    return token;
}

std::optional<QString> SessionStore::ownerOf(const QString &tokenHash, qint64 notBeforeMs)
{
    QSqlQuery row = m_db.run(QStringLiteral("SELECT user_id FROM sessions WHERE token_hash = ? AND created_at >= ?"),
                             {tokenHash, notBeforeMs});
    if (!row.next())
        return std::nullopt;
    return row.value(0).toString();
}

void SessionStore::remove(const QString &tokenHash)
{
    m_db.exec(QStringLiteral("DELETE FROM sessions WHERE token_hash = ?"), {tokenHash});
}

std::optional<QStringList> SessionStore::removeAllOf(const QString &userId, const QString &keepHash)
{
    // "IS DISTINCT FROM": with no session to keep the parameter is NULL, and "!= NULL" would match nothing.
    const QVariant keep = keepHash.isEmpty() ? QVariant() : QVariant(keepHash);
    return removeWhere(QStringLiteral("user_id = ? AND token_hash IS DISTINCT FROM ?"), {userId, keep});
}

std::optional<QStringList> SessionStore::trimTo(const QString &userId, int keep)
{
    return removeWhere(QStringLiteral("user_id = ? AND token_hash NOT IN (SELECT token_hash FROM sessions WHERE user_id = ? "
                                      "ORDER BY created_at DESC, rowid DESC LIMIT ?)"),
                       {userId, userId, keep});
}

std::optional<QStringList> SessionStore::removeWhere(const QString &condition, const QVariantList &values)
{
    QStringList removed;
    QSqlQuery rows = m_db.run(QStringLiteral("SELECT token_hash FROM sessions WHERE ") + condition, values);
    while (rows.next())
        removed << rows.value(0).toString();
    if (!removed.isEmpty() && !m_db.exec(QStringLiteral("DELETE FROM sessions WHERE ") + condition, values))
        return std::nullopt;
    return removed;
}

void SessionStore::removeCreatedBefore(qint64 cutoffMs)
{
    m_db.exec(QStringLiteral("DELETE FROM sessions WHERE created_at < ?"), {cutoffMs});
}
