#include "ImageUploadResponse.h"

#include "JsonFields.h"
#include "JsonObjectBuilder.h"

using namespace Qt::StringLiterals;

Result<ImageUploadResponse> JsonCodec<ImageUploadResponse>::decode(const QJsonValue &json)
{
    JsonFields fields(json, "ImageUploadResponse");
    ImageUploadResponse response;
    fields.required("ok"_L1, response.ok);
    fields.required("url"_L1, response.url);
    return fields.finish(std::move(response));
}

QJsonValue JsonCodec<ImageUploadResponse>::encode(const ImageUploadResponse &response)
{
    return JsonObjectBuilder()
        .put("ok"_L1, response.ok)
        .put("url"_L1, response.url)
        .object();
}
