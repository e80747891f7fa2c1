#pragma once
// Answer to posting a moment: the post as the server stored it.
#include "JsonCoding.h"
#include "Moment.h"

struct MomentResponse
{
    bool ok = false;
    Moment moment{};

    bool operator==(const MomentResponse &) const = default;
};

template <>
struct JsonCodec<MomentResponse>
{
    static Result<MomentResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const MomentResponse &response);
};
