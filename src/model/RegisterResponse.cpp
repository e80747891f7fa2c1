#include "RegisterResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<RegisterResponse> JsonCodec<RegisterResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "RegisterResponse");
    RegisterResponse response;
    fields.required("ok"_L1, response.ok);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<RegisterResponse>::encode(const RegisterResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .object();
}
