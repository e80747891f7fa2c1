#include "MomentResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<MomentResponse> JsonCodec<MomentResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "MomentResponse");
    MomentResponse response;
    fields.required("ok"_L1, response.ok);
    fields.required("moment"_L1, response.moment);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<MomentResponse>::encode(const MomentResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("moment"_L1, response.moment)
        .object();
}
