#pragma once
// REST endpoints that carry images or read shared content: /api/avatar, /api/group-avatar,
// /api/upload-msg-image, /api/moment-post, /api/search-groups, plus the stored images under
// /uploads/ and the update files under /downloads/zephlin/.
#include "live/ChatContext.h"
#include "core/Outcome.h"
#include "core/RateLimiter.h"

#include <QHttpServerResponse>
#include <QJsonObject>
#include <functional>

class FriendCommands;
class MomentCommands;
class QHttpServer;
class QHttpServerRequest;
class UpdateFiles;
struct StoredUser;

class ContentApi
{
public:
    ContentApi(ChatContext &context, FriendCommands &friends, MomentCommands &moments, const UpdateFiles &updates);
    void registerRoutes(QHttpServer &server);
    // The paths whose requests may carry a body up to the full request limit.
    static bool takesUploads(const QByteArray &path);

private:
    struct Caller
    {
        QJsonObject body;
        QString userId;
    };
    // Runs `handle` for the parsed body and its signed-in caller, or answers the refusal.
    QHttpServerResponse withCaller(const QHttpServerRequest &request,
                                   const std::function<QHttpServerResponse(const Caller &caller)> &handle);

    // Stores one uploaded image, within the caller's allowance of uploads.
    Outcome<QString> storeImage(const Caller &caller, const QJsonValue &base64);
    QHttpServerResponse avatar(const Caller &caller);
    QHttpServerResponse groupAvatar(const Caller &caller);
    QHttpServerResponse messageImage(const Caller &caller);
    QHttpServerResponse postMoment(const Caller &caller);
    QHttpServerResponse searchGroups(const QHttpServerRequest &request);
    QHttpServerResponse upload(const QString &name) const;
    QHttpServerResponse download(const QString &name) const;

    ChatContext &m_context;
    FriendCommands &m_friends;
    MomentCommands &m_moments;
    const UpdateFiles &m_updates;
    RateLimiter m_uploads; // images per user
};
