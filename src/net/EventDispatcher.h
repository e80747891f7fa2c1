#pragma once
// Turns one inbound frame into at most one InboundCallbacks call: the frame is parsed once, its
// "type" picks the handler from one table, and the handler reads or decodes what its slot needs.
// Malformed frames and records that fail to decode are dropped silently; only a failed hello
// snapshot is logged, with the decoder's error.
#include "InboundCallbacks.h"

#include <QString>

class EventDispatcher
{
public:
    static void dispatch(const QString &text, const InboundCallbacks &callbacks);
    static void dispatch(const QByteArray &utf8, const InboundCallbacks &callbacks);
};
