#include "MessageStore.h"

#include "BackgroundTask.h"

MessageStore::MessageStore(QObject *parent) : QObject(parent) {}

const QList<ChatMessage> *MessageStore::find(const Ref &ref) const
{
    if (ref.box == Box::Global)
        return &m_global;
    const MessageMap &rooms = ref.box == Box::Dm ? m_dm : m_group;
    const auto it = rooms.constFind(ref.key);
    return it == rooms.constEnd() ? nullptr : &it.value();
}

QList<ChatMessage> *MessageStore::list(const Ref &ref)
{
    if (ref.box == Box::Global)
        return &m_global;
    MessageMap &rooms = map(ref.box);
    const auto it = rooms.find(ref.key);
    return it == rooms.end() ? nullptr : &it.value();
}

void MessageStore::ensure(const Ref &ref)
{
    if (find(ref))
        return;
    // A new empty room adds no rows anywhere: only the box's content changed.
    map(ref.box).insert(ref.key, {});
    Q_EMIT changed(ref.box);
}

void MessageStore::append(const Ref &ref, const ChatMessage &message)
{
    ensure(ref);
    QList<ChatMessage> *messages = list(ref);
    const int row = int(messages->size());
    Q_EMIT aboutToInsert(ref, row, row);
    messages->append(message);
    Q_EMIT inserted(ref);
    Q_EMIT changed(ref.box);
}

void MessageStore::removeIf(const Ref &ref, const std::function<bool(const ChatMessage &)> &pred)
{
    QList<ChatMessage> *messages = list(ref);
    if (!messages)
        return;
    int removedCount = 0;
    // From the back, one contiguous run at a time, so row numbers ahead stay valid.
    for (int last = int(messages->size()) - 1; last >= 0; --last) {
        if (!pred(messages->at(last)))
            continue;
        int first = last;
        while (first > 0 && pred(messages->at(first - 1)))
            --first;
        Q_EMIT aboutToRemove(ref, first, last);
        messages->remove(first, last - first + 1);
        Q_EMIT removed(ref);
        removedCount += last - first + 1;
        last = first;
    }
    if (removedCount > 0)
        Q_EMIT changed(ref.box);
}

void MessageStore::replace(const Ref &ref, int row, const ChatMessage &message)
{
    QList<ChatMessage> *messages = list(ref);
    if (!messages || row < 0 || row >= messages->size())
        return;
    (*messages)[row] = message;
    Q_EMIT replaced(ref, row);
    Q_EMIT changed(ref.box);
}

void MessageStore::trimFront(const Ref &ref, int limit)
{
    QList<ChatMessage> *messages = list(ref);
    if (!messages || messages->size() <= limit)
        return;
    const int excess = int(messages->size()) - limit;
    Q_EMIT aboutToRemove(ref, 0, excess - 1);
    messages->remove(0, excess);
    Q_EMIT removed(ref);
    Q_EMIT changed(ref.box);
}

void MessageStore::setGlobal(QList<ChatMessage> messages)
{
    Q_EMIT aboutToReset(Box::Global);
    std::swap(m_global, messages);
    Q_EMIT reset(Box::Global);
    // What a snapshot replaces can be tens of thousands of messages.
    BackgroundTask::dispose(std::move(messages));
    Q_EMIT changed(Box::Global);
}

void MessageStore::dropRoom(const Ref &ref)
{
    if (ref.box == Box::Global || !find(ref))
        return;
    Q_EMIT aboutToReset(ref.box);
    map(ref.box).remove(ref.key);
    Q_EMIT reset(ref.box);
    Q_EMIT changed(ref.box);
}

void MessageStore::setBox(Box box, MessageMap rooms)
{
    if (box == Box::Global)
        return;
    Q_EMIT aboutToReset(box);
    std::swap(map(box), rooms);
    Q_EMIT reset(box);
    BackgroundTask::dispose(std::move(rooms));
    Q_EMIT changed(box);
}

void MessageStore::clearAll()
{
    setGlobal({});
    setBox(Box::Dm, {});
    setBox(Box::Group, {});
}
