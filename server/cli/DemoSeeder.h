#pragma once
// Fills an empty data folder with a small community for demos and screenshots: a handful of users
// with avatars, friendships, a group, hall, direct and group history, and moments with pictures.
// Running it again changes nothing.
#include <QString>
#include <QStringList>

class DemoSeeder
{
public:
    struct Account
    {
        QString username;
        QString password;
        bool admin = false;
    };
    static QList<Account> accounts();

    // False with `error` set when the data folder cannot be used; `seeded` tells whether anything was added.
    static bool seed(const QString &dataDir, const QString &databaseUrl, bool *seeded, QString *error);
};
