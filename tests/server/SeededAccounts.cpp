#include "SeededAccounts.h"

#include "accounts/AccountService.h"
#include "core/Clock.h"
#include "storage/FriendStore.h"
#include "core/Limits.h"
#include "storage/SessionStore.h"
#include "TestDatabase.h"

#include <QDir>
#include <QtTest>

SeededAccounts::SeededAccounts(const QString &dataDir)
{
    if (!m_db.open(Database::location(dataDir, TestDatabase::urlFor(dataDir))))
        qFatal("cannot open the database: %s", qPrintable(m_db.errorText()));
}

SeededAccounts::Account SeededAccounts::add(const QString &name, bool admin)
{
    const Clock clock;
    const Limits limits;
    AccountService accounts(m_db, clock, limits, PasswordHasher(PasswordHasher::testCost()));
    const Outcome<User> user = accounts.createUser(name, password(), admin);
    if (!user)
        qFatal("cannot create %s: %s", qPrintable(name), qPrintable(user.refusal().message));
    return {user->id, name, SessionStore(m_db).create(user->id, clock.nowMs())};
}

QList<SeededAccounts::Account> SeededAccounts::addMany(const QString &prefix, int count)
{
    QList<Account> made;
    m_db.transaction();
    for (int i = 0; i < count; ++i)
        made << add(prefix + QString::number(i));
    m_db.commit();
    return made;
}

void SeededAccounts::befriend(const Account &a, const Account &b)
{
    FriendStore(m_db).befriend(a.id, b.id, Clock().nowMs());
}
