#include "APIService.h"

#include "MomentResponse.h"
#include "NetworkSession.h"
#include "SearchGroupResponse.h"
#include "ServerConfig.h"
#include "TransportError.h"

#include <QPointer>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

const char *jsonContentType = "application/json";

// Where an answer goes: the caller's context when given, else the service itself (never destroyed).
QObject *receiver(QObject *context, APIService *service)
{
    return context ? context : service;
}

// Status and body of a finished reply, or the transport failure's own text.
struct HttpAnswer
{
    int status = 0;
    QByteArray body;
};

Result<HttpAnswer> answerOf(QNetworkReply *reply)
{
    if (TransportError::failed(*reply))
        return Result<HttpAnswer>::failure(TransportError::describe(*reply));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return Result<HttpAnswer>::failure(APIError::invalidResponse().description());
    return HttpAnswer{status.toInt(), reply->readAll()};
}

// An error answer counts only as an object whose members are all strings.
QString errorDescription(int status, const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (document.isObject()) {
        const QJsonObject object = document.object();
        const bool allStrings = std::all_of(object.begin(), object.end(),
                                            [](const QJsonValueConstRef &value) { return value.isString(); });
        if (allStrings && object.contains(QLatin1String("error")))
            return APIError::serverError(object.value(QLatin1String("error")).toString()).description();
    }
    return APIError::httpError(status).description();
}

// The small members go through the JSON serialiser; Base64 text needs no escaping, so a large image
// is appended straight into the body instead of being copied through QString and QJsonValue.
QByteArray bodyWithBase64(const QJsonObject &fields, const QString &key, const QList<QByteArray> &images,
                          bool asArray)
{
    QByteArray head = QJsonDocument(fields).toJson(QJsonDocument::Compact);
    head.chop(1); // the closing "}"
    qsizetype size = head.size() + key.size() + 8;
    for (const QByteArray &image : images)
        size += (image.size() + 2) / 3 * 4 + 3;
    QByteArray body;
    body.reserve(size);
    body.append(head);
    if (!fields.isEmpty())
        body.append(',');
    body.append('"').append(key.toUtf8()).append("\":");
    if (asArray)
        body.append('[');
    for (qsizetype i = 0; i < images.size(); ++i) {
        if (i > 0)
            body.append(',');
        body.append('"').append(images.at(i).toBase64()).append('"');
    }
    if (asArray)
        body.append(']');
    body.append('}');
    return body;
}

// Failures found before anything is sent are answered later too, never inside the call.
template <typename T>
void failLater(QObject *receiver, std::function<void(Result<T>)> done, const QString &error)
{
    QTimer::singleShot(0, receiver, [done = std::move(done), error] { done(Result<T>::failure(error)); });
}

} // namespace

template <>
Result<BooleanMap> APIService::decodeBody<BooleanMap>(const QByteArray &body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Result<BooleanMap>::failure(QStringLiteral("invalid JSON at offset %1: %2")
                                               .arg(parseError.offset)
                                               .arg(parseError.errorString()));
    if (!document.isObject())
        return Result<BooleanMap>::failure(QStringLiteral("expected an object"));
    const QJsonObject object = document.object();
    BooleanMap map;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isBool())
            return Result<BooleanMap>::failure(QStringLiteral("\"%1\": expected a boolean").arg(it.key()));
        map.insert(it.key(), it.value().toBool());
    }
    return map;
}

APIService &APIService::shared()
{
    static auto *instance = new APIService;
    return *instance;
}

void APIService::postBody(const QString &path, QByteArray body, QObject *context, BodyCallback done)
{
    const std::optional<QUrl> url = ServerConfig::url(path);
    if (!url)
        return failLater(receiver(context, this), std::move(done), APIError::invalidResponse().description());
    QNetworkRequest request(*url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(jsonContentType));
    QNetworkReply *reply = NetworkSession::shared().post(request, body);
    TransportError::expireAfter(reply, m_timeout);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    QObject::connect(reply, &QNetworkReply::finished, receiver(context, this), [reply, done = std::move(done)] {
        const Result<HttpAnswer> answer = answerOf(reply);
        if (!answer)
            return done(answer.failedAs<QByteArray>());
        if (answer->status >= 400)
            return done(Result<QByteArray>::failure(errorDescription(answer->status, answer->body)));
        done(answer->body);
    });
}

void APIService::login(const QString &username, const QString &password, QObject *context,
                       ApiCallback<LoginResponse> done)
{
    post<LoginResponse>(QStringLiteral("/api/login"),
                        {{QStringLiteral("username"), username}, {QStringLiteral("password"), password}}, context,
                        std::move(done));
}

void APIService::registerUser(const QString &username, const QString &password, QObject *context,
                              ApiCallback<RegisterResponse> done)
{
    post<RegisterResponse>(QStringLiteral("/api/register"),
                           {{QStringLiteral("username"), username}, {QStringLiteral("password"), password}}, context,
                           std::move(done));
}

