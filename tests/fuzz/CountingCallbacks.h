#pragma once
// Installs every inbound slot with a body that counts the call and reads its arguments, so that
// the fuzzer and the random-frame test exercise the values a real chat state would consume.
#include "InboundCallbacks.h"

#include <cstddef>

inline void installCountingCallbacks(InboundCallbacks &callbacks, int &calls, std::size_t &touched)
{
    auto seen = [&calls, &touched](qsizetype size) {
        ++calls;
        touched += std::size_t(size);
    };
    callbacks.onHello = [seen](const HelloMessage &h) { seen(h.globalMsgs ? h.globalMsgs->size() : 0); };
    callbacks.onGlobalMessage = [seen](const ChatMessage &m) { seen(m.id.size() + m.content.size()); };
    callbacks.onDMMessage = [seen](const ChatMessage &m) { seen(m.id.size()); };
    callbacks.onGroupMessage = [seen](const ChatMessage &m) { seen(m.id.size()); };
    callbacks.onRecalled = [seen](const QString &room, const QString &id, const std::optional<QString> &to,
                                  const std::optional<QString> &gid, const std::optional<QString> &) {
        seen(room.size() + id.size() + (to ? to->size() : 0) + (gid ? gid->size() : 0));
    };
    callbacks.onError = [seen](const QString &t) { seen(t.size()); };
    callbacks.onBanned = [seen](const QString &t) { seen(t.size()); };
    callbacks.onKicked = [seen](const QString &t) { seen(t.size()); };
    callbacks.onSystem = [seen](const QString &t) { seen(t.size()); };
    callbacks.onPresence = [seen](const QStringList &ids) { seen(ids.size()); };
    callbacks.onAnnouncementUpdate = [seen](const QString &t) { seen(t.size()); };
    callbacks.onFriendRequest = [seen](const FriendRequest &r) { seen(r.id.size()); };
    callbacks.onFriendUpdate = [seen](const QList<User> &users) { seen(users.size()); };
    callbacks.onRequestRespond = [seen](bool, const QString &a, const QString &n) { seen(a.size() + n.size()); };
    callbacks.onRequestSent = [seen](bool, const std::optional<QString> &e) { seen(e ? e->size() : 0); };
    callbacks.onGroupCreated = [seen](const ChatGroup &g) { seen(g.members.size()); };
    callbacks.onGroupRemoved = [seen](const QString &gid, const QString &t) { seen(gid.size() + t.size()); };
    callbacks.onGroupRenamed = [seen](const QString &gid, const ChatGroup &g) { seen(gid.size() + g.name.size()); };
    callbacks.onGroupMemberRemoved = [seen](const QString &gid, const ChatGroup &g, const QString &u) {
        seen(gid.size() + g.members.size() + u.size());
    };
    callbacks.onGroupAvatarUpdated = [seen](const QString &gid, const QString &a) { seen(gid.size() + a.size()); };
    callbacks.onGroupApplySent = [seen](const QString &gid) { seen(gid.size()); };
    callbacks.onGroupApplyRequest = [seen](const GroupRequest &r) { seen(r.id.size()); };
    callbacks.onGroupApplyAccepted = [seen](const QString &gid, const std::optional<ChatGroup> &g) {
        seen(gid.size() + (g ? g->members.size() : 0));
    };
    callbacks.onGroupApplyRejected = [seen](const QString &gid) { seen(gid.size()); };
    callbacks.onMomentsUpdate = [seen](const QList<Moment> &moments) { seen(moments.size()); };
    callbacks.onMaxOnlineUpdate = [seen](int n) { seen(n & 1); };
    callbacks.onHallRenamed = [seen](const QString &n) { seen(n.size()); };
    callbacks.onHallCleared = [seen] { seen(0); };
}
