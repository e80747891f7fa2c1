#pragma once
// Registration, sign-in, sessions and account changes, with the client's rules for names and
// passwords, Argon2id hashes and throttling of repeated failures.
#include "accounts/LoginThrottle.h"
#include "core/Outcome.h"
#include "accounts/PasswordHasher.h"
#include "core/RateLimiter.h"
#include "storage/SessionStore.h"
#include "storage/UserStore.h"

class Clock;
struct Limits;

class AccountService
{
public:
    struct SignIn
    {
        QString token;
        User user;
        QStringList droppedHashes; // the oldest sessions, dropped to keep the user within the cap
    };
    struct Sessions
    {
        QStringList revokedHashes;
    };

    AccountService(Database &db, const Clock &clock, const Limits &limits, PasswordHasher hasher);

    static bool isValidUsername(const QString &name);
    static bool isValidPassword(const QString &password);

    Outcome<User> registerUser(const QString &username, const QString &password, const QString &address);
    // Wrong passwords count against the name and the address; successful sign-ins are rate-limited
    // per address, and a user keeps at most the session cap (the oldest go).
    Outcome<SignIn> login(const QString &username, const QString &password, const QString &address);
    // The signed-in, non-banned owner of a token.
    std::optional<StoredUser> authenticate(const QString &token);
    void logout(const QString &token);

    Outcome<User> changeUsername(const QString &userId, const QString &newName);
    // Changes the password and ends every other session of the user. A wrong old password counts as a
    // failed sign-in for the user and the address.
    Outcome<Sessions> changePassword(const QString &userId, const QString &currentToken, const QString &oldPassword,
                                     const QString &newPassword, const QString &confirmation, const QString &address);
    // For the operator's command line and the demo: no throttling, optional admin role.
    Outcome<User> createUser(const QString &username, const QString &password, bool admin);
    // Bans or lifts a ban; a ban ends every session of the user, in the same transaction.
    Outcome<Sessions> setBanned(const QString &username, bool banned);
    // Drops sessions too old to be accepted any more.
    void pruneSessions();

    UserStore &users() { return m_users; }

private:
    // Refusal when the name or the address has failed too often.
    std::optional<Refusal> throttled(const QString &username, const QString &address);
    void recordFailure(const QString &username, const QString &address);

    Database &m_db;
    const Clock &m_clock;
    const Limits &m_limits;
    PasswordHasher m_hasher;
    UserStore m_users;
    SessionStore m_sessions;
    LoginThrottle m_throttle;
    RateLimiter m_signIns;
    QString m_dummyHash; // verified for unknown names, so that they take as long as known ones
};
