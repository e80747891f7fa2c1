#include "SearchGroupResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<SearchGroupResponse> JsonCodec<SearchGroupResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "SearchGroupResponse");
    SearchGroupResponse response;
    fields.optional("ok"_L1, response.ok);
    fields.optional("error"_L1, response.error);
    fields.optional("groups"_L1, response.groups);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<SearchGroupResponse>::encode(const SearchGroupResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("error"_L1, response.error)
        .put("groups"_L1, response.groups)
        .object();
}
