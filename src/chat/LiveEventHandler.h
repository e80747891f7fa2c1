#pragma once
// The chat state's handlers for the server's live events, installed once into the WebSocket
// client's slots when the chat state is built. Each handler holds the chat state weakly and drops
// the event once it is gone (ban and kick still reach the session state, and a hall rename needs
// no chat state at all).
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "MessageStore.h"

#include <functional>
#include <optional>

class ChatViewModel;
class WebSocketService;

class LiveEventHandler
{
public:
    static void install(ChatViewModel &chat, WebSocketService &ws);

private:
    // Own echoes clear the optimistic messages of their list; duplicates by id are not appended;
    // the state is saved even for a duplicate.
    static void receive(ChatViewModel &chat, const ChatMessage &message, const MessageStore::Ref &ref);
    // A recall removes the message, and a pending copy of it by its client id.
    static void recall(ChatViewModel &chat, const QString &room, const QString &messageId,
                       const std::optional<QString> &peerId, const std::optional<QString> &groupId,
                       const std::optional<QString> &clientId);
    // Changes the first group with that id (not saved).
    static void editGroup(ChatViewModel &chat, const QString &gid, const std::function<void(ChatGroup &)> &edit);
};
