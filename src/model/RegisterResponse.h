#pragma once
// Answer to a successful registration.
#include "JsonCoding.h"

struct RegisterResponse
{
    bool ok = false;

    bool operator==(const RegisterResponse &) const = default;
};

template <>
struct JsonCodec<RegisterResponse>
{
    static Result<RegisterResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const RegisterResponse &response);
};
