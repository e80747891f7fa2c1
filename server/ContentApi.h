#pragma once
// REST endpoints that carry images or read shared content: /api/avatar, /api/group-avatar,
// /api/upload-msg-image, /api/moment-post, /api/search-groups, plus the stored images under
// /uploads/ and the update files under /downloads/zephlin/.
#include "ChatContext.h"

#include <QHttpServerResponse>
#include <QJsonObject>
#include <variant>

class FriendCommands;
class MomentCommands;
class QHttpServer;
class QHttpServerRequest;
class UpdateFiles;
struct StoredUser;

class ContentApi
{
public:
    ContentApi(ChatContext &context, FriendCommands &friends, MomentCommands &moments, const UpdateFiles &updates)
        : m_context(context), m_friends(friends), m_moments(moments), m_updates(updates)
    {
    }
    void registerRoutes(QHttpServer &server);

private:
    struct Caller
    {
        QJsonObject body;
        QString userId;
    };
    // The parsed body and its signed-in caller, or the response that refuses the request.
    std::variant<Caller, QHttpServerResponse> authorize(const QHttpServerRequest &request);

    QHttpServerResponse avatar(const QHttpServerRequest &request);
    QHttpServerResponse groupAvatar(const QHttpServerRequest &request);
    QHttpServerResponse messageImage(const QHttpServerRequest &request);
    QHttpServerResponse postMoment(const QHttpServerRequest &request);
    QHttpServerResponse searchGroups(const QHttpServerRequest &request);
    QHttpServerResponse upload(const QString &name) const;
    QHttpServerResponse download(const QString &name) const;

    ChatContext &m_context;
    FriendCommands &m_friends;
    MomentCommands &m_moments;
    const UpdateFiles &m_updates;
};
