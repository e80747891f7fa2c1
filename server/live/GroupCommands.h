#pragma once
// Group life: creating, applying and answering applications, renaming, adding and removing members,
// leaving and dissolving. Only members post, only the owner manages.
//
// The client lists a group as its own when it arrives in "group-created", so only the creator gets
// that event; every other user who joins (added by the owner or accepted) gets "group-apply-accepted"
// with the group. Members who stay learn of any change of membership from "group-member-removed"
// carrying the whole new member list ("userId" is empty when members were added).
#include "live/ChatContext.h"
#include "ChatGroup.h"

#include <optional>

class GroupCommands
{
public:
    explicit GroupCommands(ChatContext &context) : m_context(context) {}
    void registerWith(CommandTable &table);

private:
    void create(ChatClient &client, const QJsonObject &frame);
    void apply(ChatClient &client, const QJsonObject &frame);
    void answerApplication(ChatClient &client, const QJsonObject &frame);
    void rename(ChatClient &client, const QJsonObject &frame);
    void removeMember(ChatClient &client, const QJsonObject &frame);
    void addMembers(ChatClient &client, const QJsonObject &frame);
    void dissolve(ChatClient &client, const QJsonObject &frame);
    void leave(ChatClient &client, const QJsonObject &frame);

    // The group if the client owns it; otherwise an "error" frame went back.
    std::optional<ChatGroup> ownedGroup(ChatClient &client, const QString &gid);
    // Friends of the client named in the frame's "members", or nothing after an "error" frame.
    std::optional<QStringList> invitees(ChatClient &client, const QJsonObject &frame);
    // Tells the listed members (or all members) of the group's new membership.
    void announceMembership(const ChatGroup &group, const QString &removedUserId, const QStringList &recipients);
    void welcome(const ChatGroup &group, const QStringList &newMembers);
    void refuse(ChatClient &client, const QString &text);

    ChatContext &m_context;
};
