#include "Outbox.h"

#include "ChatCache.h"
#include "Commands.h"
#include "WebSocketService.h"

#include <QTimer>
#include <algorithm>

namespace {
const QLatin1String optimisticPrefix("temp_");
} // namespace

Outbox::Outbox(MessageStore &store, ChatCache &cache, const ChatServices &services, QObject *parent)
    : QObject(parent), m_store(store), m_cache(cache), m_services(services)
{
    connect(m_services.ws, &WebSocketService::isConnectedChanged, this, [this] {
        if (!m_services.ws->isConnected())
            connectionLost();
    });
}

bool Outbox::isPending(const ChatMessage &message)
{
    return message.id.startsWith(optimisticPrefix);
}

QString Outbox::clientIdOf(const ChatMessage &message)
{
    return message.clientId.value_or(message.id.mid(optimisticPrefix.size()));
}

void Outbox::post(MessageStore::Box box, const ChatMessage &message)
{
    if (m_ready)
        send(box, message);
}

void Outbox::resendAfterHello()
{
    m_ready = m_services.ws->isConnected();
    if (!m_ready)
        return;
    struct Entry
    {
        MessageStore::Box box;
        ChatMessage message;
    };
    QList<Entry> pending;
    const auto collect = [&pending](MessageStore::Box box, const QList<ChatMessage> &list) {
        for (const ChatMessage &message : list)
            if (isPending(message) && !message.failed.value_or(false))
                pending.append({box, message});
    };
    collect(MessageStore::Box::Global, m_store.global());
    for (const QList<ChatMessage> &list : m_store.dm())
        collect(MessageStore::Box::Dm, list);
    for (const QList<ChatMessage> &list : m_store.group())
        collect(MessageStore::Box::Group, list);
    // In the order they were written, across rooms.
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Entry &a, const Entry &b) { return a.message.time < b.message.time; });
    for (const Entry &entry : std::as_const(pending))
        send(entry.box, entry.message);
}

void Outbox::resend(const QString &messageId)
{
    const std::optional<Found> found = find([&messageId](const ChatMessage &m) { return m.id == messageId; });
    if (!found)
        return;
    const ChatMessage message = m_store.find(found->ref)->at(found->row);
    if (!isPending(message))
        return;
    setFailed(*found, false);
    post(found->ref.box, message);
}

void Outbox::connectionLost()
{
    // What was sent on the lost connection and not yet echoed goes again after the next hello.
    m_ready = false;
    m_awaiting.clear();
}

std::optional<Outbox::Found> Outbox::find(const std::function<bool(const ChatMessage &)> &pred) const
{
    const auto search = [&pred](const MessageStore::Ref &ref, const QList<ChatMessage> &list) -> std::optional<Found> {
        for (int row = int(list.size()) - 1; row >= 0; --row)
            if (pred(list.at(row)))
                return Found{ref, row};
        return std::nullopt;
    };
    if (auto found = search({MessageStore::Box::Global, QString()}, m_store.global()))
        return found;
    for (auto it = m_store.dm().begin(); it != m_store.dm().end(); ++it)
        if (auto found = search({MessageStore::Box::Dm, it.key()}, it.value()))
            return found;
    for (auto it = m_store.group().begin(); it != m_store.group().end(); ++it)
        if (auto found = search({MessageStore::Box::Group, it.key()}, it.value()))
            return found;
    return std::nullopt;
}

void Outbox::send(MessageStore::Box box, const ChatMessage &message)
{
    const QString clientId = clientIdOf(message);
    const QStringList images = message.images.value_or(QStringList());
    switch (box) {
    case MessageStore::Box::Global:
        m_services.ws->send(Commands::global(message.content, images, clientId));
        break;
    case MessageStore::Box::Dm:
        m_services.ws->send(Commands::dm(message.to.value_or(QString()), message.content, images, clientId));
        break;
    case MessageStore::Box::Group:
        m_services.ws->send(Commands::group(message.gid.value_or(QString()), message.content, images, clientId));
        break;
    }
    const quint64 serial = ++m_serial;
    m_awaiting.insert(clientId, serial);
    QTimer::singleShot(m_services.confirmTimeout, this, [this, clientId, serial] { expire(clientId, serial); });
}

void Outbox::expire(const QString &clientId, quint64 serial)
{
    // Resent since, or the connection it went out on dropped first.
    if (m_awaiting.value(clientId) != serial)
        return;
    m_awaiting.remove(clientId);
    const std::optional<Found> found
        = find([&clientId](const ChatMessage &m) { return isPending(m) && clientIdOf(m) == clientId; });
    if (found)
        setFailed(*found, true);
}

void Outbox::setFailed(const Found &found, bool failed)
{
    ChatMessage message = m_store.find(found.ref)->at(found.row);
    if (message.failed.value_or(false) == failed)
        return;
    message.failed = failed ? std::optional<bool>(true) : std::nullopt;
    m_store.replace(found.ref, found.row, message);
    m_cache.requestSave();
}
