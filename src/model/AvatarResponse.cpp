#include "AvatarResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<AvatarResponse> JsonCodec<AvatarResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "AvatarResponse");
    AvatarResponse response;
    fields.required("ok"_L1, response.ok);
    fields.required("avatar"_L1, response.avatar);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<AvatarResponse>::encode(const AvatarResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("avatar"_L1, response.avatar)
        .object();
}
