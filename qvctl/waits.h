#pragma once

#include "modbus/timing.h"

#include <QtGlobal>

namespace qvctl {

// How long qvctl waits, from the time things take on the line (modbus/timing.h).

// A line time in milliseconds.
inline double Ms(modbus::LineTime time)
{
    return std::chrono::duration<double, std::milli>(time).count();
}

// The default wait for an answer: the request and the longest answer on the wire, plus 100 ms.
int DefaultTimeoutMs(qsizetype requestBytes, qsizetype longestAnswerBytes, qint32 rate);

// The scan's default wait at one address: a scan request and its answer on the wire, plus 8 ms
// for the module to turn round. An answer later than that still counts by its address.
int ScanStepMs(qint32 rate);

// The quiet time kept between frames: the frame gap, never shorter than MODBUS's 1.75 ms.
double FrameGapMs(qint32 rate);

} // namespace qvctl
