#include "ChatMessage.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

size_t qHash(const ChatMessage &message, size_t seed)
{
    using RecordHashing::optional;
    return qHashMulti(seed, message.id, message.from, optional(message.fromName), optional(message.fromAvatar),
                      optional(message.fromRole), optional(message.fromBot), message.content,
                      optional(message.images), message.time, optional(message.to), optional(message.gid),
                      optional(message.clientId), optional(message.failed), message.isFromMe);
}

Result<ChatMessage> JsonCodec<ChatMessage>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "ChatMessage");
    ChatMessage message;
    std::optional<QString> id;
    fields.lenient("id"_L1, id);
    fields.required("from"_L1, message.from);
    fields.lenient("fromName"_L1, message.fromName);
    fields.lenient("fromAvatar"_L1, message.fromAvatar);
    fields.lenient("fromRole"_L1, message.fromRole);
    fields.lenient("fromBot"_L1, message.fromBot);
    fields.required("content"_L1, message.content);
    fields.lenient("images"_L1, message.images);
    fields.required("time"_L1, message.time);
    fields.lenient("to"_L1, message.to);
    fields.lenient("gid"_L1, message.gid);
    fields.lenient("clientId"_L1, message.clientId);
    fields.lenient("failed"_L1, message.failed);
    if (!fields.failed())
        message.id = id ? std::move(*id)
                        : message.from + u'_' + message.content + u'_' + QString::number(message.time);
    return fields.finish(std::move(message));
}

QJsonValue JsonCodec<ChatMessage>::encode(const ChatMessage &message)
{
    return JsonObjectBuilder()
        .put("id"_L1, message.id)
        .put("from"_L1, message.from)
        .put("fromName"_L1, message.fromName)
        .put("fromAvatar"_L1, message.fromAvatar)
        .put("fromRole"_L1, message.fromRole)
        .put("fromBot"_L1, message.fromBot)
        .put("content"_L1, message.content)
        .put("images"_L1, message.images)
        .put("time"_L1, message.time)
        .put("to"_L1, message.to)
        .put("gid"_L1, message.gid)
        .put("clientId"_L1, message.clientId)
        .put("failed"_L1, message.failed)
        .object();
}
