#include "MessageListModel.h"

#include "ChatViewModel.h"
#include "Outbox.h"

MessageListModel::MessageListModel(const MessageStore &store, QObject *parent)
    : QAbstractListModel(parent), m_store(store)
{
    connect(&store, &MessageStore::aboutToInsert, this, [this](const MessageStore::Ref &ref, int first, int last) {
        if (follows(ref))
            beginInsertRows(QModelIndex(), first, last);
    });
    connect(&store, &MessageStore::inserted, this, [this](const MessageStore::Ref &ref) {
        if (!follows(ref))
            return;
        endInsertRows();
        Q_EMIT countChanged();
    });
    connect(&store, &MessageStore::aboutToRemove, this, [this](const MessageStore::Ref &ref, int first, int last) {
        if (follows(ref))
            beginRemoveRows(QModelIndex(), first, last);
    });
    connect(&store, &MessageStore::removed, this, [this](const MessageStore::Ref &ref) {
        if (!follows(ref))
            return;
        endRemoveRows();
        Q_EMIT countChanged();
    });
    connect(&store, &MessageStore::replaced, this, [this](const MessageStore::Ref &ref, int row) {
        if (follows(ref))
            Q_EMIT dataChanged(index(row), index(row));
    });
    connect(&store, &MessageStore::aboutToReset, this, [this](MessageStore::Box box) {
        if (m_ref && m_ref->box == box) {
            beginResetModel();
            m_resetting = true;
        }
    });
    connect(&store, &MessageStore::reset, this, [this] {
        if (m_resetting) {
            m_ref = resolve();
            m_resetting = false;
            endResetModel();
            Q_EMIT countChanged();
        } else if (resolve() != m_ref) {
            // The current user changed under a direct room: follow its new key.
            setRoom(m_room);
        }
    });
}

void MessageListModel::setRoom(const std::optional<RoomType> &room)
{
    beginResetModel();
    m_room = room;
    m_ref = resolve();
    endResetModel();
    Q_EMIT countChanged();
}

std::optional<MessageStore::Ref> MessageListModel::resolve() const
{
    if (!m_room)
        return std::nullopt;
    return ChatViewModel::storeRef(*m_room);
}

const QList<ChatMessage> *MessageListModel::rows() const
{
    return m_ref ? m_store.find(*m_ref) : nullptr;
}

int MessageListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    const QList<ChatMessage> *list = rows();
    return list ? int(list->size()) : 0;
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    const QList<ChatMessage> *list = rows();
    if (!list || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const ChatMessage &message = list->at(index.row());
    const auto optional = [](const auto &value) { return value ? QVariant::fromValue(*value) : QVariant(); };
    switch (role) {
    case Qt::DisplayRole:
    case ContentRole:
        return message.content;
    case IdRole:
        return message.id;
    case FromRole:
        return message.from;
    case FromNameRole:
        return optional(message.fromName);
    case FromAvatarRole:
        return optional(message.fromAvatar);
    case FromRoleRole:
        return optional(message.fromRole);
    case FromBotRole:
        return message.fromBot.value_or(false);
    case ImagesRole:
        return message.images.value_or(QStringList());
    case TimeRole:
        return message.time;
    case ToRole:
        return optional(message.to);
    case GidRole:
        return optional(message.gid);
    case IsFromMeRole:
        return message.isFromMe;
    case IsPendingRole:
        return Outbox::isPending(message);
    case IsFailedRole:
        return message.failed.value_or(false);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> MessageListModel::roleNames() const
{
    return {
        {IdRole, "messageId"},     {FromRole, "from"},         {FromNameRole, "fromName"},
        {FromAvatarRole, "fromAvatar"}, {FromRoleRole, "fromRole"}, {FromBotRole, "fromBot"},
        {ContentRole, "content"},  {ImagesRole, "images"},     {TimeRole, "time"},
        {ToRole, "to"},            {GidRole, "gid"},           {IsFromMeRole, "isFromMe"},
        {IsPendingRole, "isPending"}, {IsFailedRole, "isFailed"},
    };
}
