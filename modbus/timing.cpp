#include "modbus/timing.h"

#include "modbus/frames.h"

#include <algorithm>
#include <cmath>

namespace modbus {

namespace {

LineTime Characters(double count, qint32 baudRate, CharacterFormat format)
{
    if (baudRate <= 0)
        return LineTime{0.0};
    return LineTime{count * CharacterBits(format) * 1e6 / double(baudRate)};
}

} // namespace

LineTime WireTime(qsizetype bytes, qint32 baudRate, CharacterFormat format)
{
    return Characters(double(bytes), baudRate, format);
}

LineTime FrameGap(qint32 baudRate, CharacterFormat format)
{
    return Characters(3.5, baudRate, format);
}

double QuietGapMs(qint32 baudRate, CharacterFormat format)
{
    return Ms(std::max(FrameGap(baudRate, format), ShortestFrameGap));
}

int AnswerTimeoutMs(qsizetype requestBytes, qsizetype longestAnswerBytes, qint32 baudRate,
                    CharacterFormat format)
{
    return int(std::ceil(Ms(WireTime(requestBytes + longestAnswerBytes, baudRate, format)))) + 100;
}

int ScanWaitMs(qint32 baudRate)
{
    constexpr qsizetype ScanRequestBytes = 8;
    return int(
        std::ceil(Ms(WireTime(ScanRequestBytes + RegisterAnswerLength, baudRate)) + TurnaroundMs));
}

} // namespace modbus
