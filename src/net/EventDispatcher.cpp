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

using Event = EventDispatcher::Event;
using Handler = Event (*)(const QJsonObject &frame);

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

// The call of one slot with the decoded values, made once, later, on the main thread: the values
// are handed over. Every slot is optional and skipped when empty.
template <auto slot, typename... Args>
Event event(Args... args)
{
    return [... args = std::move(args)](const InboundCallbacks &callbacks) mutable {
        if (const auto &target = callbacks.*slot)
            target(std::move(args)...);
    };
}

Event hello(const QJsonObject &frame)
{
    Result<HelloMessage> decoded = fromJson<HelloMessage>(QJsonValue(frame));
    if (!decoded) {
        AppLogger::shared().log(QStringLiteral("[WS] hello decode FAILED: ") + decoded.error());
        return {};
    }
    AppLogger::shared().log(QStringLiteral("[WS] hello decoded successfully"));
    return event<&InboundCallbacks::onHello>(std::move(decoded).value());
}

template <std::function<void(const ChatMessage &)> InboundCallbacks::*slot>
Event chatMessage(const QJsonObject &frame)
{
    if (const auto message = wholeRecord<ChatMessage>(frame))
        return event<slot>(*message);
    return {};
}

Event recalled(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onRecalled>(stringOr(frame, QLatin1String("room")), stringOr(frame, QLatin1String("id")),
         optionalString(frame, QLatin1String("to")), optionalString(frame, QLatin1String("gid")),
         optionalString(frame, QLatin1String("clientId")));
    return {};
}

Event error(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onError>(stringOr(frame, QLatin1String("error"), QStringLiteral("未知错误")));
}

Event banned(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onBanned>(stringOr(frame, QLatin1String("error"), QStringLiteral("账号已被封禁")));
}

Event kicked(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onKicked>(stringOr(frame, QLatin1String("error"), QStringLiteral("你已被移出服务器")));
}

Event system(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onSystem>(stringOr(frame, QLatin1String("content")));
}

Event presence(const QJsonObject &frame)
{
    const QJsonValue online = frame.value(QLatin1String("online"));
    if (!online.isArray())
        return {};
    const QJsonArray entries = online.toArray();
    QStringList ids;
    ids.reserve(entries.size());
    for (const QJsonValue &entry : entries) {
        if (!entry.isObject())
            return {};
        const QJsonValue id = entry.toObject().value(QLatin1String("id"));
        if (id.isString())
            ids.append(id.toString());
    }
    return event<&InboundCallbacks::onPresence>(ids);
}

Event announcementUpdate(const QJsonObject &frame)
{
    if (const auto announcement = optionalString(frame, QLatin1String("announcement")))
        return event<&InboundCallbacks::onAnnouncementUpdate>(*announcement);
    return {};
}

Event friendRequest(const QJsonObject &frame)
{
    if (const auto request = memberRecord<FriendRequest>(frame, QLatin1String("request")))
        return event<&InboundCallbacks::onFriendRequest>(*request);
    return {};
}

Event friendUpdate(const QJsonObject &frame)
{
    if (const auto friends = memberRecords<User>(frame, QLatin1String("friends")))
        return event<&InboundCallbacks::onFriendUpdate>(*friends);
    return {};
}

Event requestRespond(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onRequestRespond>(boolOr(frame, QLatin1String("ok"), false), stringOr(frame, QLatin1String("action")),
         stringOr(frame, QLatin1String("fromName")));
    return {};
}

Event requestSent(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onRequestSent>(boolOr(frame, QLatin1String("ok"), false), optionalString(frame, QLatin1String("error")));
}

Event groupCreated(const QJsonObject &frame)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        return event<&InboundCallbacks::onGroupCreated>(*group);
    return {};
}

Event groupRemoved(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onGroupRemoved>(stringOr(frame, QLatin1String("gid")), stringOr(frame, QLatin1String("error")));
}

Event groupRenamed(const QJsonObject &frame)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        return event<&InboundCallbacks::onGroupRenamed>(stringOr(frame, QLatin1String("gid")), *group);
    return {};
}

Event groupMemberRemoved(const QJsonObject &frame)
{
    if (const auto group = memberRecord<ChatGroup>(frame, QLatin1String("group")))
        return event<&InboundCallbacks::onGroupMemberRemoved>(stringOr(frame, QLatin1String("gid")), *group,
             stringOr(frame, QLatin1String("userId")));
    return {};
}

Event groupAvatarUpdated(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onGroupAvatarUpdated>(stringOr(frame, QLatin1String("gid")), stringOr(frame, QLatin1String("avatar")));
}

Event groupApplySent(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onGroupApplySent>(stringOr(frame, QLatin1String("gid")));
}

Event groupApplyRequest(const QJsonObject &frame)
{
    if (const auto request = memberRecord<GroupRequest>(frame, QLatin1String("apply")))
        return event<&InboundCallbacks::onGroupApplyRequest>(*request);
    return {};
}

// The acceptance matters even without a usable group: the applicant's pending state must clear.
Event groupApplyAccepted(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onGroupApplyAccepted>(stringOr(frame, QLatin1String("gid")),
         memberRecord<ChatGroup>(frame, QLatin1String("group")));
    return {};
}

Event groupApplyRejected(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onGroupApplyRejected>(stringOr(frame, QLatin1String("gid")));
}

Event moments(const QJsonObject &frame)
{
    if (const auto feed = memberRecords<Moment>(frame, QLatin1String("moments")))
        return event<&InboundCallbacks::onMomentsUpdate>(*feed);
    return {};
}

Event maxOnline(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onMaxOnlineUpdate>(intOr(frame, QLatin1String("maxOnline"), 0));
}

Event hallRenamed(const QJsonObject &frame)
{
    return event<&InboundCallbacks::onHallRenamed>(stringOr(frame, QLatin1String("hallName"), QStringLiteral("公共大厅")));
}

Event hallCleared(const QJsonObject &)
{
    return event<&InboundCallbacks::onHallCleared>();
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
    if (const Event decoded = decode(text.toUtf8()))
        decoded(callbacks);
}

EventDispatcher::Event EventDispatcher::decode(const QByteArray &utf8)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(utf8, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return {};
    const QJsonObject frame = document.object();
    const QJsonValue type = frame.value(QLatin1String("type"));
    if (!type.isString())
        return {};
    const auto handler = handlers().constFind(type.toString());
    return handler != handlers().cend() ? (*handler)(frame) : Event();
}
