#pragma once
// The numbered schema migrations of each backend. Both lists describe the same tables; they differ only
// where the engines do (identity columns, case-insensitive names, PostgreSQL's lack of an implicit rowid).
#include <QStringList>

class Schema
{
public:
    // Each entry moves the schema one version up; never edit an entry once released, append a new one
    // to both lists.
    static const QStringList &sqliteSteps();
    static const QStringList &postgresSteps();
};
