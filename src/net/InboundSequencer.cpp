#include "InboundSequencer.h"

#include "BackgroundTask.h"

InboundSequencer::InboundSequencer(const InboundCallbacks &callbacks, QObject *parent) : QObject(parent), m_callbacks(callbacks) {}

void InboundSequencer::push(const QString &text)
{
    m_waiting.append(text);
    drain();
}

void InboundSequencer::hold()
{
    ++m_holds;
}

void InboundSequencer::release()
{
    if (m_holds > 0 && --m_holds == 0)
        drain();
}

void InboundSequencer::discard()
{
    ++m_generation;
    m_waiting.clear();
    m_decoding = false;
}

void InboundSequencer::drain()
{
    while (!m_decoding && m_holds == 0 && !m_waiting.isEmpty()) {
        if (!applyOrStartDecoding(m_waiting.takeFirst()))
            return;
    }
    if (isIdle())
        Q_EMIT idle();
}

bool InboundSequencer::applyOrStartDecoding(const QString &text)
{
    if (text.size() < workerFrameChars) {
        EventDispatcher::dispatch(text, m_callbacks);
        return true;
    }
    m_decoding = true;
    const quint64 generation = m_generation;
    BackgroundTask::run(
        this, [text] { return EventDispatcher::decode(text.toUtf8()); },
        [this, generation](EventDispatcher::Event event) { decoded(generation, std::move(event)); });
    return false;
}

void InboundSequencer::decoded(quint64 generation, EventDispatcher::Event event)
{
    if (generation == m_generation) {
        m_decoding = false;
        if (event)
            event(m_callbacks);
    }
    // The snapshot's records are freed off the main thread too.
    BackgroundTask::dispose(std::move(event));
    if (generation == m_generation)
        drain();
}
