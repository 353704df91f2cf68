#include "qvctl/waits.h"

#include "modbus/frames.h"

#include <algorithm>
#include <cmath>

namespace qvctl {

int ScanStepMs(qint32 rate)
{
    constexpr qsizetype ScanRequestLength = 8;
    return int(std::lround(
               Ms(modbus::WireTime(ScanRequestLength + modbus::RegisterAnswerLength, rate)))) +
           8;
}

} // namespace qvctl
