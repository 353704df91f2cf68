#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace protocol {

// The number a text starts with, read the way a technician types it into the address box:
// blanks are skipped, then an optional sign, digits, an optional fraction and exponent.
// A text without a leading number reads 0; "7abc" reads 7.
double LeadingNumber(const QString &text);

// LeadingNumber rounded to a whole number, halves to the even neighbour ("2.5" -> 2,
// "3.5" -> 4). Values beyond the int range are clamped.
std::int64_t ReadWholeNumber(const QString &text);

// The slave address most requests need: the text's number when it is 1..255, else none.
std::optional<std::uint8_t> SlaveAddress(const QString &text);

// The looser rule of the baud-rate read and set requests: 0..255 (an empty box reads 0).
std::optional<std::uint8_t> SlaveAddressOrBroadcast(const QString &text);

} // namespace protocol
