#include "rest/RestSupport.h"

#include "live/ChatHub.h"

#include <QJsonDocument>

Outcome<QJsonObject> RestSupport::jsonBody(const QHttpServerRequest &request, qint64 maxBytes)
{
    const QByteArray body = request.body();
    if (body.size() > maxBytes)
        return Refusal{413, QStringLiteral("请求内容太大")};
    if (!header(request, "Content-Type").startsWith(QLatin1String("application/json"), Qt::CaseInsensitive))
        return Refusal{415, QStringLiteral("请求格式错误")};
    if (body.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return Refusal{400, QStringLiteral("请求格式错误")};
    return document.object();
}

QString RestSupport::header(const QHttpServerRequest &request, const QByteArray &name)
{
    for (const auto &[key, value] : request.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(value);
    return {};
}

QString RestSupport::token(const QJsonObject &body)
{
    return body.value(QStringLiteral("token")).toString();
}

QString RestSupport::cookieToken(const QHttpServerRequest &request)
{
    const QString cookies = header(request, "Cookie");
    const QString prefix = QString::fromLatin1(cookieName()) + u'=';
    for (const QString &cookie : cookies.split(u';', Qt::SkipEmptyParts)) {
        const QString trimmed = cookie.trimmed();
        if (trimmed.startsWith(prefix))
            return trimmed.mid(prefix.size());
    }
    return {};
}

QString RestSupport::address(const QHttpServerRequest &request)
{
    return request.remoteAddress().toString();
}

QHttpServerResponse RestSupport::json(const QJsonObject &object, int status)
{
    QHttpServerResponse response(QByteArrayLiteral("application/json"),
                                 QJsonDocument(object).toJson(QJsonDocument::Compact),
                                 QHttpServerResponse::StatusCode(status));
    response.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return response;
}

QHttpServerResponse RestSupport::error(const Refusal &refusal)
{
    return json({{QStringLiteral("error"), refusal.message}}, refusal.status);
}

QHttpServerResponse RestSupport::unauthorized()
{
    return error({401, QStringLiteral("登录已失效，请重新登录")});
}

void RestSupport::setSessionCookie(QHttpServerResponse &response, const QString &token, qint64 maxAgeSeconds)
{
    const QByteArray value = cookieName() + '=' + token.toLatin1()
        + "; Path=/; HttpOnly; Secure; SameSite=Strict; Max-Age=" + QByteArray::number(token.isEmpty() ? 0 : maxAgeSeconds);
    response.addHeader(QByteArrayLiteral("Set-Cookie"), value);
}

QHttpServerResponse RestSupport::asOneChange(ChatHub &hub, const std::function<QHttpServerResponse()> &handle)
{
    std::optional<QHttpServerResponse> response;
    if (!hub.asOneChange([&] { response.emplace(handle()); }))
        return error({500, QStringLiteral("保存失败，请重试")});
    return std::move(*response);
}
