#pragma once
// The snapshot the server sends once after each WebSocket connection. Only "type" is required; a
// missing member stays absent so the chat state can tell "not sent" from "sent empty". One bad
// nested record fails the whole snapshot: nothing of a half-understood snapshot is used.
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "FriendRequest.h"
#include "GroupRequest.h"
#include "JsonCoding.h"
#include "Moment.h"
#include "User.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

struct HelloMessage
{
    QString type{}; // always "hello"
    std::optional<User> selfUser{}; // "self" on the wire
    std::optional<int> maxOnline{}; // site-wide limit of users online
    std::optional<bool> isAdmin{};  // the current user is a site administrator
    std::optional<QString> hallName{};
    std::optional<QString> announcement{};
    std::optional<QList<ChatMessage>> globalMsgs{}; // recent hall history
    std::optional<QList<ChatGroup>> groups{};       // groups the user belongs to
    std::optional<QList<User>> friends{};
    std::optional<QList<FriendRequest>> pendingRequests{};
    std::optional<QList<GroupRequest>> groupApplyRequests{}; // applications to groups the user owns
    std::optional<QHash<QString, QList<ChatMessage>>> dmRooms{};   // by direct-room key
    std::optional<QHash<QString, QList<ChatMessage>>> groupMsgs{}; // by group id
    std::optional<QList<Moment>> moments{};

    bool operator==(const HelloMessage &) const = default;
};

template <>
struct JsonCodec<HelloMessage>
{
    static Result<HelloMessage> decode(const QJsonValue &json);
    static QJsonValue encode(const HelloMessage &hello);
};
