#include "accounts/AccountService.h"

#include "core/Clock.h"
#include "storage/Database.h"
#include "core/Limits.h"
#include "accounts/SecureRandom.h"
#include "core/WorkerPool.h"

#include <QRegularExpression>

namespace {
const QString NameRule = QStringLiteral("用户名需为2-20位字母、数字或中文");
const QString PasswordRule = QStringLiteral("密码长度需为4-64位");
const QString BadCredentials = QStringLiteral("用户名或密码错误");
const QString TooManyTries = QStringLiteral("尝试次数过多，请稍后再试");
const QString Banned = QStringLiteral("账号已被封禁");
const QString NameTaken = QStringLiteral("用户名已被占用");
const QString NoSuchUser = QStringLiteral("用户不存在");
const QString ServerFault = QStringLiteral("服务器错误，请稍后再试");
const QString SessionEnded = QStringLiteral("登录已失效，请重新登录");
const QString PasswordChanged = QStringLiteral("密码已修改，请重新登录");
} // namespace

AccountService::AccountService(Database &db, const Clock &clock, const Limits &limits, PasswordHasher hasher)
    : m_db(db), m_clock(clock), m_limits(limits), m_hasher(hasher), m_users(db), m_sessions(db),
      m_throttle(db, clock, limits.loginThrottleWindowMs), m_signIns(clock, limits.signInBurst, limits.signInsPerSecond),
      m_dummyHash(hasher.hash(SecureRandom::token()))
{
}

bool AccountService::isValidUsername(const QString &name)
{
    static const QRegularExpression rule(QStringLiteral("^[A-Za-z0-9\\x{4e00}-\\x{9fa5}]{2,20}$"));
    return rule.match(name).hasMatch();
}

bool AccountService::isValidPassword(const QString &password)
{
    return password.size() >= 4 && password.size() <= 64;
}

std::optional<Refusal> AccountService::refuseNewUser(const QString &username, const QString &password)
{
    if (!isValidUsername(username))
        return Refusal{400, NameRule};
    if (!isValidPassword(password))
        return Refusal{400, PasswordRule};
    if (m_users.byName(username))
        return Refusal{409, NameTaken};
    return std::nullopt;
}

Outcome<User> AccountService::insertUser(const QString &username, const QString &passwordHash, bool admin)
{
    if (m_users.byName(username)) // taken while the hash was being made
        return Refusal{409, NameTaken};
    StoredUser stored;
    stored.user.id = SecureRandom::id(QStringLiteral("u"));
    stored.user.username = username;
    stored.user.role = admin ? QStringLiteral("admin") : QStringLiteral("user");
    stored.user.createdAt = m_clock.nowMs();
    stored.passwordHash = passwordHash;
    if (stored.passwordHash.isEmpty() || !m_users.insert(stored))
        return Refusal{500, ServerFault};
    return stored.user;
}

Outcome<User> AccountService::createUser(const QString &username, const QString &password, bool admin)
{
    if (const std::optional<Refusal> refusal = refuseNewUser(username, password))
        return *refusal;
    return insertUser(username, m_hasher.hash(password), admin);
}

void AccountService::registerUser(WorkerPool &workers, const QString &username, const QString &password,
                                  const QString &address, Reply<User> done)
{
    const QString addressKey = QStringLiteral("register:") + address;
    if (m_throttle.blocked(addressKey, m_limits.registrationsPerAddress))
        return done(Refusal{429, TooManyTries});
    if (const std::optional<Refusal> refusal = refuseNewUser(username, password))
        return done(*refusal);
    m_throttle.recordFailure(addressKey); // counts registrations, successful ones included
    const PasswordHasher hasher = m_hasher;
    const bool queued = workers.run<QString>([hasher, password] { return hasher.hash(password); },
                                             [this, username, addressKey, done](const QString &hash) {
                                                 const Outcome<User> created = insertUser(username, hash, false);
                                                 if (!created)
                                                     m_throttle.withdraw(addressKey);
                                                 done(created);
                                             });
    if (!queued) {
        m_throttle.withdraw(addressKey);
        done(WorkerPool::busy());
    }
}

std::optional<Refusal> AccountService::throttled(const QString &username, const QString &address)
{
    if (m_throttle.blocked(QStringLiteral("name:") + username.toLower(), m_limits.failedLoginsPerName)
        || m_throttle.blocked(QStringLiteral("address:") + address, m_limits.failedLoginsPerAddress))
        return Refusal{429, TooManyTries};
    return std::nullopt;
}

void AccountService::recordFailure(const QString &username, const QString &address)
{
    m_throttle.recordFailure(QStringLiteral("name:") + username.toLower());
    m_throttle.recordFailure(QStringLiteral("address:") + address);
}

void AccountService::withdrawFailure(const QString &username, const QString &address)
{
    m_throttle.withdraw(QStringLiteral("name:") + username.toLower());
    m_throttle.withdraw(QStringLiteral("address:") + address);
}

