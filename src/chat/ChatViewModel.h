#pragma once
// The chat state: conversations, contacts, groups, requests, presence and the moments feed of the
// signed-in user. The root view owns one instance for the life of the process and hands it to
// every screen. The WebSocket client feeds it through the handlers installed at construction;
// friends, groups and the three message stores survive restarts through the encrypted store.
//
// Everything here runs on the main thread; opening the cache at start, decoding a large hello
// snapshot and writing the cache happen on workers that hand their results back in one step.
#include "ChatCache.h"
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "ChatServices.h"
#include "ConversationListModel.h"
#include "FriendRequest.h"
#include "GroupRequest.h"
#include "MessageListModel.h"
#include "MessageStore.h"
#include "Moment.h"
#include "RecordVariants.h"
#include "RoomType.h"
#include "SearchGroup.h"
#include "User.h"

#include <QObject>
#include <QSet>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <optional>

class HelloMerger;
class LiveEventHandler;
class Outbox;

class ChatViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList globalMessages READ globalMessagesVariant NOTIFY globalMessagesChanged)
    Q_PROPERTY(QVariantMap dmMessages READ dmMessagesVariant NOTIFY dmMessagesChanged)
    Q_PROPERTY(QVariantMap groupMessages READ groupMessagesVariant NOTIFY groupMessagesChanged)
    Q_PROPERTY(QVariantList groups READ groupsVariant NOTIFY groupsChanged)
    Q_PROPERTY(QVariantList friends READ friendsVariant NOTIFY friendsChanged)
    Q_PROPERTY(QVariantList pendingRequests READ pendingRequestsVariant NOTIFY pendingRequestsChanged)
    Q_PROPERTY(QVariantList moments READ momentsVariant NOTIFY momentsChanged)
    Q_PROPERTY(QStringList onlineUsers READ onlineUserList NOTIFY onlineUsersChanged)
    Q_PROPERTY(QString toast READ toastText NOTIFY toastChanged)
    Q_PROPERTY(bool hasToast READ hasToast NOTIFY toastChanged)
    Q_PROPERTY(QVariant currentRoom READ currentRoomVariant WRITE setCurrentRoomVariant NOTIFY currentRoomChanged)
    Q_PROPERTY(QVariantList searchResults READ searchResultsVariant WRITE setSearchResultsVariant NOTIFY searchResultsChanged)
    Q_PROPERTY(QVariantList groupRequests READ groupRequestsVariant NOTIFY groupRequestsChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(QString announcement READ announcement NOTIFY announcementChanged)
    Q_PROPERTY(MessageListModel *currentMessages READ currentMessages CONSTANT)
    Q_PROPERTY(ConversationListModel *conversations READ conversations CONSTANT)

public:
    static constexpr int hallLimit = 500;
    static constexpr qint64 sendGateMs = 300;
    static constexpr qint64 recallWindowMs = 120000;

    // With the process-wide WebSocket and REST clients.
    explicit ChatViewModel(QObject *parent = nullptr);
    explicit ChatViewModel(const ChatServices &services, QObject *parent = nullptr);
    ~ChatViewModel() override;

    // The two user ids joined by "_", the smaller first.
    Q_INVOKABLE static QString dmRoomKey(const QString &a, const QString &b);
    // "zp_current_uid", read at every use; "" when missing.
    static QString currentUserId();

    const QList<ChatMessage> &globalMessages() const { return m_store->global(); }
    const MessageStore::MessageMap &dmMessages() const { return m_store->dm(); }
    const MessageStore::MessageMap &groupMessages() const { return m_store->group(); }
    const QList<ChatGroup> &groups() const { return m_groups; }
    const QList<User> &friends() const { return m_friends; }
    const QList<FriendRequest> &pendingRequests() const { return m_pendingRequests; }
    const QList<Moment> &moments() const { return m_moments; }
    const QSet<QString> &onlineUsers() const { return m_onlineUsers; }
    const std::optional<QString> &toast() const { return m_toast; }
    bool hasToast() const { return m_toast.has_value(); }
    const std::optional<RoomType> &currentRoom() const { return m_currentRoom; }
    const QList<SearchGroup> &searchResults() const { return m_searchResults; }
    const QList<GroupRequest> &groupRequests() const { return m_groupRequests; }
    bool isSearching() const { return m_isSearching; }
    QString announcement() const { return m_announcement; }
    QString currentUserName() const { return m_currentUserName; }
    MessageListModel *currentMessages() const { return m_currentMessages; }
    ConversationListModel *conversations() const { return m_conversations; }

    void setCurrentRoom(const std::optional<RoomType> &room);
    void setSearchResults(const QList<SearchGroup> &results);

    // The list of a room (a copy; empty for a room with no entry, which is not created).
    QList<ChatMessage> messages(const RoomType &room) const;
    // Where a room's messages are kept, judged with the current user id.
    static MessageStore::Ref storeRef(const RoomType &room);
    // Among friends only.
    std::optional<User> user(const QString &id) const;
    std::optional<ChatGroup> group(const QString &id) const;

    Q_INVOKABLE void showToast(const QString &message);

    // Offline, the message is kept pending and goes out after the next connection's hello.
    Q_INVOKABLE void sendMessage(const QString &text, const QStringList &images = {});
    // The same for a given room: an image message whose uploads finish after the user has moved
    // to another room still goes where it was written.
    void sendMessageTo(const RoomType &room, const QString &text, const QStringList &images);
    // "重发" of an own message marked failed, by its id.
    Q_INVOKABLE void resendMessageWithId(const QString &messageId);
    // Only a message the server confirmed: a pending or failed one has no id there.
    void recallMessage(const ChatMessage &message);
    void removeMessageLocally(const ChatMessage &message);
    // The same two for screens, by the id of a message of the open room.
    Q_INVOKABLE void recallMessageWithId(const QString &messageId);
    Q_INVOKABLE void removeMessageWithId(const QString &messageId);

    Q_INVOKABLE void searchGroups(const QString &keyword);
    Q_INVOKABLE void applyToGroup(const QString &gid);
    Q_INVOKABLE void respondToGroupRequest(const QString &applyId, const QString &action);

    // Room values for screens.
    Q_INVOKABLE static RoomType globalRoom() { return RoomType::global(); }
    Q_INVOKABLE static RoomType dmRoom(const QString &peerId, const QString &peerName) { return RoomType::dm(peerId, peerName); }
    Q_INVOKABLE static RoomType groupRoom(const QString &gid, const QString &name) { return RoomType::group(gid, name); }

    // Writes a save that is still waiting for the end of this event-loop turn, and waits until
    // everything saved so far is on disk.
    void flushPendingSave() { m_cache->flushAndWait(); }
    const ChatCache &cache() const { return *m_cache; }
    // The stored cache is being opened (at start, with a stored session); inbound events wait.
    bool isLoadingCache() const { return m_isLoadingCache; }

Q_SIGNALS:
    void globalMessagesChanged();
    void dmMessagesChanged();
    void groupMessagesChanged();
    void groupsChanged();
    void friendsChanged();
    void pendingRequestsChanged();
    void momentsChanged();
    void onlineUsersChanged();
    void toastChanged();
    void currentRoomChanged();
    void searchResultsChanged();
    void groupRequestsChanged();
    void isSearchingChanged();
    void announcementChanged();
    // The stored cache was published (or its opening given up at sign-out).
    void cacheLoaded();

private:
    friend class HelloMerger;
    friend class LiveEventHandler;

    // The state changes the hello merge and the live handlers make; each notifies its observers
    // and tells the cache which stored key changed.
    MessageStore &store() { return *m_store; }
    ChatCache &mutableCache() { return *m_cache; }
    Outbox &outbox() { return *m_outbox; }
    void setGroups(QList<ChatGroup> groups);
    void setFriends(QList<User> friends);
    void setPendingRequests(QList<FriendRequest> requests);
    void setGroupRequests(QList<GroupRequest> requests);
    void setMoments(QList<Moment> moments);
    void setOnlineUsers(QSet<QString> users);
    void setAnnouncement(const QString &text);
    void setCurrentUserName(const QString &name) { m_currentUserName = name; }
    // A toast without a timer of its own; it stays until the next showToast.
    void setToastDirectly(const QString &message);
    void setSearching(bool searching);

    // Drops what the previous account left in memory when the user signs out.
    void clearForSignOut();
    void loadFromLocal();
    void publishStored(const ChatCache::Stored &stored);
    // Ends the opening of the cache and lets inbound events through.
    void stopLoading();
    ChatCacheWriter::Encode encoderForCache(ChatCache::Key key) const;
    std::optional<ChatMessage> findInCurrentRoom(const QString &messageId) const;

    QVariantList globalMessagesVariant() const { return RecordVariants::toVariantList(m_store->global()); }
    QVariantMap dmMessagesVariant() const { return RecordVariants::toVariantMap(m_store->dm()); }
    QVariantMap groupMessagesVariant() const { return RecordVariants::toVariantMap(m_store->group()); }
    QVariantList groupsVariant() const { return RecordVariants::toVariantList(m_groups); }
    QVariantList friendsVariant() const { return RecordVariants::toVariantList(m_friends); }
    QVariantList pendingRequestsVariant() const { return RecordVariants::toVariantList(m_pendingRequests); }
    QVariantList momentsVariant() const { return RecordVariants::toVariantList(m_moments); }
    QStringList onlineUserList() const { return m_onlineUsers.values(); }
    QString toastText() const { return m_toast.value_or(QString()); }
    QVariant currentRoomVariant() const;
    void setCurrentRoomVariant(const QVariant &room);
    QVariantList searchResultsVariant() const { return RecordVariants::toVariantList(m_searchResults); }
    void setSearchResultsVariant(const QVariantList &results);
    QVariantList groupRequestsVariant() const { return RecordVariants::toVariantList(m_groupRequests); }

    ChatServices m_services;
    MessageStore *m_store;
    ChatCache *m_cache;
    Outbox *m_outbox;
    MessageListModel *m_currentMessages;
    ConversationListModel *m_conversations;

    QList<ChatGroup> m_groups;
    QList<User> m_friends;
    QList<FriendRequest> m_pendingRequests;
    QList<Moment> m_moments;
    QSet<QString> m_onlineUsers;
    std::optional<QString> m_toast;
    std::optional<RoomType> m_currentRoom;
    QList<SearchGroup> m_searchResults;
    QList<GroupRequest> m_groupRequests;
    bool m_isSearching = false;
    QString m_announcement;
    QString m_currentUserName = QStringLiteral("我");
    qint64 m_lastSendTimeMs = 0;
    bool m_isLoadingCache = false;
    quint64 m_loadGeneration = 0;
};
