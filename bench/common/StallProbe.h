#pragma once
// How long the main thread stops answering while work runs: a 1 ms timer notes the gap between its
// ticks; the longest gap and the 99th percentile gap are the frames a user would see frozen.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace bench {

class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }

    void start()
    {
        m_gaps.clear();
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }

    // Counts the gap up to now too: a stall at the very end is a stall.
    void stop()
    {
        tick();
        m_timer.stop();
    }

    double longestMs() const { return m_gaps.empty() ? 0 : *std::max_element(m_gaps.begin(), m_gaps.end()); }

    double p99Ms() const
    {
        if (m_gaps.empty())
            return 0;
        std::vector<double> sorted = m_gaps;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    }

    // The same gaps with nothing to do for `ms`: what the machine's own load costs (other
    // processes take the two cores too), to read the figures above against.
    void idle(int ms)
    {
        start();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        stop();
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_gaps.push_back((now - m_last) / 1e6);
        m_last = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    std::vector<double> m_gaps;
};

} // namespace bench
