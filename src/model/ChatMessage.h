#pragma once
// One message in the hall, a direct conversation or a group.
#include "JsonCoding.h"

#include <QString>
#include <QStringList>
#include <optional>

struct ChatMessage
{
    // Never empty after decoding: computed from sender, text and time when the server sends none.
    QString id{};
    QString from{}; // sender user id
    std::optional<QString> fromName{};
    std::optional<QString> fromAvatar{};
    std::optional<QString> fromRole{};
    std::optional<bool> fromBot{};
    QString content{}; // may be empty when the message carries only images
    std::optional<QStringList> images{}; // image URLs or server paths
    qint64 time = 0; // ms since 1970
    std::optional<QString> to{};  // peer user id of a direct message
    std::optional<QString> gid{}; // group id of a group message
    // The sender's own id of the message, chosen before sending: a resent message is recognised
    // by it (the server stores it and echoes it back).
    std::optional<QString> clientId{};
    // Set by the client on an own message the server never confirmed; kept in the local store.
    std::optional<bool> failed{};
    bool isFromMe = false;      // client-side only, never on the wire

    bool operator==(const ChatMessage &) const = default;
};

size_t qHash(const ChatMessage &message, size_t seed = 0);

// Decodes leniently: only "from", "content" and "time" are required; a missing or non-string "id"
// is replaced by from + "_" + content + "_" + time, and a malformed optional is simply absent.
template <>
struct JsonCodec<ChatMessage>
{
    static Result<ChatMessage> decode(const QJsonValue &json);
    static QJsonValue encode(const ChatMessage &message);
};
