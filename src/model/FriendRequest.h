#pragma once
// A pending friend request addressed to the current user.
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct FriendRequest
{
    QString id{};
    QString from{}; // requesting user id
    std::optional<QString> fromName{};
    std::optional<QString> fromAvatar{};
    qint64 time = 0; // ms since 1970

    bool operator==(const FriendRequest &) const = default;
};

size_t qHash(const FriendRequest &request, size_t seed = 0);

template <>
struct JsonCodec<FriendRequest>
{
    static Result<FriendRequest> decode(const QJsonValue &json);
    static QJsonValue encode(const FriendRequest &request);
};
