#pragma once
// Answer to a group search.
#include "JsonCoding.h"
#include "SearchGroup.h"

#include <QList>
#include <QString>
#include <optional>

struct SearchGroupResponse
{
    std::optional<bool> ok{};
    std::optional<QString> error{};
    std::optional<QList<SearchGroup>> groups{};

    bool operator==(const SearchGroupResponse &) const = default;
};

template <>
struct JsonCodec<SearchGroupResponse>
{
    static Result<SearchGroupResponse> decode(const QJsonValue &json);
    static QJsonValue encode(const SearchGroupResponse &response);
};
