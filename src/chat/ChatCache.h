#pragma once
// Keeps the five stored chat keys in step with memory through the encrypted store.
//
// Saving seals a whole key, and the live handlers ask for a save after every message, so saves are
// coalesced: a save requested during one event-loop turn runs once at the end of that turn, and it
// encodes and seals only the keys whose value changed since they were last written (a key whose
// freshly encoded JSON hashes to what was last written is not sealed again). A change that is not
// itself followed by a save first writes out a save still pending, so what is on disk after the
// turn is exactly what saving at each save point would have left.
#include "JsonCoding.h"
#include "SecureStorage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class ChatCache : public QObject
{
    Q_OBJECT

public:
    // In the order they are written.
    enum Key { Friends, Groups, GlobalMessages, DmMessages, GroupMessages, KeyCount };

    // Produces the current JSON text of one key; called at most once per key and save.
    using Encoder = std::function<QByteArray(Key key)>;

    explicit ChatCache(Encoder encoder, QObject *parent = nullptr);

    static QString storageKey(Key key);

    // The stored value, or nothing when missing or unreadable.
    template <typename T>
    std::optional<T> load(Key key)
    {
        return SecureStorage::shared().load<T>(storageKey(key));
    }

    // What is in memory under key is what the store holds (it was just read back): it is not
    // written again until it changes.
    void markStored(Key key) { m_dirty[key] = false; }
    // The value under key changed in memory (after the change).
    void markChanged(Key key) { m_dirty[key] = true; }
    // A save point: every changed key is written at the end of this event-loop turn.
    void requestSave();
    // Call before a change that is not followed by a save: a pending save is written first.
    void beforeUnsavedChange();
    // Writes a pending save now.
    void flush();
    // The stored keys were removed behind the cache's back: drop any pending save (it would bring
    // them back) and write every key again at the next save point.
    void forgetStored();

    bool savePending() const { return m_pending; }
    // Number of keys sealed and written so far (for tests and benchmarks).
    int writes() const { return m_writes; }

private:
    void write();

    Encoder m_encoder;
    std::array<bool, KeyCount> m_dirty;
    std::array<std::optional<size_t>, KeyCount> m_writtenHash;
    bool m_pending = false;
    int m_writes = 0;
};
