#include "SearchGroup.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<SearchGroup> JsonCodec<SearchGroup>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "SearchGroup");
    SearchGroup group;
    fields.required("id"_L1, group.id);
    fields.required("name"_L1, group.name);
    fields.optional("owner"_L1, group.owner);
    fields.optional("ownerName"_L1, group.ownerName);
    fields.optional("memberCount"_L1, group.memberCount);
    fields.optional("avatar"_L1, group.avatar);
    return fields.finish(std::move(group));
}

QJsonValue JsonCodec<SearchGroup>::encode(const SearchGroup &group)
{
    return JsonObjectBuilder()
        .put("id"_L1, group.id)
        .put("name"_L1, group.name)
        .put("owner"_L1, group.owner)
        .put("ownerName"_L1, group.ownerName)
        .put("memberCount"_L1, group.memberCount)
        .put("avatar"_L1, group.avatar)
        .object();
}
