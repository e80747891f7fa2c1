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
    const auto deferred = [this](void (AccountApi::*handler)(const QHttpServerRequest &, const DeferredReply &)) {
        return [this, handler](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            (this->*handler)(request, DeferredReply(std::move(responder)));
        };
    };
    server.route("/api/login", post, deferred(&AccountApi::login));
    server.route("/api/register", post, deferred(&AccountApi::registerUser));
    // What closes other connections or tells other users commits together with the events it sends.
    const auto changing = [this](QHttpServerResponse (AccountApi::*handler)(const QHttpServerRequest &)) {
        return [this, handler](const QHttpServerRequest &r) {
            return RestSupport::asOneChange(m_context.hub, [&] { return (this->*handler)(r); });
        };
    };
    server.route("/api/logout", post, changing(&AccountApi::logout));
    server.route("/api/me", post, [this](const QHttpServerRequest &r) { return me(r); });
    server.route("/api/change-username", post, changing(&AccountApi::changeUsername));
    server.route("/api/change-password", post, deferred(&AccountApi::changePassword));
}

void AccountApi::login(const QHttpServerRequest &request, const DeferredReply &reply)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return reply.send(RestSupport::error(body.refusal()));
    const QString username = text(*body, "username").trimmed();
    const QString password = text(*body, "password");
    if (username.isEmpty() || password.isEmpty())
        return reply.send(RestSupport::error({400, QStringLiteral("请输入用户名和密码")}));
    m_context.accounts.login(m_passwords, username, password, RestSupport::address(request),
                             [this, reply](const Outcome<AccountService::SignIn> &signIn) {
        if (!signIn)
            return reply.send(RestSupport::error(signIn.refusal()));
        QHttpServerResponse response = RestSupport::json(
            {{QStringLiteral("ok"), true}, {QStringLiteral("token"), signIn->token}, {QStringLiteral("user"), toJson(signIn->user)}});
        RestSupport::setSessionCookie(response, signIn->token, m_context.limits.sessionLifetimeMs / 1000);
        reply.send(response);
    });
}

void AccountApi::registerUser(const QHttpServerRequest &request, const DeferredReply &reply)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return reply.send(RestSupport::error(body.refusal()));
    m_context.accounts.registerUser(m_passwords, text(*body, "username").trimmed(), text(*body, "password"),
                                    RestSupport::address(request), [reply](const Outcome<User> &created) {
        reply.send(created ? RestSupport::json({{QStringLiteral("ok"), true}}) : RestSupport::error(created.refusal()));
    });
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

void AccountApi::changePassword(const QHttpServerRequest &request, const DeferredReply &reply)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxSmallBody);
    if (!body)
        return reply.send(RestSupport::error(body.refusal()));
    const QString token = RestSupport::token(*body);
    const std::optional<StoredUser> user = m_context.accounts.authenticate(token);
    if (!user)
        return reply.send(RestSupport::unauthorized());
    m_context.accounts.changePassword(
        m_passwords, user->user.id, token, text(*body, "oldPassword"), text(*body, "newPassword"),
        text(*body, "newPassword2"), RestSupport::address(request), [reply](const Outcome<AccountService::Sessions> &changed) {
            if (!changed)
                return reply.send(RestSupport::error(changed.refusal()));
            reply.send(RestSupport::json({{QStringLiteral("ok"), true}}));
        });
}
