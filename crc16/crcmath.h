#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace crccalc {

// The CRC-16 of MODBUS RTU over all bytes: element 0 is the high byte of the register,
// element 1 the low byte. On the wire the low byte goes first.
std::array<std::uint8_t, 2> CRC16(QByteArrayView bytes);

// Upper-case hex digits of a value, no prefix and no leading zeros (10 gives "A").
QString hexDigits(std::uint64_t value);

// The two CRC bytes as the window's wire-order box shows them: low byte then high byte,
// each without leading zero, no separator (0x84, 0x0A gives "84A").
QString wireOrderText(const std::array<std::uint8_t, 2> &crc);

// The two CRC bytes in wire order as two-digit hex separated by a space ("8C 3A").
QString wireOrderBytesText(const std::array<std::uint8_t, 2> &crc);

// A whole number typed into a decimal box ("4096", " 255 "), as hex digits ("1000", "FF").
// Gives nothing for text that is not a whole number or does not fit in 64 bits; the
// reason is then put into *why when given.
std::optional<QString> hexFormOfWholeNumber(QStringView text, QString *why = nullptr);

} // namespace crccalc