void APIService::logout(QObject *context, std::function<void()> done)
{
    const QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    // The answer is ignored; the cookies go whatever happened, and they go before `done` runs.
    postBody(QStringLiteral("/api/logout"), QByteArrayLiteral("{}"), nullptr,
             [guard, hasContext, done = std::move(done)](const Result<QByteArray> &) {
                 NetworkSession::clearCookies();
                 if (done && (!hasContext || guard))
                     done();
             });
}

void APIService::me(const QString &token, QObject *context, ApiCallback<MeResponse> done)
{
    post<MeResponse>(QStringLiteral("/api/me"), {{QStringLiteral("token"), token}}, context, std::move(done));
}

void APIService::changeUsername(const QString &token, const QString &newName, QObject *context, ApiCallback<User> done)
{
    post<MeResponse>(QStringLiteral("/api/change-username"),
                     {{QStringLiteral("token"), token}, {QStringLiteral("newUsername"), newName}}, context,
                     [done = std::move(done)](Result<MeResponse> answer) {
                         done(answer ? Result<User>(answer->user) : answer.failedAs<User>());
                     });
}

void APIService::changePassword(const QString &token, const QString &oldPassword, const QString &newPassword,
                                const QString &newPassword2, QObject *context, ApiCallback<BooleanMap> done)
{
    post<BooleanMap>(QStringLiteral("/api/change-password"),
                     {{QStringLiteral("token"), token},
                      {QStringLiteral("oldPassword"), oldPassword},
                      {QStringLiteral("newPassword"), newPassword},
                      {QStringLiteral("newPassword2"), newPassword2}},
                     context, std::move(done));
}

void APIService::uploadAvatar(const QString &token, const QByteArray &image, QObject *context,
                              ApiCallback<AvatarResponse> done)
{
    postEncoded<AvatarResponse>(QStringLiteral("/api/avatar"),
                                bodyWithBase64({{QStringLiteral("token"), token}}, QStringLiteral("data"), {image}, false),
                                context, std::move(done));
}

void APIService::uploadGroupAvatar(const QString &token, const QString &gid, const QByteArray &image, QObject *context,
                                   ApiCallback<AvatarResponse> done)
{
    postEncoded<AvatarResponse>(
        QStringLiteral("/api/group-avatar"),
        bodyWithBase64({{QStringLiteral("token"), token}, {QStringLiteral("gid"), gid}}, QStringLiteral("data"), {image},
                       false),
        context, std::move(done));
}

void APIService::uploadMessageImage(const QString &token, const QByteArray &image, QObject *context,
                                    ApiCallback<ImageUploadResponse> done)
{
    postEncoded<ImageUploadResponse>(
        QStringLiteral("/api/upload-msg-image"),
        bodyWithBase64({{QStringLiteral("token"), token}}, QStringLiteral("data"), {image}, false), context,
        std::move(done));
}

void APIService::postMoment(const QString &token, const QString &text, const QList<QByteArray> &images,
                            QObject *context, ApiCallback<Moment> done)
{
    postEncoded<MomentResponse>(
        QStringLiteral("/api/moment-post"),
        bodyWithBase64({{QStringLiteral("token"), token}, {QStringLiteral("text"), text}}, QStringLiteral("images"),
                       images, true),
        context, [done = std::move(done)](Result<MomentResponse> answer) {
            done(answer ? Result<Moment>(answer->moment) : answer.failedAs<Moment>());
        });
}

void APIService::searchGroups(const QString &keyword, QObject *context, ApiCallback<QList<SearchGroup>> done)
{
    using Groups = QList<SearchGroup>;
    QUrl url(ServerConfig::baseURL() + QStringLiteral("/api/search-groups"), QUrl::StrictMode);
    if (url.isValid()) {
        // Everything but the unreserved characters is escaped: a "+" left bare would read as a space.
        url.setQuery(QStringLiteral("keyword=") + QString::fromLatin1(QUrl::toPercentEncoding(keyword)),
                     QUrl::StrictMode);
    }
    if (!url.isValid())
        return failLater(receiver(context, this), std::move(done), APIError::invalidResponse().description());
    QNetworkReply *reply = NetworkSession::shared().get(QNetworkRequest(url));
    TransportError::expireAfter(reply, m_timeout);
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    QObject::connect(reply, &QNetworkReply::finished, receiver(context, this), [reply, done = std::move(done)] {
        const Result<HttpAnswer> answer = answerOf(reply);
        if (!answer)
            return done(answer.failedAs<Groups>());
        if (answer->status >= 400)
            return done(Result<Groups>::failure(APIError::httpError(answer->status).description()));
        const Result<SearchGroupResponse> response = decodeJson<SearchGroupResponse>(answer->body);
        if (!response)
            return done(response.failedAs<Groups>());
        if (response->ok == false)
            return done(Result<Groups>::failure(
                APIError::serverError(response->error.value_or(QStringLiteral("搜索失败"))).description()));
        done(response->groups.value_or(Groups()));
    });
}
