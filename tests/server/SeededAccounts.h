#pragma once
// Accounts written straight into a server's database, with cheap hashes and a session each, for tests
// that need many signed-in users of the real server process.
#include "storage/Database.h"

#include <QList>
#include <QString>

class SeededAccounts
{
public:
    struct Account
    {
        QString id;
        QString name;
        QString token;
    };

    explicit SeededAccounts(const QString &dataDir);

    // The password of every seeded account.
    static QString password() { return QStringLiteral("pass1234"); }
    Account add(const QString &name, bool admin = false);
    // `count` accounts named prefix0, prefix1, … in one transaction.
    QList<Account> addMany(const QString &prefix, int count);
    void befriend(const Account &a, const Account &b);
    Database &database() { return m_db; }

private:
    Database m_db;
};