void AccountService::login(WorkerPool &workers, const QString &username, const QString &password,
                           const QString &address, Reply<SignIn> done)
{
    if (const std::optional<Refusal> refusal = throttled(username, address))
        return done(*refusal);
    const std::optional<StoredUser> stored = m_users.byName(username);
    const QString hash = stored ? stored->passwordHash : m_dummyHash;
    const QString userId = stored ? stored->user.id : QString();
    recordFailure(username, address);
    const PasswordHasher hasher = m_hasher;
    const bool queued = workers.run<bool>([hasher, password, hash] { return hasher.verify(password, hash); },
                                          [this, username, address, userId, hash, done](bool verified) {
                                              if (userId.isEmpty() || !verified)
                                                  return done(Refusal{401, BadCredentials});
                                              withdrawFailure(username, address);
                                              // The oldest sessions, dropped to keep within the cap, end with the sign-in.
                                              Outcome<SignIn> signIn = Refusal{500, ServerFault};
                                              const bool committed = m_sessionChange([&] {
                                                  signIn = openSession(userId, hash, address);
                                                  return signIn ? signIn->droppedHashes : QStringList();
                                              }, SessionEnded);
                                              done(committed ? signIn : Refusal{500, ServerFault});
                                          });
    if (!queued) {
        withdrawFailure(username, address);
        done(WorkerPool::busy());
    }
}

Outcome<AccountService::SignIn> AccountService::openSession(const QString &userId, const QString &verifiedHash,
                                                            const QString &address)
{
    const std::optional<StoredUser> stored = m_users.byId(userId);
    if (!stored || stored->passwordHash != verifiedHash)
        return Refusal{401, BadCredentials};
    if (stored->isBanned())
        return Refusal{403, Banned};
    if (!m_signIns.take(address))
        return Refusal{429, TooManyTries};
    m_throttle.clear(QStringLiteral("name:") + stored->user.username.toLower());
    const QString token = m_sessions.create(userId, m_clock.nowMs());
    if (token.isEmpty())
        return Refusal{500, ServerFault};
    return SignIn{token, stored->user, m_sessions.trimTo(userId, m_limits.sessionsPerUser).value_or(QStringList())};
}

std::optional<StoredUser> AccountService::authenticate(const QString &token)
{
    if (token.isEmpty())
        return std::nullopt;
    const std::optional<QString> owner =
        m_sessions.ownerOf(SecureRandom::tokenHash(token), m_clock.nowMs() - m_limits.sessionLifetimeMs);
    if (!owner)
        return std::nullopt;
    std::optional<StoredUser> stored = m_users.byId(*owner);
    if (!stored || stored->isBanned())
        return std::nullopt;
    return stored;
}

void AccountService::logout(const QString &token)
{
    if (!token.isEmpty())
        m_sessions.remove(SecureRandom::tokenHash(token));
}

Outcome<User> AccountService::changeUsername(const QString &userId, const QString &newName)
{
    if (!isValidUsername(newName))
        return Refusal{400, NameRule};
    const std::optional<StoredUser> holder = m_users.byName(newName);
    if (holder && holder->user.id != userId)
        return Refusal{409, NameTaken};
    if (!m_users.setUsername(userId, newName))
        return Refusal{500, ServerFault};
    const std::optional<StoredUser> updated = m_users.byId(userId);
    if (!updated)
        return Refusal{404, NoSuchUser};
    return updated->user;
}

void AccountService::changePassword(WorkerPool &workers, const QString &userId, const QString &currentToken,
                                    const QString &oldPassword, const QString &newPassword,
                                    const QString &confirmation, const QString &address, Reply<Sessions> done)
{
    const std::optional<StoredUser> stored = m_users.byId(userId);
    if (!stored)
        return done(Refusal{404, NoSuchUser});
    const QString username = stored->user.username;
    if (const std::optional<Refusal> refusal = throttled(username, address))
        return done(*refusal);
    if (newPassword != confirmation)
        return done(Refusal{400, QStringLiteral("两次输入的新密码不一致")});
    if (!isValidPassword(newPassword))
        return done(Refusal{400, PasswordRule});
    recordFailure(username, address);
    const PasswordHasher hasher = m_hasher;
    // The new hash, or nothing when the old password is wrong.
    const auto work = [hasher, oldPassword, newPassword, oldHash = stored->passwordHash]() -> std::optional<QString> {
        if (!hasher.verify(oldPassword, oldHash))
            return std::nullopt;
        return hasher.hash(newPassword);
    };
    const auto finish = [this, userId, username, address, tokenHash = SecureRandom::tokenHash(currentToken),
                         done](const std::optional<QString> &hash) {
        if (!hash)
            return done(Refusal{400, QStringLiteral("原密码错误")});
        withdrawFailure(username, address);
        if (hash->isEmpty())
            return done(Refusal{500, ServerFault});
        // The new password and the end of every other session commit together.
        std::optional<QStringList> ended;
        const bool committed = m_sessionChange([&] {
            ended = m_users.setPasswordHash(userId, *hash) ? m_sessions.removeAllOf(userId, tokenHash) : std::nullopt;
            return ended.value_or(QStringList());
        }, PasswordChanged);
        done(committed && ended ? Outcome<Sessions>(Sessions{*ended}) : Refusal{500, ServerFault});
    };
    if (!workers.run<std::optional<QString>>(work, finish)) {
        withdrawFailure(username, address);
        done(WorkerPool::busy());
    }
}

Outcome<AccountService::Sessions> AccountService::setBanned(const QString &username, bool banned)
{
    const std::optional<StoredUser> stored = m_users.byName(username);
    if (!stored)
        return Refusal{404, NoSuchUser};
    if (!m_db.transaction())
        return Refusal{500, ServerFault};
    const std::optional<QStringList> ended = banned ? m_sessions.removeAllOf(stored->user.id) : QStringList();
    if (!ended || !m_users.setBanned(stored->user.id, banned) || !m_db.commit()) {
        m_db.rollback();
        return Refusal{500, ServerFault};
    }
    return Sessions{*ended};
}

void AccountService::pruneSessions()
{
    m_sessions.removeCreatedBefore(m_clock.nowMs() - m_limits.sessionLifetimeMs);
}
