#pragma once
// Keeps the five stored chat keys in step with memory through the encrypted store.
//
// Saving seals a whole key, and the live handlers ask for a save after every message, so saves are
// coalesced: a save requested during one event-loop turn is taken once at the end of that turn, for
// the keys whose value changed since they were last saved. Taking a save copies the implicitly
// shared lists; encoding, sealing and writing happen on the writer thread (ChatCacheWriter), which
// skips a key whose JSON is what it last wrote. The next change to a list still shared with the
// writer copies the whole list on the main thread (thousands of messages in an open room), so a
// key's save waits while the writer holds its last copy, and a key is copied at most every
// minimumInterval: in a burst of messages the writer is still encoding one copy when the next
// message arrives. A change that is not itself followed by a save first takes every save still
// pending or waiting, so what reaches the disk is exactly what saving at each save point would have
// left.
#include "ChatCacheWriter.h"
#include "ChatGroup.h"
#include "ChatMessage.h"
#include "User.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class ChatCache : public QObject
{
    Q_OBJECT

public:
    // In the order they are written.
    enum Key { Friends, Groups, GlobalMessages, DmMessages, GroupMessages, KeyCount };

    // Copies the current value of one key and returns the work that encodes the copy, which runs on
    // the writer thread; called at most once per key and save.
    using Encoder = std::function<ChatCacheWriter::Encode(Key key)>;

    static constexpr int minimumInterval = 250; // ms

    // What the five keys hold; a key that is missing or unreadable is empty.
    struct Stored
    {
        std::optional<QList<User>> friends;
        std::optional<QList<ChatGroup>> groups;
        std::optional<QList<ChatMessage>> globalMessages;
        std::optional<QHash<QString, QList<ChatMessage>>> dmMessages;
        std::optional<QHash<QString, QList<ChatMessage>>> groupMessages;
    };

    explicit ChatCache(Encoder encoder, QObject *parent = nullptr);
    // Writes what was handed to the writer before it goes.
    ~ChatCache() override;

    static QString storageKey(Key key);
    // Whether any of the five keys is on disk (a cheap look, no reading).
    static bool anyStored();
    // Opens and decodes the five keys; safe on any thread.
    static Stored loadAll();

    // What is in memory under key is what the store holds (it was just read back): it is not
    // written again until it changes.
    void markStored(Key key) { m_dirty[key] = m_waiting[key] = false; }
    // The value under key changed in memory (after the change).
    void markChanged(Key key) { m_dirty[key] = true; }
    // A save point: every changed key is saved at the end of this event-loop turn.
    void requestSave();
    // Call before a change that is not followed by a save: a pending save is taken first.
    void beforeUnsavedChange();
    // Takes a pending or waiting save now (its writing goes on on the writer thread).
    void flush();
    // Takes a pending save and blocks until everything handed to the writer is on disk.
    void flushAndWait();
    // The stored keys are being removed behind the cache's back: drop any pending or queued save
    // (it would bring them back; a write under way is waited for) and write every key again at the
    // next save point.
    void forgetStored();

    // A save requested and waiting for the end of the turn or for the writer.
    bool savePending() const;
    // Saves handed to the writer thread and not yet on disk.
    bool isWriting() const { return !m_writer->isIdle(); }
    // Number of keys sealed and written so far (for tests and benchmarks).
    int writes() const { return m_writer->writes(); }

private:
    // Hands the changed keys to the writer; unless forced, a key the writer is busy with waits.
    void write(bool force);
    // The end of a save point's turn, and the writer letting go of a key.
    void writeUnlessBusy();

    Encoder m_encoder;
    std::array<bool, KeyCount> m_dirty;
    // Changed keys whose save point has passed while the writer held their copy, or too soon after
    // their last one.
    std::array<bool, KeyCount> m_waiting;
    std::array<QElapsedTimer, KeyCount> m_taken;
    QTimer m_later;
    bool m_pending = false;
    quint64 m_sequence = 0;
    std::unique_ptr<ChatCacheWriter> m_writer;
};
