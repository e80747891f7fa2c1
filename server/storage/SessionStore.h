#pragma once
// Session tokens as the server keeps them: only the SHA-256 of each token, with its owner and age.
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <optional>

class Database;

class SessionStore
{
public:
    explicit SessionStore(Database &db) : m_db(db) {}

    // Creates a session and returns the token; the token itself is never stored.
    QString create(const QString &userId, qint64 nowMs);
    // The owner of a token hash created after `notBeforeMs`.
    std::optional<QString> ownerOf(const QString &tokenHash, qint64 notBeforeMs);
    void remove(const QString &tokenHash);
    // Removes the user's sessions except `keepHash` and returns the removed hashes (none on failure).
    std::optional<QStringList> removeAllOf(const QString &userId, const QString &keepHash = {});
    // Removes all but the user's `keep` newest sessions and returns the removed hashes.
    std::optional<QStringList> trimTo(const QString &userId, int keep);
    // Drops sessions too old to be accepted any more.
    void removeCreatedBefore(qint64 cutoffMs);

private:
    std::optional<QStringList> removeWhere(const QString &condition, const QVariantList &values);
    Database &m_db;
};
