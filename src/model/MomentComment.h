#pragma once
// One comment under a moment. On the wire the commenter is "author"/"authorName".
#include "JsonCoding.h"

#include <QString>
#include <optional>

struct MomentComment
{
    QString user{}; // commenting user id, "author" on the wire
    std::optional<QString> userName{}; // "authorName" on the wire
    QString text{};
    qint64 time = 0; // ms since 1970

    // Comments carry no id of their own: user, text and decimal time, concatenated.
    QString id() const;

    bool operator==(const MomentComment &) const = default;
};

size_t qHash(const MomentComment &comment, size_t seed = 0);

template <>
struct JsonCodec<MomentComment>
{
    static Result<MomentComment> decode(const QJsonValue &json);
    static QJsonValue encode(const MomentComment &comment);
};
