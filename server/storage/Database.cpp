#include "storage/Database.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QStringList>
#include <QtDebug>

namespace {
QAtomicInt connectionCounter;

// Each entry moves the schema one version up; never edit an entry once released, append a new one.
const QStringList &migrations()
{
    static const QStringList steps = {
        QStringLiteral(R"(
CREATE TABLE users(id TEXT PRIMARY KEY, username TEXT NOT NULL UNIQUE COLLATE NOCASE,
  password_hash TEXT NOT NULL, avatar TEXT, role TEXT NOT NULL DEFAULT 'user',
  banned INTEGER NOT NULL DEFAULT 0, created_at INTEGER NOT NULL);
CREATE TABLE sessions(token_hash TEXT PRIMARY KEY, user_id TEXT NOT NULL REFERENCES users(id) ON DELETE CASCADE,
  created_at INTEGER NOT NULL);
CREATE INDEX sessions_user ON sessions(user_id);
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE messages(seq INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT NOT NULL UNIQUE, room TEXT NOT NULL,
  sender TEXT NOT NULL, content TEXT NOT NULL, images TEXT, time INTEGER NOT NULL, to_id TEXT, gid TEXT);
CREATE INDEX messages_room ON messages(room, seq);
CREATE TABLE friendships(user_a TEXT NOT NULL, user_b TEXT NOT NULL, created_at INTEGER NOT NULL,
  PRIMARY KEY(user_a, user_b));
CREATE INDEX friendships_b ON friendships(user_b);
CREATE TABLE friend_requests(id TEXT PRIMARY KEY, from_id TEXT NOT NULL, to_id TEXT NOT NULL,
  time INTEGER NOT NULL, UNIQUE(from_id, to_id));
CREATE TABLE chat_groups(id TEXT PRIMARY KEY, name TEXT NOT NULL, owner TEXT NOT NULL, avatar TEXT,
  created_at INTEGER NOT NULL);
CREATE TABLE group_members(gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE,
  user_id TEXT NOT NULL, UNIQUE(gid, user_id));
CREATE INDEX group_members_user ON group_members(user_id);
CREATE TABLE group_applications(id TEXT PRIMARY KEY, gid TEXT NOT NULL REFERENCES chat_groups(id) ON DELETE CASCADE,
  from_id TEXT NOT NULL, time INTEGER NOT NULL, UNIQUE(gid, from_id));
CREATE TABLE moments(id TEXT PRIMARY KEY, author TEXT NOT NULL, text TEXT NOT NULL, images TEXT,
  time INTEGER NOT NULL);
CREATE TABLE moment_likes(mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, user_id TEXT NOT NULL,
  UNIQUE(mid, user_id));
CREATE TABLE moment_comments(mid TEXT NOT NULL REFERENCES moments(id) ON DELETE CASCADE, author TEXT NOT NULL,
  text TEXT NOT NULL, time INTEGER NOT NULL);
CREATE INDEX moment_comments_mid ON moment_comments(mid);
)"),
        // The sender's own id of a message: a message sent again after a lost echo is found by it.
        QStringLiteral(R"(
ALTER TABLE messages ADD COLUMN client_id TEXT;
CREATE UNIQUE INDEX messages_client ON messages(sender, client_id);
)"),
    };
    return steps;
}
} // namespace

Database::Database()
    : m_connectionName(QStringLiteral("zephlin-server-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
}

Database::~Database()
{
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool Database::open(const QString &path)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return false;
    }
    const QStringList pragmas = {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL"),
                                 QStringLiteral("PRAGMA foreign_keys=ON")};
    for (const QString &pragma : pragmas) {
        QSqlQuery query(m_db);
        if (!query.exec(pragma)) {
            m_error = query.lastError().text();
            return false;
        }
    }
    return migrate();
}

int Database::schemaVersion()
{
    return scalar(QStringLiteral("PRAGMA user_version")).toInt();
}

bool Database::migrate()
{
    const QStringList &steps = migrations();
    for (int version = schemaVersion(); version < steps.size(); ++version) {
        if (!transaction()) {
            m_error = m_db.lastError().text();
            return false;
        }
        const QStringList statements = steps.at(version).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString &statement : statements) {
            if (statement.trimmed().isEmpty())
                continue;
            QSqlQuery query(m_db);
            if (!query.exec(statement)) {
                m_error = QStringLiteral("migration %1: %2").arg(version + 1).arg(query.lastError().text());
                rollback();
                return false;
            }
        }
        QSqlQuery bump(m_db);
        if (!bump.exec(QStringLiteral("PRAGMA user_version=%1").arg(version + 1)) || !commit()) {
            m_error = m_db.lastError().text();
            rollback();
            return false;
        }
    }
    return true;
}

QSqlQuery Database::run(const QString &sql, const QVariantList &bindings)
{
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        qWarning().noquote() << "SQL prepare failed:" << query.lastError().text() << sql;
        return QSqlQuery(m_db);
    }
    for (const QVariant &value : bindings)
        query.addBindValue(value);
    if (!query.exec()) {
        qWarning().noquote() << "SQL failed:" << query.lastError().text() << sql;
        return QSqlQuery(m_db);
    }
    return query;
}

QVariant Database::scalar(const QString &sql, const QVariantList &bindings)
{
    QSqlQuery query = run(sql, bindings);
    return query.next() ? query.value(0) : QVariant();
}

bool Database::transaction()
{
    return m_db.transaction();
}

bool Database::commit()
{
    return m_db.commit();
}

void Database::rollback()
{
    m_db.rollback();
}
