#include "storage/Database.h"

#include "storage/Schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QSqlError>
#include <QStringList>
#include <QtDebug>

namespace {
QAtomicInt connectionCounter;
// Any constant shared by every node: the key of the advisory lock that serialises migrations.
constexpr qint64 MigrationLockKey = 0x7a65706d6967; // "zepmig"

// Settings of every PostgreSQL connection. A writer waits for another at most as long as SQLite's
// busy timeout, then fails.
QStringList sessionSettings()
{
    return {QStringLiteral("SET client_min_messages = warning"), QStringLiteral("SET lock_timeout = 5000")};
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

QString Database::location(const QString &dataDir, const QString &databaseUrl)
{
    return databaseUrl.isEmpty() ? QDir(dataDir).filePath(QStringLiteral("zephlin.db")) : databaseUrl;
}

bool Database::isPostgresUrl(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

bool Database::open(const QString &location)
{
    const bool opened = isPostgresUrl(location) ? openPostgres(QUrl(location)) : openSqlite(location);
    return opened && migrate();
}

bool Database::openSqlite(const QString &path)
{
    m_backend = Backend::Sqlite;
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return false;
    }
    return runAll({QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL"),
                   QStringLiteral("PRAGMA foreign_keys=ON")});
}

bool Database::openPostgres(const QUrl &url)
{
    m_backend = Backend::Postgres;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        m_error = QStringLiteral("the PostgreSQL driver of Qt SQL (libqt6sql6-psql) is not installed");
        return false;
    }
    const QString name = url.path().mid(1);
    if (!url.isValid() || url.host().isEmpty() || name.isEmpty()) {
        m_error = QStringLiteral("a PostgreSQL address reads postgresql://USER@HOST:PORT/DATABASE");
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    m_db.setHostName(url.host());
    m_db.setPort(url.port(5432));
    m_db.setDatabaseName(name);
    m_db.setUserName(url.userName());
    m_db.setPassword(url.password());
    m_db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return false;
    }
    return runAll(sessionSettings());
}

bool Database::reconnect()
{
    m_db.close();
    if (!m_db.open()) {
        m_error = m_db.lastError().text();
        return false;
    }
    return m_backend == Backend::Sqlite || runAll(sessionSettings());
}

int Database::schemaVersion()
{
    if (m_backend == Backend::Postgres)
        return scalar(QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM schema_version")).toInt();
    return scalar(QStringLiteral("PRAGMA user_version")).toInt();
}

bool Database::migrate()
{
    const bool postgres = m_backend == Backend::Postgres;
    const QStringList &steps = postgres ? Schema::postgresSteps() : Schema::sqliteSteps();
    // Nodes starting together queue on the lock; the first migrates, the others then find nothing to do.
    const QStringList lock = postgres
        ? QStringList{QStringLiteral("BEGIN"), QStringLiteral("SET LOCAL lock_timeout = 0"),
                      QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(MigrationLockKey),
                      QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version(version INTEGER PRIMARY KEY, "
                                     "applied_at TIMESTAMPTZ NOT NULL DEFAULT now())")}
        : QStringList{QStringLiteral("BEGIN IMMEDIATE")};
    if (!runAll(lock)) {
        abandon();
        return false;
    }
    for (int version = schemaVersion(); version < steps.size(); ++version) {
        QStringList statements = steps.at(version).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        statements << (postgres ? QStringLiteral("INSERT INTO schema_version(version) VALUES(%1)")
                                : QStringLiteral("PRAGMA user_version=%1"))
                          .arg(version + 1);
        if (!runAll(statements)) {
            m_error = QStringLiteral("migration %1: %2").arg(version + 1).arg(m_error);
            abandon();
            return false;
        }
    }
    return runAll({QStringLiteral("COMMIT")});
}

void Database::abandon()
{
    const QString error = m_error;
    runAll({QStringLiteral("ROLLBACK")});
    m_error = error;
}

bool Database::runAll(const QStringList &statements)
{
    for (const QString &statement : statements) {
        if (statement.trimmed().isEmpty())
            continue;
        QSqlQuery query(m_db);
        if (!query.exec(statement)) {
            m_error = query.lastError().text();
            return false;
        }
    }
    return true;
}

QSqlQuery Database::run(const QString &sql, const QVariantList &bindings)
{
    QSqlQuery query = attempt(sql, bindings);
    // A PostgreSQL server that dropped the connection (restarted, failed over) is reached again, and the
    // statement retried; not inside a transaction, whose earlier statements went with the connection.
    if (!query.isActive() && m_backend == Backend::Postgres && !m_inTransaction && !m_db.isOpen() && reconnect())
        query = attempt(sql, bindings);
    return query;
}

QSqlQuery Database::attempt(const QString &sql, const QVariantList &bindings)
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
    if (m_backend == Backend::Postgres && !m_db.isOpen())
        reconnect();
    m_inTransaction = m_db.transaction();
    return m_inTransaction;
}

bool Database::commit()
{
    m_inTransaction = false;
    return m_db.commit();
}

void Database::rollback()
{
    m_inTransaction = false;
    m_db.rollback();
}
