#pragma once

#include "protocol/hexcodec.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace protocol {

// The time boxes hold a time in units of 0.1 s, 1..65535, as typed text.
inline constexpr int TimeMinimum = 1;
inline constexpr int TimeMaximum = 65535;

// What an out-of-range box is reset to, and the message shown first (title TimeRangeTitle).
inline const QString TimeResetText = QStringLiteral("65535");
inline const QString TimeRangeMessage =
    QT_TRANSLATE_NOOP("Messages", "输入错误，数值范围在1-65535");
inline const QString TimeRangeTitle = QT_TRANSLATE_NOOP("Messages", "提示");

// Only digits can be entered into a time box: what is typed or pasted keeps its digits only.
QString TimeBoxDigits(const QString &text);

enum class TimeCheck {
    Empty,      // no text: passes silently
    InRange,    // 1..65535
    OutOfRange, // show TimeRangeMessage, then reset the box to TimeResetText
};

// The check made after every key released in a time box.
TimeCheck CheckTimeText(const QString &text);

// The seconds label of a time box: the time / 10 followed by "秒" ("0.1秒", "6553.5秒").
// None for a text without a number (the label then keeps its text).
std::optional<QString> SecondsLabel(const QString &text);

// The two boxes that copy one time into the per-channel boxes.
enum class AllTimesBox {
    Delay, // QTM -> TM
    Jog,   // ALLDDT -> DDT
};

enum class CopyTrigger {
    KeyRelease, // only when the typed value is in range
    ListChoice, // an entry chosen from the list
};

// How many per-channel boxes (from channel 0 on) receive the all-times box's text. A list
// choice in the delay box reaches all eight boxes whatever the model; every other copy reaches
// the model's channels only.
int CopyTargetCount(AllTimesBox box, CopyTrigger trigger, int channelCount);

// The times of channels 0..count-1 for an all-channel request, or the first channel whose box
// does not hold a time 1..65535 (nothing may be sent then).
struct ChannelTimes
{
    std::vector<TimeBytes> times;
    int firstInvalid = -1;
    bool ok() const { return firstInvalid < 0; }
};
ChannelTimes CollectTimes(const QStringList &texts, int count);

} // namespace protocol
