#pragma once
// The server's one SQLite database (WAL, synchronous=FULL so that a committed message survives a crash),
// with its schema brought up to date by numbered migrations recorded in PRAGMA user_version.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

class Database
{
public:
    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens (creating if needed) and migrates; false with errorText() on failure.
    bool open(const QString &path);
    QString errorText() const { return m_error; }
    int schemaVersion();

    // Runs one statement with positional bindings. A failed statement is logged and returns an inactive
    // query, so readers see "no rows" and writers can check isActive().
    QSqlQuery run(const QString &sql, const QVariantList &bindings = {});
    bool exec(const QString &sql, const QVariantList &bindings = {}) { return run(sql, bindings).isActive(); }
    // The first column of the first row, or an invalid QVariant.
    QVariant scalar(const QString &sql, const QVariantList &bindings = {});

    bool transaction();
    bool commit();
    void rollback();

private:
    bool migrate();

    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
};
