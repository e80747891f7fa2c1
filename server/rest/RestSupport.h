#pragma once
// Shared pieces of the REST endpoints: reading a JSON body within the size limit, finding the
// caller's token (body member "token"; the session cookie only where a page cannot forge harm) and
// building JSON answers.
#include "core/Outcome.h"

#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonObject>
#include <functional>
#include <optional>

class ChatHub;

class RestSupport
{
public:
    static QByteArray cookieName() { return QByteArrayLiteral("zp_session"); }

    // The body as a JSON object, or the refusal to send (413 when too large, 415 when not declared as
    // JSON, which no cross-site form can send, 400 when not an object).
    static Outcome<QJsonObject> jsonBody(const QHttpServerRequest &request, qint64 maxBytes);
    // The token in the body; empty when there is none.
    static QString token(const QJsonObject &body);
    // The token in the session cookie: only for signing out and the group search.
    static QString cookieToken(const QHttpServerRequest &request);
    static QString header(const QHttpServerRequest &request, const QByteArray &name);
    static QString address(const QHttpServerRequest &request);

    // Answers the request as one unit of work with the events it publishes (see ChatHub::asOneChange);
    // an error when that rolled back.
    static QHttpServerResponse asOneChange(ChatHub &hub, const std::function<QHttpServerResponse()> &handle);

    static QHttpServerResponse json(const QJsonObject &object, int status = 200);
    // {"error": text} with the status; only string members, as the client expects of an error.
    static QHttpServerResponse error(const Refusal &refusal);
    static QHttpServerResponse unauthorized();
    // Sets or (with an empty token) expires the session cookie.
    static void setSessionCookie(QHttpServerResponse &response, const QString &token, qint64 maxAgeSeconds);
};
