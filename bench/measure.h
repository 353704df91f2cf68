#pragma once

// What the benchmark programs share: waiting on the event loop and the median of their timings.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <vector>

namespace bench {

// Runs the event loop until done() or the deadline; false on the deadline.
template <typename Done> bool RunUntil(Done done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace bench
