#include "ChatCache.h"

#include <QHashFunctions>
#include <QMetaObject>

ChatCache::ChatCache(Encoder encoder, QObject *parent) : QObject(parent), m_encoder(std::move(encoder))
{
    // Nothing is known about the disk yet: the first save writes every key.
    m_dirty.fill(true);
}

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

void ChatCache::requestSave()
{
    if (m_pending)
        return;
    m_pending = true;
    QMetaObject::invokeMethod(this, &ChatCache::flush, Qt::QueuedConnection);
}

void ChatCache::beforeUnsavedChange()
{
    flush();
}

void ChatCache::flush()
{
    if (!m_pending)
        return;
    m_pending = false;
    write();
}

void ChatCache::forgetStored()
{
    m_pending = false;
    m_dirty.fill(true);
    m_writtenHash.fill(std::nullopt);
}

void ChatCache::write()
{
    for (int i = 0; i < KeyCount; ++i) {
        const Key key = Key(i);
        if (!m_dirty[key])
            continue;
        const QByteArray json = m_encoder(key);
        const size_t hash = qHash(json, 0x2545F491u);
        if (m_writtenHash[key] == hash) {
            m_dirty[key] = false;
            continue;
        }
        // A failed seal keeps the key dirty so the next save point tries again.
        if (SecureStorage::shared().saveJson(json, storageKey(key))) {
            m_dirty[key] = false;
            m_writtenHash[key] = hash;
            ++m_writes;
        }
    }
}
