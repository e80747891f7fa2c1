#pragma once
// A clock the test moves by hand; it starts at the real time so stored times look ordinary.
#include "core/Clock.h"

#include <QDateTime>

class ManualClock : public Clock
{
public:
    qint64 nowMs() const override { return m_now; }
    void advance(qint64 ms) { m_now += ms; }

private:
    qint64 m_now = QDateTime::currentMSecsSinceEpoch();
};
