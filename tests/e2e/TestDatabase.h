#pragma once
// Where a test server keeps its data. By default SQLite in its data folder; under scripts/with-postgres
// (which names a private cluster in ZEPHLIN_TEST_POSTGRES) a fresh PostgreSQL database per data folder,
// so that the same cases run against both backends.
#include <QString>
#include <QStringList>

class TestDatabase
{
public:
    static bool onPostgres();
    // The --database address for the data folder (created on first use), or empty for SQLite.
    static QString urlFor(const QString &dataDir);
    // The command-line options that point a zephlin-server command at that database.
    static QStringList arguments(const QString &dataDir);
};
