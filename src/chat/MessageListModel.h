#pragma once
// The messages of one room as rows, oldest first, following the chat state's message stores row
// by row: an arriving message is one inserted row, a recall one removed row, and only a list
// replaced as a whole (hello snapshot, restored cache, cleared hall) resets the model.
#include "MessageStore.h"
#include "RoomType.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>
#include <optional>

class MessageListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("the chat state provides its message list")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        FromRole,
        FromNameRole,
        FromAvatarRole,
        FromRoleRole,
        FromBotRole,
        ContentRole,
        ImagesRole,
        TimeRole,
        ToRole,
        GidRole,
        IsFromMeRole,
        // An optimistic message still waiting for the server's echo.
        IsPendingRole,
        // An own message the server never confirmed; it waits for the user to resend it.
        IsFailedRole,
    };
    Q_ENUM(Role)

    explicit MessageListModel(const MessageStore &store, QObject *parent = nullptr);

    // No room: no rows.
    void setRoom(const std::optional<RoomType> &room);

    int count() const { return rowCount(); }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    // Where the room's list is kept, judged with the current user id (it may change with a snapshot).
    std::optional<MessageStore::Ref> resolve() const;
    const QList<ChatMessage> *rows() const;
    bool follows(const MessageStore::Ref &ref) const { return m_ref && *m_ref == ref; }

    const MessageStore &m_store;
    std::optional<RoomType> m_room;
    std::optional<MessageStore::Ref> m_ref;
    bool m_resetting = false;
};
