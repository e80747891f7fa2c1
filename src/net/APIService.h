#pragma once
// The REST client: every /api/ endpoint of the chat server over the shared network session
// (cookie jar, response cache). The session token travels in the JSON body, never in a header.
//
// Every operation is asynchronous and answers through one path, an ApiCallback<T> receiving a
// Result<T>: the decoded value, or the text the screens show — an APIError's description ("无效响应",
// "HTTP错误 500", the server's own message), the transport failure's Chinese text (TransportError), or
// the decoder's error text.
// The callback runs on the main thread, later (never inside the call), and only while `context` is
// alive (nullptr: always). Call from the main thread.
#include "APIError.h"
#include "AvatarResponse.h"
#include "ImageUploadResponse.h"
#include "JsonCoding.h"
#include "LoginResponse.h"
#include "MeResponse.h"
#include "Moment.h"
#include "RegisterResponse.h"
#include "Result.h"
#include "SearchGroup.h"
#include "User.h"

#include <QByteArray>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

template <typename T>
using ApiCallback = std::function<void(Result<T>)>;

// The plain {"name": true, …} answers of logout and the password change.
using BooleanMap = QHash<QString, bool>;

class APIService : public QObject
{
    Q_OBJECT

public:
    // A request gives up after this long without any data moving.
    static constexpr std::chrono::milliseconds defaultTimeout{60'000};

    static APIService &shared();

    // Tests shorten the wait for a server that never answers.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    void login(const QString &username, const QString &password, QObject *context, ApiCallback<LoginResponse> done);
    // "register" is a C++ keyword.
    void registerUser(const QString &username, const QString &password, QObject *context,
                      ApiCallback<RegisterResponse> done);
    // Ignores every failure, then deletes every cookie; `done` (optional) always runs.
    void logout(QObject *context = nullptr, std::function<void()> done = {});
    // Checks a stored token and returns the account it belongs to.
    void me(const QString &token, QObject *context, ApiCallback<MeResponse> done);
    void changeUsername(const QString &token, const QString &newName, QObject *context, ApiCallback<User> done);
    void changePassword(const QString &token, const QString &oldPassword, const QString &newPassword,
                        const QString &newPassword2, QObject *context, ApiCallback<BooleanMap> done);
    // Images are the encoded file bytes (JPEG); they travel as Base64 inside the JSON body.
    void uploadAvatar(const QString &token, const QByteArray &image, QObject *context, ApiCallback<AvatarResponse> done);
    void uploadGroupAvatar(const QString &token, const QString &gid, const QByteArray &image, QObject *context,
                           ApiCallback<AvatarResponse> done);
    void uploadMessageImage(const QString &token, const QByteArray &image, QObject *context,
                            ApiCallback<ImageUploadResponse> done);
    void postMoment(const QString &token, const QString &text, const QList<QByteArray> &images, QObject *context,
                    ApiCallback<Moment> done);
    void searchGroups(const QString &keyword, QObject *context, ApiCallback<QList<SearchGroup>> done);

    // The generic POST for bodies built elsewhere: status < 400 decodes the body as T; otherwise an
    // all-string error object's "error" becomes the failure, else "HTTP错误 <status>".
    template <typename T>
    void post(const QString &path, const QJsonObject &body, QObject *context, ApiCallback<T> done)
    {
        postEncoded<T>(path, QJsonDocument(body).toJson(QJsonDocument::Compact), context, std::move(done));
    }

    template <typename T>
    static Result<T> decodeBody(const QByteArray &body)
    {
        return decodeJson<T>(body);
    }

private:
    APIService() = default;

    template <typename T>
    void postEncoded(const QString &path, QByteArray body, QObject *context, ApiCallback<T> done)
    {
        postBody(path, std::move(body), context, [done = std::move(done)](Result<QByteArray> answer) {
            done(answer ? decodeBody<T>(answer.value()) : answer.template failedAs<T>());
        });
    }

    using BodyCallback = std::function<void(Result<QByteArray>)>;
    // Sends a serialised JSON body; answers with the body of a status < 400 or the failure text.
    void postBody(const QString &path, QByteArray body, QObject *context, BodyCallback done);

    std::chrono::milliseconds m_timeout = defaultTimeout;
};

template <>
Result<BooleanMap> APIService::decodeBody<BooleanMap>(const QByteArray &body);
