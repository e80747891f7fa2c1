#include "ChatViewModel.h"

#include "BackgroundTask.h"
#include "ChatJsonWriter.h"
#include "Commands.h"
#include "ConversationListModel.h"
#include "HelloMerger.h"
#include "LiveEventHandler.h"
#include "MessageListModel.h"
#include "NotificationCenter.h"
#include "Outbox.h"
#include "SettingsStore.h"
#include "WebSocketService.h"

#include <QPointer>
#include <QTimer>

namespace {
const QString signedOutNotification = QStringLiteral("userLoggedOut");

ChatCache::Key cacheKey(MessageStore::Box box)
{
    switch (box) {
    case MessageStore::Box::Dm:
        return ChatCache::DmMessages;
    case MessageStore::Box::Group:
        return ChatCache::GroupMessages;
    case MessageStore::Box::Global:
        break;
    }
    return ChatCache::GlobalMessages;
}
} // namespace

ChatViewModel::ChatViewModel(QObject *parent) : ChatViewModel(ChatServices(), parent) {}

ChatViewModel::ChatViewModel(const ChatServices &services, QObject *parent)
    : QObject(parent),
      m_services(services.withDefaults()),
      m_store(new MessageStore(this)),
      m_cache(new ChatCache([this](ChatCache::Key key) { return encoderForCache(key); }, this)),
      m_outbox(new Outbox(*m_store, *m_cache, m_services, this))
{
    connect(m_store, &MessageStore::changed, this, [this](MessageStore::Box box) {
        m_cache->markChanged(cacheKey(box));
        switch (box) {
        case MessageStore::Box::Global:
            Q_EMIT globalMessagesChanged();
            break;
        case MessageStore::Box::Dm:
            Q_EMIT dmMessagesChanged();
            break;
        case MessageStore::Box::Group:
            Q_EMIT groupMessagesChanged();
            break;
        }
    });
    m_currentMessages = new MessageListModel(*m_store, this);
    connect(this, &ChatViewModel::currentRoomChanged, m_currentMessages, [this] { m_currentMessages->setRoom(m_currentRoom); });
    m_conversations = new ConversationListModel(this);
    LiveEventHandler::install(*this, *m_services.ws);
    loadFromLocal();
    NotificationCenter::shared().observe(signedOutNotification, this, [this](const QVariant &) { clearForSignOut(); });
}

ChatViewModel::~ChatViewModel()
{
    // A save still waiting for the end of the turn must not be lost with the process (the cache
    // writes what it was handed before it goes).
    m_cache->flush();
    stopLoading();
}

QString ChatViewModel::dmRoomKey(const QString &a, const QString &b)
{
    return a < b ? a + u'_' + b : b + u'_' + a;
}

QString ChatViewModel::currentUserId()
{
    return SettingsStore::shared().string(QStringLiteral("zp_current_uid")).value_or(QString());
}

MessageStore::Ref ChatViewModel::storeRef(const RoomType &room)
{
    switch (room.kind()) {
    case RoomType::Kind::Dm:
        return {MessageStore::Box::Dm, dmRoomKey(currentUserId(), room.peerId())};
    case RoomType::Kind::Group:
        return {MessageStore::Box::Group, room.gid()};
    case RoomType::Kind::Global:
        break;
    }
    return {MessageStore::Box::Global, QString()};
}

QList<ChatMessage> ChatViewModel::messages(const RoomType &room) const
{
    const QList<ChatMessage> *list = m_store->find(storeRef(room));
    return list ? *list : QList<ChatMessage>();
}

std::optional<User> ChatViewModel::user(const QString &id) const
{
    for (const User &candidate : m_friends)
        if (candidate.id == id)
            return candidate;
    return std::nullopt;
}

std::optional<ChatGroup> ChatViewModel::group(const QString &id) const
{
    for (const ChatGroup &candidate : m_groups)
        if (candidate.id == id)
            return candidate;
    return std::nullopt;
}

