#include "AccountService.h"

#include "Clock.h"
#include "Limits.h"
#include "SecureRandom.h"

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
} // namespace

AccountService::AccountService(Database &db, const Clock &clock, const Limits &limits, PasswordHasher hasher)
    : m_clock(clock), m_limits(limits), m_hasher(hasher), m_users(db), m_sessions(db),
      m_throttle(clock, limits.loginThrottleWindowMs)
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

Outcome<User> AccountService::createUser(const QString &username, const QString &password, bool admin)
{
    if (!isValidUsername(username))
        return Refusal{400, NameRule};
    if (!isValidPassword(password))
        return Refusal{400, PasswordRule};
    if (m_users.byName(username))
        return Refusal{409, NameTaken};
    StoredUser stored;
    stored.user.id = SecureRandom::id(QStringLiteral("u"));
    stored.user.username = username;
    stored.user.role = admin ? QStringLiteral("admin") : QStringLiteral("user");
    stored.user.createdAt = m_clock.nowMs();
    stored.passwordHash = m_hasher.hash(password);
    if (stored.passwordHash.isEmpty() || !m_users.insert(stored))
        return Refusal{500, ServerFault};
    return stored.user;
}

Outcome<User> AccountService::registerUser(const QString &username, const QString &password, const QString &address)
{
    const QString addressKey = QStringLiteral("register:") + address;
    if (m_throttle.blocked(addressKey, m_limits.registrationsPerAddress))
        return Refusal{429, TooManyTries};
    Outcome<User> created = createUser(username, password, false);
    if (created)
        m_throttle.recordFailure(addressKey); // counts registrations, successful ones included
    return created;
}

Outcome<AccountService::SignIn> AccountService::login(const QString &username, const QString &password,
                                                      const QString &address)
{
    const QString nameKey = QStringLiteral("name:") + username.toLower();
    const QString addressKey = QStringLiteral("address:") + address;
    if (m_throttle.blocked(nameKey, m_limits.failedLoginsPerName)
        || m_throttle.blocked(addressKey, m_limits.failedLoginsPerAddress))
        return Refusal{429, TooManyTries};
    const std::optional<StoredUser> stored = m_users.byName(username);
    if (!stored || !m_hasher.verify(password, stored->passwordHash)) {
        m_throttle.recordFailure(nameKey);
        m_throttle.recordFailure(addressKey);
        return Refusal{401, BadCredentials};
    }
    if (stored->isBanned())
        return Refusal{403, Banned};
    m_throttle.clear(nameKey);
    const QString token = m_sessions.create(stored->user.id, m_clock.nowMs());
    if (token.isEmpty())
        return Refusal{500, ServerFault};
    return SignIn{token, stored->user};
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

Outcome<AccountService::Sessions> AccountService::changePassword(const QString &userId, const QString &currentToken,
                                                                 const QString &oldPassword,
                                                                 const QString &newPassword,
                                                                 const QString &confirmation)
{
    const std::optional<StoredUser> stored = m_users.byId(userId);
    if (!stored)
        return Refusal{404, NoSuchUser};
    if (newPassword != confirmation)
        return Refusal{400, QStringLiteral("两次输入的新密码不一致")};
    if (!isValidPassword(newPassword))
        return Refusal{400, PasswordRule};
    if (!m_hasher.verify(oldPassword, stored->passwordHash))
        return Refusal{400, QStringLiteral("原密码错误")};
    const QString hash = m_hasher.hash(newPassword);
    if (hash.isEmpty() || !m_users.setPasswordHash(userId, hash))
        return Refusal{500, ServerFault};
    return Sessions{m_sessions.removeAllOf(userId, SecureRandom::tokenHash(currentToken))};
}

Outcome<AccountService::Sessions> AccountService::setBanned(const QString &username, bool banned)
{
    const std::optional<StoredUser> stored = m_users.byName(username);
    if (!stored)
        return Refusal{404, NoSuchUser};
    if (!m_users.setBanned(stored->user.id, banned))
        return Refusal{500, ServerFault};
    return Sessions{banned ? m_sessions.removeAllOf(stored->user.id) : QStringList()};
}
