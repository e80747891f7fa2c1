#pragma once
// Applies inbound frames to the slots strictly in the order they arrived. A small frame is decoded
// and applied at once when nothing is waiting. A large one (the hello snapshot of a big account) is
// decoded on a worker thread so that the window keeps drawing; the frames behind it wait, and are
// applied right after it, in the same main-thread step. Delivery can also be held (the chat state
// holds it while it opens its cache at start); frames then wait in order.
#include "EventDispatcher.h"
#include "InboundCallbacks.h"

#include <QObject>
#include <QStringList>

class InboundSequencer : public QObject
{
    Q_OBJECT

public:
    // Frames of at least this many characters are decoded off the main thread.
    static constexpr qsizetype workerFrameChars = 128 * 1024;

    explicit InboundSequencer(const InboundCallbacks &callbacks, QObject *parent = nullptr);

    void push(const QString &text);
    // Holds are counted: delivery resumes when every hold is released.
    void hold();
    void release();
    // Forgets every waiting frame and the decode under way (the connection was closed on purpose).
    void discard();
    // Nothing waiting, nothing being decoded.
    bool isIdle() const { return !m_decoding && m_waiting.isEmpty(); }

Q_SIGNALS:
    // Everything that arrived has been applied.
    void idle();

private:
    void drain();
    // Applies a small frame now, or starts decoding a large one; true when it was applied.
    bool applyOrStartDecoding(const QString &text);
    void decoded(quint64 generation, EventDispatcher::Event event);

    const InboundCallbacks &m_callbacks;
    QStringList m_waiting;
    int m_holds = 0;
    bool m_decoding = false;
    // Counts discards, so that a decode started before one is dropped when it ends.
    quint64 m_generation = 0;
};
