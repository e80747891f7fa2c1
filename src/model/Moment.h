#pragma once
// One post of the moments feed.
#include "JsonCoding.h"
#include "MomentComment.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

struct Moment
{
    QString id{};
    QString author{}; // author user id
    std::optional<QString> authorName{};
    std::optional<QString> authorAvatar{};
    QString text{};
    QStringList images{};
    qint64 time = 0; // ms since 1970
    QStringList likes{}; // user ids that liked the post
    QList<MomentComment> comments{};
    bool isLiked = false; // client-side only, never on the wire

    bool operator==(const Moment &) const = default;
};

size_t qHash(const Moment &moment, size_t seed = 0);

// Decodes leniently: a malformed author name or avatar is absent, and malformed "images", "likes"
// or "comments" (one bad comment is enough) become empty lists instead of failing the post.
template <>
struct JsonCodec<Moment>
{
    static Result<Moment> decode(const QJsonValue &json);
    static QJsonValue encode(const Moment &moment);
};
