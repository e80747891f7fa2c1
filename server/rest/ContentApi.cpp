#include "rest/ContentApi.h"

#include "accounts/AccountService.h"
#include "live/ChatHub.h"
#include "core/Clock.h"
#include "live/FriendCommands.h"
#include "storage/FriendStore.h"
#include "storage/GroupStore.h"
#include "storage/ImageStore.h"
#include "core/Limits.h"
#include "live/MomentCommands.h"
#include "storage/MomentStore.h"
#include "rest/RestSupport.h"
#include "accounts/SecureRandom.h"
#include "rest/UpdateFiles.h"

#include <QHttpServer>
#include <QJsonArray>

namespace {
const QList<QByteArray> UploadPaths = {"/api/avatar", "/api/group-avatar", "/api/upload-msg-image", "/api/moment-post"};
}

ContentApi::ContentApi(ChatContext &context, FriendCommands &friends, MomentCommands &moments, const UpdateFiles &updates)
    : m_context(context), m_friends(friends), m_moments(moments), m_updates(updates),
      m_uploads(context.clock, context.limits.uploadBurst, context.limits.uploadsPerSecond)
{
}

bool ContentApi::takesUploads(const QByteArray &path)
{
    return UploadPaths.contains(path);
}

void ContentApi::registerRoutes(QHttpServer &server)
{
    const auto post = QHttpServerRequest::Method::Post;
    const auto get = QHttpServerRequest::Method::Get;
    const auto signedIn = [this](QHttpServerResponse (ContentApi::*handler)(const Caller &)) {
        return [this, handler](const QHttpServerRequest &request) {
            return withCaller(request, [this, handler](const Caller &caller) { return (this->*handler)(caller); });
        };
    };
    const QList<QHttpServerResponse (ContentApi::*)(const Caller &)> uploads = {
        &ContentApi::avatar, &ContentApi::groupAvatar, &ContentApi::messageImage, &ContentApi::postMoment};
    for (qsizetype i = 0; i < UploadPaths.size(); ++i)
        server.route(QString::fromLatin1(UploadPaths.at(i)), post, signedIn(uploads.at(i)));
    server.route("/api/search-groups", get, [this](const QHttpServerRequest &r) { return searchGroups(r); });
    server.route("/uploads/<arg>", get, [this](const QString &name) { return upload(name); });
    server.route("/downloads/zephlin/<arg>", get, [this](const QString &name) { return download(name); });
}

QHttpServerResponse ContentApi::withCaller(const QHttpServerRequest &request,
                                           const std::function<QHttpServerResponse(const Caller &caller)> &handle)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxRequestBody);
    if (!body)
        return RestSupport::error(body.refusal());
    const std::optional<StoredUser> user = m_context.accounts.authenticate(RestSupport::token(*body));
    if (!user)
        return RestSupport::unauthorized();
    return RestSupport::asOneChange(m_context.hub, [&] { return handle(Caller{*body, user->user.id}); });
}

Outcome<QString> ContentApi::storeImage(const Caller &caller, const QJsonValue &base64)
{
    if (!m_uploads.take(caller.userId))
        return Refusal{429, QStringLiteral("上传太频繁，请稍后再试")};
    return m_context.images.storeBase64(base64.toString());
}

QHttpServerResponse ContentApi::avatar(const Caller &caller)
{
    const Outcome<QString> stored = storeImage(caller, caller.body.value(QStringLiteral("data")));
    if (!stored)
        return RestSupport::error(stored.refusal());
    m_context.accounts.users().setAvatar(caller.userId, stored.value());
    m_friends.sendFriendLists(m_context.friends.friendsOf(caller.userId));
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("avatar"), stored.value()}});
}

