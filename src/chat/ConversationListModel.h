#pragma once
// The rows of the conversation list: the hall, the two request rows (only while requests wait),
// then the groups and then the friends, each with a one-line preview of its latest message.
// Groups and friends are filtered by searchText (case-sensitive, as typed). The rows follow the
// chat state: a changed preview updates its row, a group or friend that comes or goes inserts or
// removes rows; nothing resets the whole list. Changes of the chat state are gathered and applied
// once at the end of the event-loop turn, so a burst of messages recomputes the rows once.
#include "ChatMessage.h"
#include "RoomType.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

class ChatViewModel;

class ConversationListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the chat state provides its conversation list")
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString hallName READ hallName WRITE setHallName NOTIFY hallNameChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        // "global", "friendRequests", "groupRequests", "group" or "dm".
        KindRole = Qt::UserRole + 1,
        // The room's identity ("global", "group_" + id, "dm_" + id); the request rows use their kind.
        RowIdRole,
        NameRole,
        PreviewRole,
        CountRole,
        OnlineRole,
        AvatarRole,
        // "" for the hall and request rows, "群聊" for groups, "好友" for friends.
        SectionRole,
        // The RoomType to open, or nothing for the request rows.
        RoomRole,
    };
    Q_ENUM(Role)

    explicit ConversationListModel(ChatViewModel *chat);

    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    QString hallName() const { return m_hallName; }
    void setHallName(const QString &name);

    int count() const { return int(m_rows.size()); }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Recomputes the rows and applies the difference now.
    void refresh();

Q_SIGNALS:
    void searchTextChanged();
    void hallNameChanged();
    void countChanged();

private:
    struct Row
    {
        QString kind;
        QString rowId;
        QString name;
        QString preview;
        int count = 0;
        bool online = false;
        QString avatar;
        QString section;
        std::optional<RoomType> room;
        bool operator==(const Row &) const = default;
    };

    void scheduleRefresh();
    QList<Row> buildRows() const;
    // The sender name (empty when absent), ": " and the content of the last message.
    static QString namedPreview(const QList<ChatMessage> &messages);

    const ChatViewModel *m_chat;
    QList<Row> m_rows;
    QString m_searchText;
    QString m_hallName = QStringLiteral("公共大厅");
    bool m_refreshPending = false;
};
