#pragma once

// The answer checks and line timing of modbus/ as the module test uses them: times in ms.
#include "modbus/answer.h"
#include "modbus/frames.h"
#include "modbus/timing.h"

namespace moduletest {

using modbus::Check;
using modbus::CheckAnswer;
using modbus::LongestAnswer;
using modbus::RegisterValue;
using modbus::Verdict;

inline double WireMs(qsizetype bytes, qint32 rate)
{
    return modbus::Ms(modbus::WireTime(bytes, rate));
}
using modbus::AnswerTimeoutMs;
inline qsizetype AnswerBytes(const QByteArray &request)
{
    return modbus::AnswerLength(request);
}

} // namespace moduletest
