#pragma once
// Wall-clock time in ms since 1970, behind a seam so that the recall window and the throttles can be
// tested without waiting.
#include <QtGlobal>

class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 nowMs() const;
};
