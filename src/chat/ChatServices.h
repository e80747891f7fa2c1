#pragma once
// What the chat state reaches outside itself, gathered so that tests can put in their own: the
// WebSocket client, the group search of the REST client, the clock, the id source of optimistic
// messages, the toast's lifetime and the wait for an echo. Members left empty take the process-wide defaults.
#include "Result.h"
#include "SearchGroup.h"

#include <QList>
#include <QString>
#include <chrono>
#include <functional>

class WebSocketService;

struct ChatServices
{
    using SearchReply = std::function<void(const Result<QList<SearchGroup>> &result)>;

    WebSocketService *ws = nullptr;
    // Runs the REST group search; the reply comes back on the main thread, once.
    std::function<void(const QString &keyword, SearchReply reply)> searchGroups;
    // Milliseconds since 1970.
    std::function<qint64()> nowMs;
    // A fresh random UUID in canonical upper-case text form (36 characters).
    std::function<QString()> newUuid;
    std::chrono::milliseconds toastDuration{2000};
    // How long an own message may wait for its echo on a connection that stays up before it is
    // marked failed.
    std::chrono::milliseconds confirmTimeout{15000};

    // This set with every empty member filled by the process-wide default.
    ChatServices withDefaults() const;
};
