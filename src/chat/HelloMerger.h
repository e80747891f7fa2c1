#pragma once
// Folds the hello snapshot, sent after every connection, into the chat state: most lists are
// replaced (an absent list empties its target), group rooms are replaced as a whole when sent,
// direct rooms are merged room by room, and the hall settings go to the session state as
// notifications. Own-message and owner flags are judged by the snapshot's own user id. The user's
// pending messages stay at the end of their rooms (unless the snapshot already holds them) and
// are sent again once the merge is done.
#include "HelloMessage.h"
#include "MessageStore.h"

class ChatViewModel;

class HelloMerger
{
public:
    // Takes the snapshot's lists over (a snapshot handed over whole is flagged in place, not copied).
    static void merge(ChatViewModel &chat, HelloMessage hello);

    // "[HELLO] friends=… groups=… globalMsgs=… dmRooms=… isAdmin=… hallName=…"
    static QString summaryLine(const HelloMessage &hello);

    // The client-side flags (isFromMe, isOwner) judged against userId; they are never stored, so
    // lists read back from the cache go through these too.
    static QList<ChatMessage> flagged(QList<ChatMessage> messages, const QString &userId);
    static MessageStore::MessageMap flagged(MessageStore::MessageMap rooms, const QString &userId);
    static QList<ChatGroup> flagged(QList<ChatGroup> groups, const QString &userId);
};
