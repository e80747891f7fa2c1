#include "ConversationListModel.h"

#include "ChatViewModel.h"

ConversationListModel::ConversationListModel(ChatViewModel *chat) : QAbstractListModel(chat), m_chat(chat)
{
    for (const auto signal : {&ChatViewModel::globalMessagesChanged, &ChatViewModel::dmMessagesChanged,
                              &ChatViewModel::groupMessagesChanged, &ChatViewModel::groupsChanged,
                              &ChatViewModel::friendsChanged, &ChatViewModel::pendingRequestsChanged,
                              &ChatViewModel::groupRequestsChanged, &ChatViewModel::onlineUsersChanged})
        connect(chat, signal, this, &ConversationListModel::scheduleRefresh);
    m_rows = buildRows();
}

void ConversationListModel::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &ConversationListModel::refresh, Qt::QueuedConnection);
}

void ConversationListModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    Q_EMIT searchTextChanged();
    refresh();
}

void ConversationListModel::setHallName(const QString &name)
{
    if (name == m_hallName)
        return;
    m_hallName = name;
    Q_EMIT hallNameChanged();
    refresh();
}

QString ConversationListModel::namedPreview(const QList<ChatMessage> &messages)
{
    const ChatMessage &last = messages.last();
    return last.fromName.value_or(QString()) + QStringLiteral(": ") + last.content;
}

QList<ConversationListModel::Row> ConversationListModel::buildRows() const
{
    QList<Row> rows;
    const QList<ChatMessage> &hall = m_chat->globalMessages();
    rows.append({QStringLiteral("global"), QStringLiteral("global"), m_hallName,
                 hall.isEmpty() ? QStringLiteral("在这里畅所欲言") : namedPreview(hall), 0, false, QString(),
                 QString(), RoomType::global()});
    if (const int waiting = int(m_chat->pendingRequests().size()); waiting > 0)
        rows.append({QStringLiteral("friendRequests"), QStringLiteral("friendRequests"), QStringLiteral("好友验证"),
                     QStringLiteral("等待处理的验证请求"), waiting, false, QString(), QString(), std::nullopt});
    if (const int waiting = int(m_chat->groupRequests().size()); waiting > 0)
        rows.append({QStringLiteral("groupRequests"), QStringLiteral("groupRequests"), QStringLiteral("群申请"),
                     QStringLiteral("等待处理的入群申请"), waiting, false, QString(), QString(), std::nullopt});

    for (const ChatGroup &group : m_chat->groups()) {
        if (!m_searchText.isEmpty() && !group.name.contains(m_searchText, Qt::CaseSensitive))
            continue;
        const auto messages = m_chat->groupMessages().constFind(group.id);
        const bool hasLast = messages != m_chat->groupMessages().constEnd() && !messages->isEmpty();
        const RoomType room = RoomType::group(group.id, group.name);
        rows.append({QStringLiteral("group"), room.id(), group.name, hasLast ? namedPreview(*messages) : QString(), 0,
                     false, group.avatar.value_or(QString()), QStringLiteral("群聊"), room});
    }
    const QString me = ChatViewModel::currentUserId();
    for (const User &user : m_chat->friends()) {
        if (!m_searchText.isEmpty() && !user.username.contains(m_searchText, Qt::CaseSensitive))
            continue;
        const auto messages = m_chat->dmMessages().constFind(ChatViewModel::dmRoomKey(me, user.id));
        const bool hasLast = messages != m_chat->dmMessages().constEnd() && !messages->isEmpty();
        const RoomType room = RoomType::dm(user.id, user.username);
        rows.append({QStringLiteral("dm"), room.id(), user.username, hasLast ? messages->last().content : QString(), 0,
                     m_chat->onlineUsers().contains(user.id), user.avatar.value_or(QString()), QStringLiteral("好友"),
                     room});
    }
    return rows;
}

void ConversationListModel::refresh()
{
    m_refreshPending = false;
    QList<Row> next = buildRows();
    // Rows are matched by kind and id: the common head and tail stay (updated in place when their
    // content changed); the differing middle is removed and the new middle inserted.
    const auto sameRow = [](const Row &a, const Row &b) { return a.kind == b.kind && a.rowId == b.rowId; };
    qsizetype head = 0;
    while (head < m_rows.size() && head < next.size() && sameRow(m_rows[head], next[head]))
        ++head;
    qsizetype tail = 0;
    while (tail < m_rows.size() - head && tail < next.size() - head
           && sameRow(m_rows[m_rows.size() - 1 - tail], next[next.size() - 1 - tail]))
        ++tail;

    const auto updateKept = [this, &next](qsizetype oldRow, qsizetype newRow) {
        if (m_rows[oldRow] == next[newRow])
            return;
        m_rows[oldRow] = next[newRow];
        const QModelIndex changed = index(int(oldRow));
        Q_EMIT dataChanged(changed, changed);
    };
    for (qsizetype i = 0; i < head; ++i)
        updateKept(i, i);
    for (qsizetype i = 0; i < tail; ++i)
        updateKept(m_rows.size() - 1 - i, next.size() - 1 - i);

    const qsizetype removedCount = m_rows.size() - head - tail;
    if (removedCount > 0) {
        beginRemoveRows(QModelIndex(), int(head), int(head + removedCount - 1));
        m_rows.remove(head, removedCount);
        endRemoveRows();
    }
    const qsizetype insertedCount = next.size() - head - tail;
    if (insertedCount > 0) {
        beginInsertRows(QModelIndex(), int(head), int(head + insertedCount - 1));
        m_rows.insert(head, insertedCount, Row());
        for (qsizetype i = 0; i < insertedCount; ++i)
            m_rows[head + i] = next[head + i];
        endInsertRows();
    }
    if (removedCount > 0 || insertedCount > 0)
        Q_EMIT countChanged();
}

int ConversationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ConversationListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return row.name;
    case KindRole:
        return row.kind;
    case RowIdRole:
        return row.rowId;
    case PreviewRole:
        return row.preview;
    case CountRole:
        return row.count;
    case OnlineRole:
        return row.online;
    case AvatarRole:
        return row.avatar;
    case SectionRole:
        return row.section;
    case RoomRole:
        return row.room ? QVariant::fromValue(*row.room) : QVariant();
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> ConversationListModel::roleNames() const
{
    return {{KindRole, "kind"},       {RowIdRole, "rowId"},     {NameRole, "name"},
            {PreviewRole, "preview"}, {CountRole, "count"},     {OnlineRole, "online"},
            {AvatarRole, "avatar"},   {SectionRole, "section"}, {RoomRole, "room"}};
}
