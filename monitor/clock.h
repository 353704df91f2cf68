#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace monitor {

// Microseconds since the Unix epoch that never step back: the wall clock read once, a
// monotonic clock after that.
class Clock
{
public:
    Clock() : m_baseUs(QDateTime::currentMSecsSinceEpoch() * 1000) { m_timer.start(); }
    qint64 nowUs() const { return m_baseUs + m_timer.nsecsElapsed() / 1000; }

private:
    qint64 m_baseUs;
    QElapsedTimer m_timer;
};

} // namespace monitor
