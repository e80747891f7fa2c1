#pragma once
// The three message stores of the chat state: the hall, direct rooms by direct-room key and group
// rooms by group id. Every change goes through here so that list models can follow it row by row
// and the cache knows which stored key changed.
#include "ChatMessage.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class MessageStore : public QObject
{
    Q_OBJECT

public:
    using MessageMap = QHash<QString, QList<ChatMessage>>;
    enum class Box { Global, Dm, Group };
    Q_ENUM(Box)

    // One list: the hall (key unused), a direct room (direct-room key) or a group room (group id).
    struct Ref
    {
        Box box = Box::Global;
        QString key;
        bool operator==(const Ref &) const = default;
    };

    explicit MessageStore(QObject *parent = nullptr);

    const QList<ChatMessage> &global() const { return m_global; }
    const MessageMap &dm() const { return m_dm; }
    const MessageMap &group() const { return m_group; }
    // The list, or nullptr when a direct or group room has no entry.
    const QList<ChatMessage> *find(const Ref &ref) const;

    // Creates an empty entry for a direct or group room that has none.
    void ensure(const Ref &ref);
    void append(const Ref &ref, const ChatMessage &message);
    // Removes every message matching pred; an entry that becomes empty stays.
    void removeIf(const Ref &ref, const std::function<bool(const ChatMessage &)> &pred);
    // Replaces the message at `row` of the list (same id, changed flags).
    void replace(const Ref &ref, int row, const ChatMessage &message);
    // Keeps the newest `limit` messages of the list.
    void trimFront(const Ref &ref, int limit);

    void setGlobal(QList<ChatMessage> messages);
    // Drops the entry of a direct or group room.
    void dropRoom(const Ref &ref);
    void setBox(Box box, MessageMap rooms);
    void clearAll();

Q_SIGNALS:
    void aboutToInsert(const MessageStore::Ref &ref, int first, int last);
    void inserted(const MessageStore::Ref &ref);
    void aboutToRemove(const MessageStore::Ref &ref, int first, int last);
    void removed(const MessageStore::Ref &ref);
    void replaced(const MessageStore::Ref &ref, int row);
    // Lists of this box may have been replaced, created or dropped wholesale.
    void aboutToReset(MessageStore::Box box);
    void reset(MessageStore::Box box);
    // After every change of the box's content (also after the finer signals above).
    void changed(MessageStore::Box box);

private:
    QList<ChatMessage> *list(const Ref &ref);
    MessageMap &map(Box box) { return box == Box::Dm ? m_dm : m_group; }

    QList<ChatMessage> m_global;
    MessageMap m_dm;
    MessageMap m_group;
};
