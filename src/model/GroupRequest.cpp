#include "GroupRequest.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<GroupRequest> JsonCodec<GroupRequest>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "GroupRequest");
    GroupRequest request;
    fields.required("id"_L1, request.id);
    fields.required("gid"_L1, request.gid);
    fields.optional("groupName"_L1, request.groupName);
    fields.required("from"_L1, request.from);
    fields.optional("fromName"_L1, request.fromName);
    fields.optional("fromAvatar"_L1, request.fromAvatar);
    fields.required("time"_L1, request.time);
    fields.optional("status"_L1, request.status);
    return fields.finish(std::move(request));
}

QJsonValue JsonCodec<GroupRequest>::encode(const GroupRequest &request)
{
    return JsonObjectBuilder()
        .put("id"_L1, request.id)
        .put("gid"_L1, request.gid)
        .put("groupName"_L1, request.groupName)
        .put("from"_L1, request.from)
        .put("fromName"_L1, request.fromName)
        .put("fromAvatar"_L1, request.fromAvatar)
        .put("time"_L1, request.time)
        .put("status"_L1, request.status)
        .object();
}
