#pragma once
// Turns one inbound frame into at most one InboundCallbacks call: the frame is parsed once, its
// "type" picks the handler from one table, and the handler reads or decodes what its slot needs.
// Malformed frames and records that fail to decode are dropped silently; only a failed hello
// snapshot is logged, with the decoder's error.
//
// Decoding and the call are two steps, so that a large frame can be decoded on a worker thread
// and its call made later on the main thread.
#include "InboundCallbacks.h"

#include <QByteArray>
#include <QString>
#include <functional>

class EventDispatcher
{
public:
    // One decoded frame: the call of its slot with the decoded values, made at most once (the values
    // are moved into the slot). Empty for a dropped frame.
    using Event = std::function<void(const InboundCallbacks &callbacks)>;

    // Safe on any thread: it reads only the frame.
    static Event decode(const QByteArray &utf8);
    // Decodes and calls at once.
    static void dispatch(const QString &text, const InboundCallbacks &callbacks);
};
