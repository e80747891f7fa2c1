#pragma once
// A group conversation and its membership.
#include "JsonCoding.h"

#include <QString>
#include <QStringList>
#include <optional>

struct ChatGroup
{
    QString id{};
    QString name{};
    QString owner{}; // owner user id
    QStringList members{}; // member user ids
    std::optional<QStringList> memberNames{};   // parallel to members
    std::optional<QStringList> memberAvatars{}; // parallel to members
    std::optional<QString> avatar{};
    std::optional<qint64> createdAt{}; // ms since 1970
    bool isOwner = false;            // client-side only, never on the wire

    bool operator==(const ChatGroup &) const = default;
};

size_t qHash(const ChatGroup &group, size_t seed = 0);

template <>
struct JsonCodec<ChatGroup>
{
    static Result<ChatGroup> decode(const QJsonValue &json);
    static QJsonValue encode(const ChatGroup &group);
};
