#include "FriendRequest.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

size_t qHash(const FriendRequest &request, size_t seed)
{
    using RecordHashing::optional;
    return qHashMulti(seed, request.id, request.from, optional(request.fromName), optional(request.fromAvatar),
                      request.time);
}

Result<FriendRequest> JsonCodec<FriendRequest>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "FriendRequest");
    FriendRequest request;
    fields.required("id"_L1, request.id);
    fields.required("from"_L1, request.from);
    fields.optional("fromName"_L1, request.fromName);
    fields.optional("fromAvatar"_L1, request.fromAvatar);
    fields.required("time"_L1, request.time);
    return fields.finish(std::move(request));
}

QJsonValue JsonCodec<FriendRequest>::encode(const FriendRequest &request)
{
    return JsonObjectBuilder()
        .put("id"_L1, request.id)
        .put("from"_L1, request.from)
        .put("fromName"_L1, request.fromName)
        .put("fromAvatar"_L1, request.fromAvatar)
        .put("time"_L1, request.time)
        .object();
}
