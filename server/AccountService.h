#pragma once
// Registration, sign-in, sessions and account changes, with the client's rules for names and
// passwords, Argon2id hashes and throttling of repeated failures.
#include "LoginThrottle.h"
#include "Outcome.h"
#include "PasswordHasher.h"
#include "SessionStore.h"
#include "UserStore.h"

class Clock;
struct Limits;

class AccountService
{
public:
    struct SignIn
    {
        QString token;
        User user;
    };
    struct Sessions
    {
        QStringList revokedHashes;
    };

    AccountService(Database &db, const Clock &clock, const Limits &limits, PasswordHasher hasher);

    static bool isValidUsername(const QString &name);
    static bool isValidPassword(const QString &password);

    Outcome<User> registerUser(const QString &username, const QString &password, const QString &address);
    Outcome<SignIn> login(const QString &username, const QString &password, const QString &address);
    // The signed-in, non-banned owner of a token.
    std::optional<StoredUser> authenticate(const QString &token);
    void logout(const QString &token);

    Outcome<User> changeUsername(const QString &userId, const QString &newName);
    // Changes the password and ends every other session of the user.
    Outcome<Sessions> changePassword(const QString &userId, const QString &currentToken, const QString &oldPassword,
                                     const QString &newPassword, const QString &confirmation);
    // For the operator's command line and the demo: no throttling, optional admin role.
    Outcome<User> createUser(const QString &username, const QString &password, bool admin);
    // Bans or lifts a ban; a ban ends every session of the user.
    Outcome<Sessions> setBanned(const QString &username, bool banned);

    UserStore &users() { return m_users; }

private:
    const Clock &m_clock;
    const Limits &m_limits;
    PasswordHasher m_hasher;
    UserStore m_users;
    SessionStore m_sessions;
    LoginThrottle m_throttle;
};
