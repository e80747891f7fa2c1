#pragma once
// Answer to the session check: the account the token belongs to.
#include "JsonCoding.h"
#include "User.h"

struct MeResponse
{
    bool ok = false;
    User user{};

    bool operator==(const MeResponse &) const = default;
};

template <>
struct JsonCodec<MeResponse>
{
    static Result<MeResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const MeResponse &response);
};
