#include "HelloMessage.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<HelloMessage> JsonCodec<HelloMessage>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "HelloMessage");
    HelloMessage hello;
    fields.required("type"_L1, hello.type);
    fields.optional("self"_L1, hello.selfUser);
    fields.optional("maxOnline"_L1, hello.maxOnline);
    fields.optional("isAdmin"_L1, hello.isAdmin);
    fields.optional("hallName"_L1, hello.hallName);
    fields.optional("announcement"_L1, hello.announcement);
    fields.optional("globalMsgs"_L1, hello.globalMsgs);
    fields.optional("groups"_L1, hello.groups);
    fields.optional("friends"_L1, hello.friends);
    fields.optional("pendingRequests"_L1, hello.pendingRequests);
    fields.optional("groupApplyRequests"_L1, hello.groupApplyRequests);
    fields.optional("dmRooms"_L1, hello.dmRooms);
    fields.optional("groupMsgs"_L1, hello.groupMsgs);
    fields.optional("moments"_L1, hello.moments);
    return fields.finish(std::move(hello));
}

QJsonValue JsonCodec<HelloMessage>::encode(const HelloMessage &hello)
{
    return JsonObjectBuilder()
        .put("type"_L1, hello.type)
        .put("self"_L1, hello.selfUser)
        .put("maxOnline"_L1, hello.maxOnline)
        .put("isAdmin"_L1, hello.isAdmin)
        .put("hallName"_L1, hello.hallName)
        .put("announcement"_L1, hello.announcement)
        .put("globalMsgs"_L1, hello.globalMsgs)
        .put("groups"_L1, hello.groups)
        .put("friends"_L1, hello.friends)
        .put("pendingRequests"_L1, hello.pendingRequests)
        .put("groupApplyRequests"_L1, hello.groupApplyRequests)
        .put("dmRooms"_L1, hello.dmRooms)
        .put("groupMsgs"_L1, hello.groupMsgs)
        .put("moments"_L1, hello.moments)
        .object();
}
