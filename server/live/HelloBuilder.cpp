#include "live/HelloBuilder.h"

#include "accounts/AccountService.h"
#include "storage/FriendStore.h"
#include "storage/GroupStore.h"
#include "storage/HallSettings.h"
#include "core/Limits.h"
#include "storage/MessageStore.h"
#include "live/MomentFeed.h"
#include "storage/MomentStore.h"

HelloMessage HelloBuilder::build(const StoredUser &user)
{
    const QString me = user.user.id;
    HelloMessage hello;
    hello.type = QStringLiteral("hello");
    hello.selfUser = user.user;
    hello.maxOnline = m_context.hall.maxOnline();
    hello.isAdmin = user.isAdmin();
    hello.hallName = m_context.hall.hallName();
    hello.announcement = m_context.hall.announcement();
    hello.globalMsgs = m_context.messages.recent(MessageStore::hallRoom(), m_context.limits.helloHallMessages);

    const QList<ChatGroup> groups = m_context.groups.groupsOf(me);
    hello.groups = groups;
    QHash<QString, QList<ChatMessage>> groupMsgs;
    for (const ChatGroup &group : groups)
        groupMsgs.insert(group.id,
                         m_context.messages.recent(MessageStore::groupRoom(group.id), m_context.limits.helloRoomMessages));
    hello.groupMsgs = groupMsgs;

    const QStringList friendIds = m_context.friends.friendsOf(me);
    hello.friends = m_context.accounts.users().inOrder(friendIds);
    hello.pendingRequests = m_context.friends.requestsTo(me);
    hello.groupApplyRequests = m_context.groups.applicationsToGroupsOf(me);

    // Every friend's room is sent, empty ones included, so that a room whose messages were all
    // recalled while the user was away is cleared on the client too.
    QStringList peers = m_context.messages.directPeers(me, m_context.limits.helloDirectRooms);
    for (const QString &id : friendIds)
        if (!peers.contains(id))
            peers << id;
    QHash<QString, QList<ChatMessage>> dmRooms;
    for (const QString &peer : std::as_const(peers))
        dmRooms.insert(MessageStore::directKey(me, peer),
                       m_context.messages.recent(MessageStore::directRoom(me, peer), m_context.limits.helloRoomMessages));
    hello.dmRooms = dmRooms;
    hello.moments = MomentFeed(m_context.moments, m_context.limits).of(me);
    return hello;
}

QJsonObject HelloBuilder::event(const StoredUser &user)
{
    return toJson(build(user)).toObject();
}
