#pragma once
// An account as other users see it.
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct User
{
    QString id{};
    QString username{};
    std::optional<QString> avatar{}; // URL or server path of the avatar image
    std::optional<QString> role{};   // "admin" marks a site administrator
    std::optional<bool> banned{};
    std::optional<qint64> createdAt{}; // ms since 1970

    bool operator==(const User &) const = default;
};

size_t qHash(const User &user, size_t seed = 0);

template <>
struct JsonCodec<User>
{
    static Result<User> decode(const QJsonValue &json);
    static QJsonValue encode(const User &user);
};
