#include "ChatGroup.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"
#include "RecordHashing.h"

using namespace Qt::StringLiterals;

size_t qHash(const ChatGroup &group, size_t seed)
{
    using RecordHashing::optional;
    return qHashMulti(seed, group.id, group.name, group.owner, group.members, optional(group.memberNames),
                      optional(group.memberAvatars), optional(group.avatar), optional(group.createdAt),
                      group.isOwner);
}

Result<ChatGroup> JsonCodec<ChatGroup>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "ChatGroup");
    ChatGroup group;
    fields.required("id"_L1, group.id);
    fields.required("name"_L1, group.name);
    fields.required("owner"_L1, group.owner);
    fields.required("members"_L1, group.members);
    fields.optional("memberNames"_L1, group.memberNames);
    fields.optional("memberAvatars"_L1, group.memberAvatars);
    fields.optional("avatar"_L1, group.avatar);
    fields.optional("createdAt"_L1, group.createdAt);
    return fields.finish(std::move(group));
}

QJsonValue JsonCodec<ChatGroup>::encode(const ChatGroup &group)
{
    return JsonObjectBuilder()
        .put("id"_L1, group.id)
        .put("name"_L1, group.name)
        .put("owner"_L1, group.owner)
        .put("members"_L1, group.members)
        .put("memberNames"_L1, group.memberNames)
        .put("memberAvatars"_L1, group.memberAvatars)
        .put("avatar"_L1, group.avatar)
        .put("createdAt"_L1, group.createdAt)
        .object();
}
