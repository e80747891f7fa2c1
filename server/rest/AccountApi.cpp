#include "rest/AccountApi.h"

#include "accounts/AccountService.h"
#include "live/ChatHub.h"
#include "live/FriendCommands.h"
#include "storage/FriendStore.h"
#include "core/Limits.h"
#include "rest/RestSupport.h"
#include "accounts/SecureRandom.h"

#include <QHttpServer>

namespace {
QString text(const QJsonObject &body, const char *key)
{
    return body.value(QLatin1String(key)).toString();
}
} // namespace

void AccountApi::registerRoutes(QHttpServer &server)
{
    const auto post = QHttpServerRequest::Method::Post;
    // What closes other connections or tells other users commits together with the events it sends.
    const auto changing = [this](QHttpServerResponse (AccountApi::*handler)(const QHttpServerRequest &)) {
        return [this, handler](const QHttpServerRequest &r) {
            return RestSupport::asOneChange(m_context.hub, [&] { return (this->*handler)(r); });
        };
    };
    server.route("/api/login", post, changing(&AccountApi::login));
    server.route("/api/register", post, [this](const QHttpServerRequest &r) { return registerUser(r); });
    server.route("/api/logout", post, changing(&AccountApi::logout));
    server.route("/api/me", post, [this](const QHttpServerRequest &r) { return me(r); });
    server.route("/api/change-username", post, changing(&AccountApi::changeUsername));
    server.route("/api/change-password", post, changing(&AccountApi::changePassword));
}

QHttpServerResponse AccountApi::login(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const QString username = text(*body, "username").trimmed();
    const QString password = text(*body, "password");
    if (username.isEmpty() || password.isEmpty())
        return RestSupport::error({400, QStringLiteral("请输入用户名和密码")});
    const Outcome<AccountService::SignIn> signIn =
        m_context.accounts.login(username, password, RestSupport::address(request));
    if (!signIn)
        return RestSupport::error(signIn.refusal());
    m_context.hub.closeSessions(signIn->droppedHashes, {{QStringLiteral("type"), QStringLiteral("kicked")},
                                                        {QStringLiteral("error"), QStringLiteral("登录已失效，请重新登录")}});
    QHttpServerResponse response = RestSupport::json(
        {{QStringLiteral("ok"), true}, {QStringLiteral("token"), signIn->token}, {QStringLiteral("user"), toJson(signIn->user)}});
    RestSupport::setSessionCookie(response, signIn->token, m_context.limits.sessionLifetimeMs / 1000);
    return response;
}

QHttpServerResponse AccountApi::registerUser(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const Outcome<User> created = m_context.accounts.registerUser(text(*body, "username").trimmed(),
                                                                  text(*body, "password"), RestSupport::address(request));
    if (!created)
        return RestSupport::error(created.refusal());
    return RestSupport::json({{QStringLiteral("ok"), true}});
}

QHttpServerResponse AccountApi::logout(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    const QString fromBody = body ? RestSupport::token(*body) : QString();
    const QString token = fromBody.isEmpty() ? RestSupport::cookieToken(request) : fromBody;
    if (!token.isEmpty()) {
        m_context.accounts.logout(token);
        // The signed-out token's connections are closed too: they must not outlive the session.
        m_context.hub.closeSessions({SecureRandom::tokenHash(token)}, {});
    }
    QHttpServerResponse response = RestSupport::json({{QStringLiteral("ok"), true}});
    RestSupport::setSessionCookie(response, QString(), 0);
    return response;
}

QHttpServerResponse AccountApi::me(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const std::optional<StoredUser> user = m_context.accounts.authenticate(RestSupport::token(*body));
    if (!user)
        return RestSupport::unauthorized();
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("user"), toJson(user->user)}});
}

QHttpServerResponse AccountApi::changeUsername(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const std::optional<StoredUser> user = m_context.accounts.authenticate(RestSupport::token(*body));
    if (!user)
        return RestSupport::unauthorized();
    const Outcome<User> renamed = m_context.accounts.changeUsername(user->user.id, text(*body, "newUsername").trimmed());
    if (!renamed)
        return RestSupport::error(renamed.refusal());
    m_friends.sendFriendLists(m_context.friends.friendsOf(user->user.id));
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("user"), toJson(renamed.value())}});
}

QHttpServerResponse AccountApi::changePassword(const QHttpServerRequest &request)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const QString token = RestSupport::token(*body);
    const std::optional<StoredUser> user = m_context.accounts.authenticate(token);
    if (!user)
        return RestSupport::unauthorized();
    const Outcome<AccountService::Sessions> changed = m_context.accounts.changePassword(
        user->user.id, token, text(*body, "oldPassword"), text(*body, "newPassword"), text(*body, "newPassword2"),
        RestSupport::address(request));
    if (!changed)
        return RestSupport::error(changed.refusal());
    m_context.hub.closeSessions(changed->revokedHashes, {{QStringLiteral("type"), QStringLiteral("kicked")},
                                                         {QStringLiteral("error"), QStringLiteral("密码已修改，请重新登录")}});
    return RestSupport::json({{QStringLiteral("ok"), true}});
}
