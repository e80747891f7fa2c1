#include "core/Clock.h"

#include <QDateTime>

qint64 Clock::nowMs() const
{
    return QDateTime::currentMSecsSinceEpoch();
}
