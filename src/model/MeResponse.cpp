#include "MeResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<MeResponse> JsonCodec<MeResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "MeResponse");
    MeResponse response;
    fields.required("ok"_L1, response.ok);
    fields.required("user"_L1, response.user);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<MeResponse>::encode(const MeResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("user"_L1, response.user)
        .object();
}
