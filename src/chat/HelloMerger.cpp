#include "HelloMerger.h"

#include "AppLogger.h"
#include "ChatViewModel.h"
#include "NotificationCenter.h"
#include "Outbox.h"
#include "SettingsStore.h"

namespace {
// The snapshot's list of a room followed by the user's messages still pending in the list it
// replaces, except those the snapshot shows delivered (by their client id).
QList<ChatMessage> keepingPending(QList<ChatMessage> fresh, const QList<ChatMessage> *old)
{
    if (!old)
        return fresh;
    QSet<QString> delivered;
    for (const ChatMessage &message : fresh)
        if (message.clientId)
            delivered.insert(*message.clientId);
    for (const ChatMessage &message : *old)
        if (Outbox::isPending(message) && !delivered.contains(Outbox::clientIdOf(message)))
            fresh.append(message);
    return fresh;
}

template <typename T>
QString countOf(const std::optional<T> &list)
{
    return QString::number(list ? qsizetype(list->size()) : qsizetype(-1));
}
} // namespace

QString HelloMerger::summaryLine(const HelloMessage &hello)
{
    return QStringLiteral("[HELLO] friends=") + countOf(hello.friends) + QStringLiteral(" groups=")
        + countOf(hello.groups) + QStringLiteral(" globalMsgs=") + countOf(hello.globalMsgs)
        + QStringLiteral(" dmRooms=") + countOf(hello.dmRooms) + QStringLiteral(" isAdmin=")
        + (hello.isAdmin.value_or(false) ? QStringLiteral("true") : QStringLiteral("false"))
        + QStringLiteral(" hallName=") + hello.hallName.value_or(QStringLiteral("nil"));
}

QList<ChatMessage> HelloMerger::flagged(QList<ChatMessage> messages, const QString &userId)
{
    for (ChatMessage &message : messages)
        message.isFromMe = message.from == userId;
    return messages;
}

MessageStore::MessageMap HelloMerger::flagged(MessageStore::MessageMap rooms, const QString &userId)
{
    for (QList<ChatMessage> &room : rooms)
        room = flagged(std::move(room), userId);
    return rooms;
}

QList<ChatGroup> HelloMerger::flagged(QList<ChatGroup> groups, const QString &userId)
{
    for (ChatGroup &group : groups)
        group.isOwner = group.owner == userId;
    return groups;
}

void HelloMerger::merge(ChatViewModel &chat, HelloMessage hello)
{
    AppLogger::shared().log(summaryLine(hello));

    if (hello.selfUser) {
        chat.setCurrentUserName(hello.selfUser->username);
        // Rewriting the settings file with the same id at every reconnect would wait for the disk
        // on the main thread.
        if (ChatViewModel::currentUserId() != hello.selfUser->id)
            SettingsStore::shared().setString(QStringLiteral("zp_current_uid"), hello.selfUser->id);
    }
    // Read after the snapshot's own user was stored, so a new account is judged by its own id.
    const QString me = ChatViewModel::currentUserId();
    MessageStore &store = chat.store();

    store.setGlobal(keepingPending(flagged(std::move(hello.globalMsgs).value_or(QList<ChatMessage>()), me), &store.global()));

    chat.setGroups(flagged(std::move(hello.groups).value_or(QList<ChatGroup>()), me));

    chat.setFriends(std::move(hello.friends).value_or(QList<User>()));
    chat.setPendingRequests(std::move(hello.pendingRequests).value_or(QList<FriendRequest>()));
    chat.setGroupRequests(std::move(hello.groupApplyRequests).value_or(QList<GroupRequest>()));

    if (hello.groupMsgs) {
        MessageStore::MessageMap rooms = std::move(*hello.groupMsgs);
        for (auto it = rooms.begin(); it != rooms.end(); ++it)
            it.value() = keepingPending(flagged(std::move(it.value()), me), store.find({MessageStore::Box::Group, it.key()}));
        store.setBox(MessageStore::Box::Group, std::move(rooms));
    }

    chat.setMoments(std::move(hello.moments).value_or(QList<Moment>()));
    if (hello.announcement && !hello.announcement->isEmpty())
        chat.setAnnouncement(*hello.announcement);

    NotificationCenter &center = NotificationCenter::shared();
    if (hello.hallName)
        center.post(QStringLiteral("hallRenamed"), *hello.hallName);
    if (hello.maxOnline)
        center.post(QStringLiteral("maxOnlineUpdate"), *hello.maxOnline);
    if (hello.isAdmin)
        center.post(QStringLiteral("adminStatusUpdate"), *hello.isAdmin);

    // Direct rooms are merged: each room sent replaces its entry (also with an empty list), the others stay.
    if (hello.dmRooms) {
        MessageStore::MessageMap rooms = store.dm();
        for (auto it = hello.dmRooms->begin(); it != hello.dmRooms->end(); ++it)
            rooms.insert(it.key(), keepingPending(flagged(std::move(it.value()), me), store.find({MessageStore::Box::Dm, it.key()})));
        store.setBox(MessageStore::Box::Dm, std::move(rooms));
    }

    chat.mutableCache().requestSave();
    chat.outbox().resendAfterHello();
}