QHttpServerResponse ContentApi::groupAvatar(const Caller &caller)
{
    const std::optional<ChatGroup> group = m_context.groups.group(caller.body.value(QStringLiteral("gid")).toString());
    if (!group)
        return RestSupport::error({404, QStringLiteral("群聊不存在")});
    if (group->owner != caller.userId)
        return RestSupport::error({403, QStringLiteral("只有群主可以修改群头像")});
    const Outcome<QString> stored = storeImage(caller, caller.body.value(QStringLiteral("data")));
    if (!stored)
        return RestSupport::error(stored.refusal());
    m_context.groups.setAvatar(group->id, stored.value());
    m_context.hub.sendToUsers(group->members, {{QStringLiteral("type"), QStringLiteral("group-avatar-updated")},
                                               {QStringLiteral("gid"), group->id},
                                               {QStringLiteral("avatar"), stored.value()}});
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("avatar"), stored.value()}});
}

QHttpServerResponse ContentApi::messageImage(const Caller &caller)
{
    const Outcome<QString> stored = storeImage(caller, caller.body.value(QStringLiteral("data")));
    if (!stored)
        return RestSupport::error(stored.refusal());
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("url"), stored.value()}});
}

QHttpServerResponse ContentApi::postMoment(const Caller &caller)
{
    const QString text = caller.body.value(QStringLiteral("text")).toString().trimmed();
    const QJsonArray images = caller.body.value(QStringLiteral("images")).toArray();
    if (text.isEmpty() && images.isEmpty())
        return RestSupport::error({400, QStringLiteral("动态内容不能为空")});
    if (text.size() > m_context.limits.maxMomentChars)
        return RestSupport::error({400, QStringLiteral("动态内容太长了")});
    if (images.size() > m_context.limits.maxImagesPerMessage)
        return RestSupport::error({400, QStringLiteral("最多只能上传9张图片")});
    Moment moment;
    for (const QJsonValue &image : images) {
        const Outcome<QString> stored = storeImage(caller, image);
        if (!stored)
            return RestSupport::error(stored.refusal());
        moment.images << stored.value();
    }
    moment.id = SecureRandom::id(QStringLiteral("p"));
    moment.author = caller.userId;
    moment.text = text;
    moment.time = m_context.clock.nowMs();
    if (!m_context.moments.create(moment))
        return RestSupport::error({500, QStringLiteral("发布失败，请重试")});
    const std::optional<Moment> posted = m_context.moments.moment(moment.id);
    m_moments.publishFeed(caller.userId);
    return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("moment"), toJson(posted.value_or(moment))}});
}

QHttpServerResponse ContentApi::searchGroups(const QHttpServerRequest &request)
{
    // The search carries no token; the session cookie identifies the caller. Refusals answer 200 with
    // "ok": false, because the client shows the "error" text only then.
    if (!m_context.accounts.authenticate(RestSupport::cookieToken(request)))
        return RestSupport::json({{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("请先登录")}});
    const QString keyword = request.query().queryItemValue(QStringLiteral("keyword"), QUrl::FullyDecoded).trimmed();
    if (keyword.isEmpty())
        return RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("groups"), QJsonArray()}});
    if (keyword.size() > 30)
        return RestSupport::json({{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("关键词太长了")}});
    return RestSupport::json({{QStringLiteral("ok"), true},
                              {QStringLiteral("groups"), toJson(m_context.groups.search(keyword, m_context.limits.searchResults))}});
}

QHttpServerResponse ContentApi::upload(const QString &name) const
{
    ImageStore::File file = m_context.images.read(name);
    if (file.bytes.isEmpty())
        return RestSupport::error({404, QStringLiteral("图片不存在")});
    QHttpServerResponse response(file.contentType, file.bytes);
    // Names are content hashes: a name never changes what it serves.
    response.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("public, max-age=31536000, immutable"));
    response.addHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
    return response;
}

QHttpServerResponse ContentApi::download(const QString &name) const
{
    UpdateFiles::File file = m_updates.read(name);
    if (!file.found)
        return RestSupport::error({404, QStringLiteral("文件不存在")});
    QHttpServerResponse response(file.contentType, file.bytes);
    response.addHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    return response;
}
