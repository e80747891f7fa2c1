#pragma once
// Builders of every outbound command object: one place fixes each command's "type", member names
// and JSON types. WebSocketService sends them; the chat state and screens build the commands they
// compose themselves here and hand them to WebSocketService::send().
#include <QJsonObject>
#include <QString>
#include <QStringList>

class Commands
{
public:
    static QJsonObject auth(const QString &token);

    // "images" is present only when the list is not empty; "content" always is; "clientId" only
    // when one is given.
    static QJsonObject global(const QString &content, const QStringList &images, const QString &clientId = {});
    static QJsonObject dm(const QString &to, const QString &content, const QStringList &images, const QString &clientId = {});
    static QJsonObject group(const QString &gid, const QString &content, const QStringList &images,
                             const QString &clientId = {});

    static QJsonObject createGroup(const QString &name, const QStringList &members);
    // action is "accept" or "deny".
    static QJsonObject respondRequest(const QString &requestId, const QString &action);
    static QJsonObject groupApplyRespond(const QString &applyId, const QString &action);
    static QJsonObject groupRename(const QString &gid, const QString &name);
    static QJsonObject groupRemoveMember(const QString &gid, const QString &userId);
    static QJsonObject groupAddMembers(const QString &gid, const QStringList &members);
    static QJsonObject momentComment(const QString &momentId, const QString &text);
    // commentId is the comment's computed id (author, text and time concatenated).
    static QJsonObject momentCommentDelete(const QString &momentId, const QString &commentId);

    // Commands composed by the chat state and the screens.
    static QJsonObject groupApply(const QString &gid);
    static QJsonObject recallGlobal(const QString &messageId);
    static QJsonObject recallGroup(const QString &messageId, const QString &gid);
    static QJsonObject recallDM(const QString &messageId, const QString &peerId);
    // The limit travels as a JSON integer.
    static QJsonObject setMaxOnline(int value);
    static QJsonObject renameHall(const QString &name);
    static QJsonObject clearHall();
    static QJsonObject banUser(const QString &username);
    static QJsonObject unbanUser(const QString &username);
    static QJsonObject announce(const QString &content);

    // The compact UTF-8 text of a command, as it goes into a text frame.
    static QString toText(const QJsonObject &command);
};
