#pragma once
// Counts failed sign-ins per user name and per address in a sliding window; once a key passes its
// limit, sign-ins for it are refused until its oldest failure leaves the window. The counts live in
// the database, so that every node sharing it counts the same guesses.
#include <QString>

class Clock;
class Database;

class LoginThrottle
{
public:
    LoginThrottle(Database &db, const Clock &clock, qint64 windowMs);

    bool blocked(const QString &key, int limit);
    void recordFailure(const QString &key);
    // Takes back the latest failure: an attempt counted before its outcome was known succeeded.
    void withdraw(const QString &key);
    void clear(const QString &key);

private:
    Database &m_db;
    const Clock &m_clock;
    qint64 m_windowMs;
};
