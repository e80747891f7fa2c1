#pragma once
// Answer to an avatar upload.
#include "JsonCoding.h"

#include <QString>

struct AvatarResponse
{
    bool ok = false;
    QString avatar{};

    bool operator==(const AvatarResponse &) const = default;
};

template <>
struct JsonCodec<AvatarResponse>
{
    static Result<AvatarResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const AvatarResponse &response);
};
