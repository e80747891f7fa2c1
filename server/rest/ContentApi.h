#pragma once
// REST endpoints that carry images or read shared content: /api/avatar, /api/group-avatar,
// /api/upload-msg-image, /api/moment-post, /api/search-groups, plus the stored images under
// /uploads/ and the update files under /downloads/zephlin/. Uploaded images are checked on the worker
// pool; their requests are answered once that is done.
#include "live/ChatContext.h"
#include "core/Outcome.h"
#include "core/RateLimiter.h"
#include "rest/DeferredReply.h"

#include <QHttpServerResponse>
#include <QJsonObject>
#include <functional>

class FriendCommands;
class MomentCommands;
class QHttpServer;
class QHttpServerRequest;
class UpdateFiles;
class WorkerPool;
struct StoredUser;

class ContentApi
{
public:
    ContentApi(ChatContext &context, FriendCommands &friends, MomentCommands &moments, const UpdateFiles &updates,
               WorkerPool &imageChecks);
    void registerRoutes(QHttpServer &server);
    // The paths whose requests may carry a body up to the full request limit.
    static bool takesUploads(const QByteArray &path);

private:
    struct Caller
    {
        QJsonObject body;
        QString userId;
    };
    using Handler = void (ContentApi::*)(const Caller &caller, const DeferredReply &reply);
    // Runs `handle` for the parsed body and its signed-in caller, or answers the refusal.
    void withCaller(const QHttpServerRequest &request, const DeferredReply &reply, Handler handle);

    // Checks the Base64 images on the worker pool, within the caller's allowance of uploads, and
    // stores them; `then` gets their server paths, or the reply gets the first refusal.
    void withImages(const Caller &caller, const QJsonArray &base64, const DeferredReply &reply,
                    std::function<void(const QStringList &paths)> then);
    void avatar(const Caller &caller, const DeferredReply &reply);
    void groupAvatar(const Caller &caller, const DeferredReply &reply);
    void messageImage(const Caller &caller, const DeferredReply &reply);
    void postMoment(const Caller &caller, const DeferredReply &reply);
    QHttpServerResponse searchGroups(const QHttpServerRequest &request);
    QHttpServerResponse upload(const QString &name) const;
    QHttpServerResponse download(const QString &name) const;

    ChatContext &m_context;
    FriendCommands &m_friends;
    MomentCommands &m_moments;
    const UpdateFiles &m_updates;
    WorkerPool &m_imageChecks;
    RateLimiter m_uploads; // images per user
};