void ChatViewModel::setCurrentRoom(const std::optional<RoomType> &room)
{
    if (m_currentRoom == room)
        return;
    m_currentRoom = room;
    Q_EMIT currentRoomChanged();
}

void ChatViewModel::setSearchResults(const QList<SearchGroup> &results)
{
    m_searchResults = results;
    Q_EMIT searchResultsChanged();
}

void ChatViewModel::showToast(const QString &message)
{
    setToastDirectly(message);
    // Clears only its own text: a newer toast is left to its own timer.
    QTimer::singleShot(m_services.toastDuration, this, [this, message] {
        if (m_toast == message) {
            m_toast.reset();
            Q_EMIT toastChanged();
        }
    });
}

void ChatViewModel::setToastDirectly(const QString &message)
{
    m_toast = message;
    Q_EMIT toastChanged();
}

void ChatViewModel::sendMessage(const QString &text, const QStringList &images)
{
    if (m_currentRoom)
        sendMessageTo(*m_currentRoom, text, images);
}

void ChatViewModel::sendMessageTo(const RoomType &room, const QString &text, const QStringList &images)
{
    if (text.isEmpty() && images.isEmpty())
        return;
    const qint64 now = m_services.nowMs();
    if (now - m_lastSendTimeMs < sendGateMs)
        return;
    m_lastSendTimeMs = now;
    const QString clientId = m_services.newUuid();
    ChatMessage message;
    message.id = QStringLiteral("temp_") + clientId;
    message.clientId = clientId;
    message.from = currentUserId();
    message.fromName = m_currentUserName;
    message.content = text;
    if (!images.isEmpty())
        message.images = images;
    // The room travels with the message: a pending one is resent from the store, perhaps after a restart.
    if (room.kind() == RoomType::Kind::Dm)
        message.to = room.peerId();
    else if (room.kind() == RoomType::Kind::Group)
        message.gid = room.gid();
    message.time = m_services.nowMs();
    message.isFromMe = true;

    const MessageStore::Ref ref = storeRef(room);
    m_store->append(ref, message);
    if (room.kind() == RoomType::Kind::Global)
        m_store->trimFront(ref, hallLimit);
    m_outbox->post(ref.box, message);
    // Saved at once: what the user wrote survives a crash or a restart until the server has it.
    m_cache->requestSave();
}

void ChatViewModel::resendMessageWithId(const QString &messageId)
{
    m_outbox->resend(messageId);
}

void ChatViewModel::recallMessage(const ChatMessage &message)
{
    // A pending or failed message has only its temporary id, which the server does not know.
    if (!m_currentRoom || Outbox::isPending(message))
        return;
    if (m_services.nowMs() - message.time > recallWindowMs) {
        setToastDirectly(QStringLiteral("超过2分钟的消息无法撤回"));
        return;
    }
    if (!m_services.ws->isConnected()) {
        setToastDirectly(QStringLiteral("网络未连接，撤回失败"));
        return;
    }
    removeMessageLocally(message);
    // The room comes from the open conversation, not from the message's own fields.
    const RoomType &room = *m_currentRoom;
    switch (room.kind()) {
    case RoomType::Kind::Global:
        m_services.ws->send(Commands::recallGlobal(message.id));
        break;
    case RoomType::Kind::Group:
        m_services.ws->send(Commands::recallGroup(message.id, room.gid()));
        break;
    case RoomType::Kind::Dm:
        m_services.ws->send(Commands::recallDM(message.id, room.peerId()));
        break;
    }
}

void ChatViewModel::removeMessageLocally(const ChatMessage &message)
{
    const auto sameId = [&id = message.id](const ChatMessage &candidate) { return candidate.id == id; };
    m_cache->beforeUnsavedChange();
    m_store->removeIf({MessageStore::Box::Global, QString()}, sameId);
    for (const MessageStore::Box box : {MessageStore::Box::Dm, MessageStore::Box::Group}) {
        const QStringList keys = (box == MessageStore::Box::Dm ? m_store->dm() : m_store->group()).keys();
        for (const QString &key : keys)
            m_store->removeIf({box, key}, sameId);
    }
}

