#include "LoginResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<LoginResponse> JsonCodec<LoginResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "LoginResponse");
    LoginResponse response;
    fields.required("ok"_L1, response.ok);
    fields.required("token"_L1, response.token);
    fields.required("user"_L1, response.user);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<LoginResponse>::encode(const LoginResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("token"_L1, response.token)
        .put("user"_L1, response.user)
        .object();
}
