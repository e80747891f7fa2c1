#pragma once
// Registration, sign-in, sessions and account changes, with the client's rules for names and
// passwords, Argon2id hashes and throttling of repeated failures. The server hashes and verifies
// passwords on a worker pool: the operations that do so answer through a callback on the event loop.
#include "accounts/LoginThrottle.h"
#include "core/Outcome.h"
#include "accounts/PasswordHasher.h"
#include "core/RateLimiter.h"
#include "storage/SessionStore.h"
#include "storage/UserStore.h"

#include <functional>

class Clock;
class WorkerPool;
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

    template <typename T>
    using Reply = std::function<void(const Outcome<T> &outcome)>;
    // Runs `change`, which returns the token hashes of the sessions it ended, and closes their
    // connections with `reason` as one unit of work; false when it rolled back.
    using SessionChange = std::function<bool(const std::function<QStringList()> &change, const QString &reason)>;

    AccountService(Database &db, const Clock &clock, const Limits &limits, PasswordHasher hasher);

    static bool isValidUsername(const QString &name);
    static bool isValidPassword(const QString &password);

    // These run Argon2 on `workers` and answer through `done` (at once when refused before hashing,
    // 503 when the pool is full). An attempt counts against its throttles from the start, so that
    // attempts in flight together cannot pass a limit that each would meet alone.
    void registerUser(WorkerPool &workers, const QString &username, const QString &password, const QString &address,
                      Reply<User> done);
    // Wrong passwords count against the name and the address; successful sign-ins are rate-limited
    // per address, and a user keeps at most the session cap (the oldest go).
    void login(WorkerPool &workers, const QString &username, const QString &password, const QString &address,
               Reply<SignIn> done);
    // The signed-in, non-banned owner of a token.
    std::optional<StoredUser> authenticate(const QString &token);
    void logout(const QString &token);

    Outcome<User> changeUsername(const QString &userId, const QString &newName);
    // Changes the password and ends every other session of the user. A wrong old password counts as a
    // failed sign-in for the user and the address.
    void changePassword(WorkerPool &workers, const QString &userId, const QString &currentToken,
                        const QString &oldPassword, const QString &newPassword, const QString &confirmation,
                        const QString &address, Reply<Sessions> done);
    // For the operator's command line and the demo: no throttling, optional admin role.
    Outcome<User> createUser(const QString &username, const QString &password, bool admin);
    // Bans or lifts a ban; a ban ends every session of the user, in the same transaction.
    Outcome<Sessions> setBanned(const QString &username, bool banned);
    // Drops sessions too old to be accepted any more.
    void pruneSessions();
    // How a sign-in and a password change end other sessions (by default their rows only), so that on
    // a site of several nodes the closing of their connections commits with the change.
    void setSessionChange(SessionChange change) { m_sessionChange = std::move(change); }

    UserStore &users() { return m_users; }

private:
    // Refusal when the name or the address has failed too often.
    std::optional<Refusal> throttled(const QString &username, const QString &address);
    void recordFailure(const QString &username, const QString &address);
    void withdrawFailure(const QString &username, const QString &address);
    std::optional<Refusal> refuseNewUser(const QString &username, const QString &password);
    Outcome<User> insertUser(const QString &username, const QString &passwordHash, bool admin);
    // The session for a user whose password matched `verifiedHash`, unless the account changed meanwhile.
    Outcome<SignIn> openSession(const QString &userId, const QString &verifiedHash, const QString &address);

    Database &m_db;
    const Clock &m_clock;
    const Limits &m_limits;
    PasswordHasher m_hasher;
    UserStore m_users;
    SessionStore m_sessions;
    LoginThrottle m_throttle;
    RateLimiter m_signIns;
    QString m_dummyHash; // verified for unknown names, so that they take as long as known ones
    SessionChange m_sessionChange = [](const std::function<QStringList()> &change, const QString &) {
        change();
        return true;
    };
};