std::optional<ChatMessage> ChatViewModel::findInCurrentRoom(const QString &messageId) const
{
    if (!m_currentRoom)
        return std::nullopt;
    for (const ChatMessage &message : messages(*m_currentRoom))
        if (message.id == messageId)
            return message;
    return std::nullopt;
}

void ChatViewModel::recallMessageWithId(const QString &messageId)
{
    if (const std::optional<ChatMessage> message = findInCurrentRoom(messageId))
        recallMessage(*message);
}

void ChatViewModel::removeMessageWithId(const QString &messageId)
{
    if (const std::optional<ChatMessage> message = findInCurrentRoom(messageId))
        removeMessageLocally(*message);
}

void ChatViewModel::searchGroups(const QString &keyword)
{
    if (keyword.isEmpty()) {
        setSearchResults({});
        return;
    }
    setSearching(true);
    QPointer<ChatViewModel> self(this);
    m_services.searchGroups(keyword, [self](const Result<QList<SearchGroup>> &result) {
        if (!self)
            return;
        if (result)
            self->setSearchResults(result.value());
        else
            self->showToast(QStringLiteral("搜索失败: ") + result.error());
        self->setSearching(false);
    });
}

void ChatViewModel::applyToGroup(const QString &gid)
{
    if (!m_services.ws->isConnected()) {
        showToast(QStringLiteral("连接未就绪，请稍后重试"));
        return;
    }
    m_services.ws->send(Commands::groupApply(gid));
}

void ChatViewModel::respondToGroupRequest(const QString &applyId, const QString &action)
{
    if (!m_services.ws->isConnected()) {
        setToastDirectly(QStringLiteral("网络未连接，操作失败"));
        return;
    }
    m_services.ws->sendGroupApplyRespond(applyId, action);
    QList<GroupRequest> remaining = m_groupRequests;
    remaining.removeIf([&applyId](const GroupRequest &request) { return request.id == applyId; });
    setGroupRequests(std::move(remaining));
}

void ChatViewModel::setSearching(bool searching)
{
    m_isSearching = searching;
    Q_EMIT isSearchingChanged();
}

void ChatViewModel::setGroups(QList<ChatGroup> groups)
{
    m_groups = std::move(groups);
    m_cache->markChanged(ChatCache::Groups);
    Q_EMIT groupsChanged();
}

void ChatViewModel::setFriends(QList<User> friends)
{
    m_friends = std::move(friends);
    m_cache->markChanged(ChatCache::Friends);
    Q_EMIT friendsChanged();
}

void ChatViewModel::setPendingRequests(QList<FriendRequest> requests)
{
    m_pendingRequests = std::move(requests);
    Q_EMIT pendingRequestsChanged();
}

void ChatViewModel::setGroupRequests(QList<GroupRequest> requests)
{
    m_groupRequests = std::move(requests);
    Q_EMIT groupRequestsChanged();
}

void ChatViewModel::setMoments(QList<Moment> moments)
{
    m_moments = std::move(moments);
    Q_EMIT momentsChanged();
}

void ChatViewModel::setOnlineUsers(QSet<QString> users)
{
    m_onlineUsers = std::move(users);
    Q_EMIT onlineUsersChanged();
}

void ChatViewModel::setAnnouncement(const QString &text)
{
    m_announcement = text;
    Q_EMIT announcementChanged();
}

void ChatViewModel::clearForSignOut()
{
    // The stored keys are removed next; a save still pending or queued would bring them back, and
    // a cache still being opened belongs to the previous account.
    stopLoading();
    m_cache->forgetStored();
    m_store->clearAll();
    setGroups({});
    setFriends({});
    setPendingRequests({});
    setGroupRequests({});
    setMoments({});
    setOnlineUsers({});
    setSearchResults({});
    setAnnouncement(QString());
    m_currentUserName = QStringLiteral("我");
}

