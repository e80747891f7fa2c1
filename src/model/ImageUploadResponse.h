#pragma once
// Answer to an image upload; the URL goes into a chat message's images.
#include "JsonCoding.h"

#include <QString>

struct ImageUploadResponse
{
    bool ok = false;
    QString url{};

    bool operator==(const ImageUploadResponse &) const = default;
};

template <>
struct JsonCodec<ImageUploadResponse>
{
    static Result<ImageUploadResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const ImageUploadResponse &response);
};
