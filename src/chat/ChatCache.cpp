#include "ChatCache.h"

#include "SecureStorage.h"
#include "SettingsStore.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>

ChatCache::ChatCache(Encoder encoder, QObject *parent) : QObject(parent), m_encoder(std::move(encoder))
{
    // Nothing is known about the disk yet: the first save writes every key.
    m_dirty.fill(true);
    m_waiting.fill(false);
    m_later.setSingleShot(true);
    connect(&m_later, &QTimer::timeout, this, &ChatCache::writeUnlessBusy);
    m_writer = std::make_unique<ChatCacheWriter>(
        [this](int key, quint64 generation) {
            // A failed seal keeps the key dirty so the next save point tries again.
            QMetaObject::invokeMethod(this, [this, key, generation] {
                if (generation == m_writer->generation())
                    m_dirty[key] = true;
            }, Qt::QueuedConnection);
        },
        [this](int key) {
            QMetaObject::invokeMethod(this, [this, key] {
                if (m_waiting[key])
                    writeUnlessBusy();
            }, Qt::QueuedConnection);
        });
}

ChatCache::~ChatCache() = default;

QString ChatCache::storageKey(Key key)
{
    switch (key) {
    case Friends:
        return QStringLiteral("zp_friends");
    case Groups:
        return QStringLiteral("zp_groups");
    case GlobalMessages:
        return QStringLiteral("zp_global_msgs");
    case DmMessages:
        return QStringLiteral("zp_dm_msgs");
    case GroupMessages:
    case KeyCount:
        break;
    }
    return QStringLiteral("zp_group_msgs");
}

bool ChatCache::anyStored()
{
    for (int i = 0; i < KeyCount; ++i)
        if (SettingsStore::shared().contains(storageKey(Key(i))))
            return true;
    return false;
}

ChatCache::Stored ChatCache::loadAll()
{
    SecureStorage &storage = SecureStorage::shared();
    using Rooms = QHash<QString, QList<ChatMessage>>;
    return Stored{storage.load<QList<User>>(storageKey(Friends)), storage.load<QList<ChatGroup>>(storageKey(Groups)),
                  storage.load<QList<ChatMessage>>(storageKey(GlobalMessages)), storage.load<Rooms>(storageKey(DmMessages)),
                  storage.load<Rooms>(storageKey(GroupMessages))};
}

void ChatCache::requestSave()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChatCache::writeUnlessBusy, Qt::QueuedConnection);
}

bool ChatCache::savePending() const
{
    return m_pending || std::find(m_waiting.begin(), m_waiting.end(), true) != m_waiting.end();
}

void ChatCache::beforeUnsavedChange()
{
    flush();
}

void ChatCache::flush()
{
    if (savePending())
        write(true);
}

void ChatCache::writeUnlessBusy()
{
    write(false);
}

void ChatCache::flushAndWait()
{
    flush();
    m_writer->waitUntilIdle();
}

void ChatCache::forgetStored()
{
    m_pending = false;
    m_dirty.fill(true);
    m_waiting.fill(false);
    m_later.stop();
    m_writer->cancel();
}

void ChatCache::write(bool force)
{
    // Past a save point (a save was requested) every changed key is due; otherwise only those that
    // were waiting.
    const bool savePoint = m_pending;
    m_pending = false;
    ++m_sequence;
    for (int i = 0; i < KeyCount; ++i) {
        const Key key = Key(i);
        if (!m_dirty[key] || !(savePoint || m_waiting[key]))
            continue;
        const qint64 sinceTaken = m_taken[key].isValid() ? m_taken[key].elapsed() : minimumInterval;
        m_waiting[key] = !force && (m_writer->holdsCopy(key) || sinceTaken < minimumInterval);
        if (m_waiting[key]) {
            // The writer letting go of the key calls again, and so does the interval's end.
            const int remaining = int(minimumInterval - sinceTaken);
            if (remaining > 0 && (!m_later.isActive() || m_later.remainingTime() > remaining))
                m_later.start(remaining);
            continue;
        }
        m_dirty[key] = false;
        m_taken[key].start();
        m_writer->enqueue(key, storageKey(key), m_sequence, m_encoder(key));
    }
}
