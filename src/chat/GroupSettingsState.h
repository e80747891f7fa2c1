#pragma once
// The group settings sheet's state: the group as it was when the sheet opened, its members with
// the names and pictures to show, the friends who could still join, and the group picture upload.
#include "ChatGroup.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <optional>

class ChatViewModel;

class GroupSettingsState : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(ChatViewModel *chat READ chat WRITE setChat NOTIFY groupChanged)
    // Setting the id takes a copy of the group; later changes show when the sheet opens again.
    Q_PROPERTY(QString gid READ gid WRITE setGid NOTIFY groupChanged)
    Q_PROPERTY(bool known READ known NOTIFY groupChanged)
    Q_PROPERTY(QVariantMap group READ groupVariant NOTIFY groupChanged)
    // The signed-in user (the stored current user id) owns the group.
    Q_PROPERTY(bool isOwner READ isOwner NOTIFY groupChanged)
    // { id, name, avatar, isOwner } per member, in the group's order.
    Q_PROPERTY(QVariantList members READ members NOTIFY groupChanged)
    // Friends who are not members, in friends order.
    Q_PROPERTY(QVariantList availableFriends READ availableFriends NOTIFY availableFriendsChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)

public:
    explicit GroupSettingsState(QObject *parent = nullptr);

    ChatViewModel *chat() const { return m_chat; }
    void setChat(ChatViewModel *chat);
    QString gid() const { return m_gid; }
    void setGid(const QString &gid);
    bool known() const { return m_group.has_value(); }
    QVariantMap groupVariant() const;
    bool isOwner() const;
    QVariantList members() const;
    QVariantList availableFriends() const;
    QString message() const { return m_message; }

    // Posts the picture in the file as the group's new picture. An unreadable file, an image that
    // does not encode or a missing stored token end it silently.
    Q_INVOKABLE void uploadPicture(const QUrl &file);

Q_SIGNALS:
    void groupChanged();
    void availableFriendsChanged();
    void messageChanged();

private:
    void takeGroup();
    void setMessage(const QString &message);

    QPointer<ChatViewModel> m_chat;
    QString m_gid;
    std::optional<ChatGroup> m_group;
    QString m_message;
};
