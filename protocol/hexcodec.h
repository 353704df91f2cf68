#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace protocol {

// "01 0A FF ": two upper-case hex digits and one space per byte, trailing space included.
// The form of the sent box, the received box and the console in hex mode.
QString HexFrameText(QByteArrayView frame);

// A time value (units of 0.1 s) as it travels in a timed relay request.
struct TimeBytes
{
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    friend bool operator==(const TimeBytes &, const TimeBytes &) = default;
};

// The text of a time box as two bytes, high byte first. Only a whole number 1..65535
// (digits only, surrounding spaces ignored, leading zeros allowed: "000020" is 20) gives a
// value; anything else gives none so the caller can refuse to send.
std::optional<TimeBytes> TimeField(const QString &text);

// Binary digits of value, most significant first, no leading zeros; empty for 0 or less.
QString D2B(std::int32_t value);

// Reads a text of binary digits, last character weighing 1. A non-digit reads as 0; a digit
// above 1 makes the whole text read as 0, as does a text too long for 31 bits.
std::int32_t B2D(const QString &text);

// What the console's hex send puts on the wire for a typed text: spaces removed, upper-cased,
// the leading run of hex digits taken in whole pairs; an unpaired last digit and everything
// from the first other character on are dropped.
QByteArray HexSendBytes(const QString &text);

} // namespace protocol
