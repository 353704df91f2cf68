#pragma once

// The answer checks and line timing of modbus/ as the module test uses them: times in ms.
#include "modbus/answer.h"
#include "modbus/frames.h"
#include "modbus/timing.h"

#include <chrono>

namespace moduletest {

using modbus::Check;
using modbus::CheckAnswer;
using modbus::LongestAnswer;
using modbus::RegisterValue;
using modbus::Verdict;

inline double WireMs(qsizetype bytes, qint32 rate)
{
    return std::chrono::duration<double, std::milli>(modbus::WireTime(bytes, rate)).count();
}
// The quiet time before the next request: 3.5 characters, never less than MODBUS's floor.
inline double GapMs(qint32 rate)
{
    return std::chrono::duration<double, std::milli>(
               std::max(modbus::FrameGap(rate), modbus::ShortestFrameGap))
        .count();
}
inline qsizetype AnswerBytes(const QByteArray &request)
{
    return modbus::AnswerLength(request);
}

} // namespace moduletest
