#include "EventDispatcher.h"

#include "AppLogger.h"
#include "JsonCoding.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <limits>

namespace {

using Handler = void (*)(const QJsonObject &frame, const InboundCallbacks &callbacks);

QString stringOr(const QJsonObject &frame, QLatin1String key, const QString &fallback = QString())
{
    const QJsonValue value = frame.value(key);
    return value.isString() ? value.toString() : fallback;
}

std::optional<QString> optionalString(const QJsonObject &frame, QLatin1String key)
{
    const QJsonValue value = frame.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

bool boolOr(const QJsonObject &frame, QLatin1String key, bool fallback)
{
    const QJsonValue value = frame.value(key);
    return value.isBool() ? value.toBool() : fallback;
}

// A whole number that fits an int; anything else (a string, a fraction, a huge value) is not one.
int intOr(const QJsonObject &frame, QLatin1String key, int fallback)
{
    const QJsonValue value = frame.value(key);
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    // Range first: converting an out-of-range double to an integer is undefined.
    if (!(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
        || number != std::trunc(number))
        return fallback;
    return static_cast<int>(number);
}

// A member that must hold a JSON object decoding as R.
template <typename R>
std::optional<R> memberRecord(const QJsonObject &frame, QLatin1String key)
{
    const QJsonValue value = frame.value(key);
    if (!value.isObject())
        return std::nullopt;
    Result<R> record = fromJson<R>(value);
    if (!record)
        return std::nullopt;
    return std::move(record).value();
}

// A member that must hold an array of JSON objects, every one decoding as R.
template <typename R>
std::optional<QList<R>> memberRecords(const QJsonObject &frame, QLatin1String key)
{
    const QJsonValue value = frame.value(key);
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    Result<QList<R>> records = fromJson<QList<R>>(value);
    if (!records)
        return std::nullopt;
    return std::move(records).value();
}

template <typename R>
std::optional<R> wholeRecord(const QJsonObject &frame)
{
    Result<R> record = fromJson<R>(QJsonValue(frame));
    if (!record)
        return std::nullopt;
    return std::move(record).value();
}

// Calls the slot when it is installed; every slot is optional.
template <typename Slot, typename... Args>
void call(const Slot &slot, Args &&...args)
{
    if (slot)
        slot(std::forward<Args>(args)...);
}

void hello(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    Result<HelloMessage> decoded = fromJson<HelloMessage>(QJsonValue(frame));
    if (!decoded) {
        AppLogger::shared().log(QStringLiteral("[WS] hello decode FAILED: ") + decoded.error());
        return;
    }
    AppLogger::shared().log(QStringLiteral("[WS] hello decoded successfully"));
    call(callbacks.onHello, decoded.value());
}

template <std::function<void(const ChatMessage &)> InboundCallbacks::*slot>
void chatMessage(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto message = wholeRecord<ChatMessage>(frame))
        call(callbacks.*slot, *message);
}

void recalled(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onRecalled, stringOr(frame, QLatin1String("room")), stringOr(frame, QLatin1String("id")),
         optionalString(frame, QLatin1String("to")), optionalString(frame, QLatin1String("gid")));
}

void error(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onError, stringOr(frame, QLatin1String("error"), QStringLiteral("未知错误")));
}

void banned(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onBanned, stringOr(frame, QLatin1String("error"), QStringLiteral("账号已被封禁")));
}

void kicked(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onKicked, stringOr(frame, QLatin1String("error"), QStringLiteral("你已被移出服务器")));
}

void system(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onSystem, stringOr(frame, QLatin1String("content")));
}

void presence(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    const QJsonValue online = frame.value(QLatin1String("online"));
    if (!online.isArray())
        return;
    const QJsonArray entries = online.toArray();
    QStringList ids;
    ids.reserve(entries.size());
    for (const QJsonValue &entry : entries) {
        if (!entry.isObject())
            return;
        const QJsonValue id = entry.toObject().value(QLatin1String("id"));
        if (id.isString())
            ids.append(id.toString());
    }
    call(callbacks.onPresence, ids);
}

void announcementUpdate(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto announcement = optionalString(frame, QLatin1String("announcement")))
        call(callbacks.onAnnouncementUpdate, *announcement);
}

void friendRequest(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto request = memberRecord<FriendRequest>(frame, QLatin1String("request")))
        call(callbacks.onFriendRequest, *request);
}

void friendUpdate(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto friends = memberRecords<User>(frame, QLatin1String("friends")))
        call(callbacks.onFriendUpdate, *friends);
}

void requestRespond(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onRequestRespond, boolOr(frame, QLatin1String("ok"), false), stringOr(frame, QLatin1String("action")),
         stringOr(frame, QLatin1String("fromName")));
}

