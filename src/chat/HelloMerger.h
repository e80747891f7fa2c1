#pragma once
// Folds the hello snapshot, sent after every connection, into the chat state: most lists are
// replaced (an absent list empties its target), group rooms are replaced as a whole when sent,
// direct rooms are merged room by room, and the hall settings go to the session state as
// notifications. Own-message and owner flags are judged by the snapshot's own user id. The user's
// pending messages stay at the end of their rooms (unless the snapshot already holds them) and
// are sent again once the merge is done.
#include "HelloMessage.h"

class ChatViewModel;

class HelloMerger
{
public:
    // Takes the snapshot's lists over (a snapshot handed over whole is flagged in place, not copied).
    static void merge(ChatViewModel &chat, HelloMessage hello);

    // "[HELLO] friends=… groups=… globalMsgs=… dmRooms=… isAdmin=… hallName=…"
    static QString summaryLine(const HelloMessage &hello);

    // The list with every message's isFromMe judged against userId.
    static QList<ChatMessage> flagged(QList<ChatMessage> messages, const QString &userId);
};
