#pragma once
// The slots the chat state installs for inbound server events. Every slot is optional: an empty
// one is skipped. They run on the main thread in the order frames arrive (a frame behind a large
// snapshot being decoded waits for it), so a slot may update UI state directly.
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "FriendRequest.h"
#include "GroupRequest.h"
#include "HelloMessage.h"
#include "Moment.h"
#include "User.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

struct InboundCallbacks
{
    // By value: the snapshot's lists are handed over, so the chat state can take them without copying.
    std::function<void(HelloMessage hello)> onHello;
    std::function<void(const ChatMessage &message)> onGlobalMessage;
    std::function<void(const ChatMessage &message)> onDMMessage;
    std::function<void(const ChatMessage &message)> onGroupMessage;
    // room is "global", "dm" or "group" (anything else is passed on unchanged); peerId comes with
    // direct-message recalls, groupId with group recalls, clientId when the sender gave the message one.
    std::function<void(const QString &room, const QString &messageId, const std::optional<QString> &peerId,
                       const std::optional<QString> &groupId, const std::optional<QString> &clientId)>
        onRecalled;
    std::function<void(const QString &text)> onError;
    std::function<void(const QString &text)> onBanned;
    std::function<void(const QString &text)> onKicked;
    std::function<void(const QString &text)> onSystem;
    std::function<void(const QStringList &userIds)> onPresence;
    std::function<void(const QString &announcement)> onAnnouncementUpdate;
    std::function<void(const FriendRequest &request)> onFriendRequest;
    std::function<void(const QList<User> &friends)> onFriendUpdate;
    std::function<void(bool ok, const QString &action, const QString &fromName)> onRequestRespond;
    std::function<void(bool ok, const std::optional<QString> &error)> onRequestSent;
    std::function<void(const ChatGroup &group)> onGroupCreated;
    std::function<void(const QString &gid, const QString &text)> onGroupRemoved;
    std::function<void(const QString &gid, const ChatGroup &group)> onGroupRenamed;
    std::function<void(const QString &gid, const ChatGroup &group, const QString &userId)> onGroupMemberRemoved;
    std::function<void(const QString &gid, const QString &avatar)> onGroupAvatarUpdated;
    std::function<void(const QString &gid)> onGroupApplySent;
    std::function<void(const GroupRequest &request)> onGroupApplyRequest;
    // Called for every acceptance, also when the server sent no usable group.
    std::function<void(const QString &gid, const std::optional<ChatGroup> &group)> onGroupApplyAccepted;
    std::function<void(const QString &gid)> onGroupApplyRejected;
    std::function<void(const QList<Moment> &moments)> onMomentsUpdate;
    std::function<void(int maxOnline)> onMaxOnlineUpdate;
    std::function<void(const QString &hallName)> onHallRenamed;
    std::function<void()> onHallCleared;
};