void ChatViewModel::loadFromLocal()
{
    // Signed out, nothing is stored and nothing needs waiting for.
    if (!ChatCache::anyStored())
        return;
    // The keys are opened on a worker while the splash shows; inbound events wait for them, so a
    // hello snapshot is never merged and then overwritten by the older cache.
    m_isLoadingCache = true;
    m_services.ws->inbound().hold();
    const quint64 generation = ++m_loadGeneration;
    BackgroundTask::run(this, &ChatCache::loadAll, [this, generation](const ChatCache::Stored &stored) {
        if (generation == m_loadGeneration && m_isLoadingCache)
            publishStored(stored);
    });
}

void ChatViewModel::publishStored(const ChatCache::Stored &stored)
{
    // A key that is missing or unreadable leaves its property as it is; one read back is known to
    // be on disk as it is in memory.
    const auto restore = [this](const auto &value, ChatCache::Key key, auto apply) {
        if (value) {
            apply(*value);
            m_cache->markStored(key);
        }
    };
    // The client-side flags are not stored: judged here, the user's own messages (pending ones
    // too) show as theirs before any hello, and also with no connection at all.
    const QString me = currentUserId();
    restore(stored.friends, ChatCache::Friends, [this](const auto &value) { setFriends(value); });
    restore(stored.groups, ChatCache::Groups, [this, &me](const auto &value) { setGroups(HelloMerger::flagged(value, me)); });
    restore(stored.globalMessages, ChatCache::GlobalMessages,
            [this, &me](const auto &value) { m_store->setGlobal(HelloMerger::flagged(value, me)); });
    restore(stored.dmMessages, ChatCache::DmMessages,
            [this, &me](const auto &value) { m_store->setBox(MessageStore::Box::Dm, HelloMerger::flagged(value, me)); });
    restore(stored.groupMessages, ChatCache::GroupMessages,
            [this, &me](const auto &value) { m_store->setBox(MessageStore::Box::Group, HelloMerger::flagged(value, me)); });
    stopLoading();
}

void ChatViewModel::stopLoading()
{
    if (!m_isLoadingCache)
        return;
    m_isLoadingCache = false;
    Q_EMIT cacheLoaded();
    m_services.ws->inbound().release();
}

ChatCacheWriter::Encode ChatViewModel::encoderForCache(ChatCache::Key key) const
{
    // Each copies its list (implicitly shared, so cheap) for the writer thread to encode.
    switch (key) {
    case ChatCache::Friends:
        return [friends = m_friends] { return encodeJson(friends); };
    case ChatCache::Groups:
        return [groups = m_groups] { return encodeJson(groups); };
    case ChatCache::GlobalMessages:
        return [messages = m_store->global()] { return ChatJsonWriter::write(messages); };
    case ChatCache::DmMessages:
        return [rooms = m_store->dm()] { return ChatJsonWriter::write(rooms); };
    case ChatCache::GroupMessages:
    case ChatCache::KeyCount:
        break;
    }
    return [rooms = m_store->group()] { return ChatJsonWriter::write(rooms); };
}

void ChatViewModel::setSearchResultsVariant(const QVariantList &results)
{
    // Screens write this only to clear it or to put back results they read from it.
    Result<QList<SearchGroup>> decoded = fromJson<QList<SearchGroup>>(QJsonValue::fromVariant(results));
    setSearchResults(decoded ? decoded.value() : QList<SearchGroup>());
}

QVariant ChatViewModel::currentRoomVariant() const
{
    return m_currentRoom ? QVariant::fromValue(*m_currentRoom) : QVariant();
}

void ChatViewModel::setCurrentRoomVariant(const QVariant &room)
{
    if (room.canConvert<RoomType>() && room.metaType() == QMetaType::fromType<RoomType>())
        setCurrentRoom(room.value<RoomType>());
    else
        setCurrentRoom(std::nullopt);
}