void requestSent(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onRequestSent, boolOr(frame, QLatin1String("ok"), false), optionalString(frame, QLatin1String("error")));
}

void groupCreated(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        call(callbacks.onGroupCreated, *group);
}

void groupRemoved(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onGroupRemoved, stringOr(frame, QLatin1String("gid")), stringOr(frame, QLatin1String("error")));
}

void groupRenamed(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        call(callbacks.onGroupRenamed, stringOr(frame, QLatin1String("gid")), *group);
}

void groupMemberRemoved(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        call(callbacks.onGroupMemberRemoved, stringOr(frame, QLatin1String("gid")), *group,
             stringOr(frame, QLatin1String("userId")));
}

void groupAvatarUpdated(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onGroupAvatarUpdated, stringOr(frame, QLatin1String("gid")), stringOr(frame, QLatin1String("avatar")));
}

void groupApplySent(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onGroupApplySent, stringOr(frame, QLatin1String("gid")));
}

void groupApplyRequest(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto request = memberRecord<GroupRequest>(frame, QLatin1String("apply")))
        call(callbacks.onGroupApplyRequest, *request);
}

// The acceptance matters even without a usable group: the applicant's pending state must clear.
void groupApplyAccepted(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onGroupApplyAccepted, stringOr(frame, QLatin1String("gid")),
         memberRecord<ChatGroup>(frame, QLatin1String("group")));
}

void groupApplyRejected(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onGroupApplyRejected, stringOr(frame, QLatin1String("gid")));
}

void moments(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    if (const auto feed = memberRecords<Moment>(frame, QLatin1String("moments")))
        call(callbacks.onMomentsUpdate, *feed);
}

void maxOnline(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onMaxOnlineUpdate, intOr(frame, QLatin1String("maxOnline"), 0));
}

void hallRenamed(const QJsonObject &frame, const InboundCallbacks &callbacks)
{
    call(callbacks.onHallRenamed, stringOr(frame, QLatin1String("hallName"), QStringLiteral("公共大厅")));
}

void hallCleared(const QJsonObject &, const InboundCallbacks &callbacks)
{
    call(callbacks.onHallCleared);
}

const QHash<QString, Handler> &handlers()
{
    static const QHash<QString, Handler> table{
        {QStringLiteral("hello"), hello},
        {QStringLiteral("global"), chatMessage<&InboundCallbacks::onGlobalMessage>},
        {QStringLiteral("dm"), chatMessage<&InboundCallbacks::onDMMessage>},
        {QStringLiteral("group"), chatMessage<&InboundCallbacks::onGroupMessage>},
        {QStringLiteral("recalled"), recalled},
        {QStringLiteral("error"), error},
        {QStringLiteral("banned"), banned},
        {QStringLiteral("kicked"), kicked},
        {QStringLiteral("system"), system},
        {QStringLiteral("presence"), presence},
        {QStringLiteral("announcement-update"), announcementUpdate},
        {QStringLiteral("friend-request"), friendRequest},
        {QStringLiteral("friend-update"), friendUpdate},
        {QStringLiteral("request-respond"), requestRespond},
        {QStringLiteral("request-sent"), requestSent},
        {QStringLiteral("group-created"), groupCreated},
        {QStringLiteral("group-removed"), groupRemoved},
        {QStringLiteral("group-renamed"), groupRenamed},
        {QStringLiteral("group-member-removed"), groupMemberRemoved},
        {QStringLiteral("group-avatar-updated"), groupAvatarUpdated},
        {QStringLiteral("group-apply-sent"), groupApplySent},
        {QStringLiteral("group-apply-request"), groupApplyRequest},
        {QStringLiteral("group-apply-accepted"), groupApplyAccepted},
        {QStringLiteral("group-apply-rejected"), groupApplyRejected},
        {QStringLiteral("moments"), moments},
        {QStringLiteral("max-online"), maxOnline},
        {QStringLiteral("hall-renamed"), hallRenamed},
        {QStringLiteral("hall-cleared"), hallCleared},
    };
    return table;
}

} // namespace

void EventDispatcher::dispatch(const QString &text, const InboundCallbacks &callbacks)
{
    dispatch(text.toUtf8(), callbacks);
}

void EventDispatcher::dispatch(const QByteArray &utf8, const InboundCallbacks &callbacks)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return;
    const QJsonObject frame = document.object();
    const QJsonValue type = frame.value(QLatin1String("type"));
    if (!type.isString())
        return;
    const auto handler = handlers().constFind(type.toString());
    if (handler != handlers().cend())
        (*handler)(frame, callbacks);
}
