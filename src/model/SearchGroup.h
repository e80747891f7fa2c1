#pragma once
// One hit of a group search.
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct SearchGroup
{
    QString id{};
    QString name{};
    std::optional<QString> owner{};
    std::optional<QString> ownerName{};
    std::optional<int> memberCount{};
    std::optional<QString> avatar{};

    bool operator==(const SearchGroup &) const = default;
};

template <>
struct JsonCodec<SearchGroup>
{
    static Result<SearchGroup> decode(const QJsonValue &json);
    static QJsonValue encode(const SearchGroup &group);
};
