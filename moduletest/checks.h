#pragma once

// The answer checks and line timing the module test is built on, in one place.
#include "qvctl/answer.h"

namespace moduletest {

using qvctl::Check;
using qvctl::CheckAnswer;
using qvctl::LongestAnswer;
using qvctl::RegisterValue;
using qvctl::Verdict;

inline double WireMs(qsizetype bytes, qint32 rate)
{
    return qvctl::WireTimeMs(bytes, rate);
}
inline double GapMs(qint32 rate)
{
    return qvctl::FrameGapMs(rate);
}
inline qsizetype AnswerBytes(const QByteArray &request)
{
    return qvctl::AnswerLength(request);
}

} // namespace moduletest
