#include "qvctl/waits.h"

#include "modbus/frames.h"

#include <algorithm>
#include <cmath>

namespace qvctl {

int DefaultTimeoutMs(qsizetype requestBytes, qsizetype longestAnswerBytes, qint32 rate)
{
    return int(std::ceil(Ms(modbus::WireTime(requestBytes + longestAnswerBytes, rate)))) + 100;
}

int ScanStepMs(qint32 rate)
{
    constexpr qsizetype ScanRequestLength = 8;
    return int(std::lround(
               Ms(modbus::WireTime(ScanRequestLength + modbus::RegisterAnswerLength, rate)))) +
           8;
}

double FrameGapMs(qint32 rate)
{
    return Ms(std::max(modbus::FrameGap(rate), modbus::ShortestFrameGap));
}

} // namespace qvctl
