#pragma once
// An application to join a group, shown to the group's owner.
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct GroupRequest
{
    QString id{};
    QString gid{}; // group id
    std::optional<QString> groupName{};
    QString from{}; // applicant user id
    std::optional<QString> fromName{};
    std::optional<QString> fromAvatar{};
    qint64 time = 0; // ms since 1970
    std::optional<QString> status{};

    bool operator==(const GroupRequest &) const = default;
};

template <>
struct JsonCodec<GroupRequest>
{
    static Result<GroupRequest> decode(const QJsonValue &json);
    static QJsonValue encode(const GroupRequest &request);
};
