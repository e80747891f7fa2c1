#pragma once
// Answer to a successful sign-in.
#include "JsonCoding.h"
#include "User.h"

#include <QString>

struct LoginResponse
{
    bool ok = false;
    QString token{};
    User user{};

    bool operator==(const LoginResponse &) const = default;
};

template <>
struct JsonCodec<LoginResponse>
{
    static Result<LoginResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const LoginResponse &response);
};
