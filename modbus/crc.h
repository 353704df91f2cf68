#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>

namespace modbus {

// CRC-16 as used by MODBUS RTU (initial value 0xFFFF, reflected polynomial 0xA001).
// Returns the register as High * 256 + Low.
std::uint16_t crc16Value(QByteArrayView bytes);

// Whether a frame ends in its own CRC, low byte first: the CRC over the whole frame, its CRC
// bytes included, is zero. A frame shorter than four bytes (address, function, CRC) never is.
bool CrcRight(QByteArrayView frame);

// Stores the CRC of all bytes but the last two into those two: low byte, then high byte,
// the order the wire wants. Frames shorter than three bytes are left alone.
void AppendCrc(QByteArray &frame);

// The bytes given with their CRC appended, low byte first.
QByteArray WithCrc(QByteArrayView bytes);

// The CRC of all bytes, high byte at index 0 and low byte at index 1.
std::array<std::uint8_t, 2> CRC16(QByteArrayView bytes);

} // namespace modbus
