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
#include "core/WorkerPool.h"
#include "rest/UpdateFiles.h"

#include <QHttpServer>
#include <QJsonArray>

namespace {
const QString SaveFailed = QStringLiteral("保存失败，请重试");
const QList<QByteArray> UploadPaths = {"/api/avatar", "/api/group-avatar", "/api/upload-msg-image", "/api/moment-post"};
}

ContentApi::ContentApi(ChatContext &context, FriendCommands &friends, MomentCommands &moments, const UpdateFiles &updates,
                       WorkerPool &imageChecks)
    : m_context(context), m_friends(friends), m_moments(moments), m_updates(updates), m_imageChecks(imageChecks),
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
    const QList<Handler> uploads = {&ContentApi::avatar, &ContentApi::groupAvatar, &ContentApi::messageImage,
                                    &ContentApi::postMoment};
    for (qsizetype i = 0; i < UploadPaths.size(); ++i)
        server.route(QString::fromLatin1(UploadPaths.at(i)), post,
                     [this, handler = uploads.at(i)](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
                         withCaller(request, DeferredReply(std::move(responder)), handler);
                     });
    server.route("/api/search-groups", get, [this](const QHttpServerRequest &r) { return searchGroups(r); });
    server.route("/uploads/<arg>", get, [this](const QString &name) { return upload(name); });
    server.route("/downloads/zephlin/<arg>", get, [this](const QString &name) { return download(name); });
}

void ContentApi::withCaller(const QHttpServerRequest &request, const DeferredReply &reply, Handler handle)
{
    const Outcome<QJsonObject> body = RestSupport::jsonBody(request, m_context.limits.maxRequestBody);
    if (!body)
        return reply.send(RestSupport::error(body.refusal()));
    const std::optional<StoredUser> user = m_context.accounts.authenticate(RestSupport::token(*body));
    if (!user)
        return reply.send(RestSupport::unauthorized());
    (this->*handle)(Caller{*body, user->user.id}, reply);
}

void ContentApi::withImages(const Caller &caller, const QJsonArray &base64, const DeferredReply &reply,
                            std::function<void(const QStringList &paths)> then)
{
    QStringList texts;
    for (const QJsonValue &image : base64) {
        if (!m_uploads.take(caller.userId))
            return reply.send(RestSupport::error({429, QStringLiteral("上传太频繁，请稍后再试")}));
        texts << image.toString();
    }
    using Checked = std::vector<Outcome<CheckedImage>>;
    const auto check = [texts, limits = m_context.limits] {
        Checked checked;
        for (const QString &text : texts) {
            checked.push_back(CheckedImage::fromBase64(text, limits));
            if (!checked.back())
                break;
        }
        return checked;
    };
    const auto store = [this, reply, then = std::move(then)](const Checked &checked) {
        QStringList paths;
        for (const Outcome<CheckedImage> &image : checked) {
            const Outcome<QString> stored = image ? m_context.images.store(*image) : Outcome<QString>(image.refusal());
            if (!stored)
                return reply.send(RestSupport::error(stored.refusal()));
            paths << stored.value();
        }
        then(paths);
    };
    if (!m_imageChecks.run<Checked>(check, store))
        reply.send(RestSupport::error(WorkerPool::busy()));
}

void ContentApi::avatar(const Caller &caller, const DeferredReply &reply)
{
    withImages(caller, {caller.body.value(QStringLiteral("data"))}, reply, [this, caller, reply](const QStringList &stored) {
        const bool changed = m_context.hub.asOneChange([&] {
            m_context.accounts.users().setAvatar(caller.userId, stored.first());
            m_friends.sendFriendLists(m_context.friends.friendsOf(caller.userId));
        });
        if (!changed)
            return reply.send(RestSupport::error({500, SaveFailed}));
        reply.send(RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("avatar"), stored.first()}}));
    });
}

void ContentApi::groupAvatar(const Caller &caller, const DeferredReply &reply)
{
    // Asked again once the image is checked: the group may have changed meanwhile.
    const auto ownGroup = [this, gid = caller.body.value(QStringLiteral("gid")).toString(),
                           userId = caller.userId]() -> Outcome<ChatGroup> {
        const std::optional<ChatGroup> group = m_context.groups.group(gid);
        if (!group)
            return Refusal{404, QStringLiteral("群聊不存在")};
        if (group->owner != userId)
            return Refusal{403, QStringLiteral("只有群主可以修改群头像")};
        return *group;
    };
    if (const Outcome<ChatGroup> group = ownGroup(); !group)
        return reply.send(RestSupport::error(group.refusal()));
    withImages(caller, {caller.body.value(QStringLiteral("data"))}, reply, [this, ownGroup, reply](const QStringList &stored) {
        const Outcome<ChatGroup> group = ownGroup();
        if (!group)
            return reply.send(RestSupport::error(group.refusal()));
        const bool changed = m_context.hub.asOneChange([&] {
            m_context.groups.setAvatar(group->id, stored.first());
            m_context.hub.sendToUsers(group->members, {{QStringLiteral("type"), QStringLiteral("group-avatar-updated")},
                                                       {QStringLiteral("gid"), group->id},
                                                       {QStringLiteral("avatar"), stored.first()}});
        });
        if (!changed)
            return reply.send(RestSupport::error({500, SaveFailed}));
        reply.send(RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("avatar"), stored.first()}}));
    });
}

void ContentApi::messageImage(const Caller &caller, const DeferredReply &reply)
{
    withImages(caller, {caller.body.value(QStringLiteral("data"))}, reply, [reply](const QStringList &stored) {
        reply.send(RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("url"), stored.first()}}));
    });
}

void ContentApi::postMoment(const Caller &caller, const DeferredReply &reply)
{
    // Never a null string: a moment of images alone has empty text, not none.
    const QString text = caller.body.value(QStringLiteral("text")).toString(QLatin1String("")).trimmed();
    const QJsonArray images = caller.body.value(QStringLiteral("images")).toArray();
    if (text.isEmpty() && images.isEmpty())
        return reply.send(RestSupport::error({400, QStringLiteral("动态内容不能为空")}));
    if (text.size() > m_context.limits.maxMomentChars)
        return reply.send(RestSupport::error({400, QStringLiteral("动态内容太长了")}));
    if (images.size() > m_context.limits.maxImagesPerMessage)
        return reply.send(RestSupport::error({400, QStringLiteral("最多只能上传9张图片")}));
    withImages(caller, images, reply, [this, userId = caller.userId, text, reply](const QStringList &stored) {
        Moment moment;
        moment.id = SecureRandom::id(QStringLiteral("p"));
        moment.author = userId;
        moment.text = text;
        moment.images = stored;
        moment.time = m_context.clock.nowMs();
        bool created = false;
        const bool changed = m_context.hub.asOneChange([&] {
            created = m_context.moments.create(moment);
            if (created)
                m_moments.publishFeed(userId);
        });
        if (!created || !changed)
            return reply.send(RestSupport::error({500, QStringLiteral("发布失败，请重试")}));
        const std::optional<Moment> posted = m_context.moments.moment(moment.id);
        reply.send(RestSupport::json({{QStringLiteral("ok"), true}, {QStringLiteral("moment"), toJson(posted.value_or(moment))}}));
    });
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
