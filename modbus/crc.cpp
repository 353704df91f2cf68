#include "modbus/crc.h"

namespace modbus {

std::uint16_t crc16Value(QByteArrayView bytes)
{
    // The register is kept as two separate bytes, exactly as the module firmware does it:
    // the high byte's lowest bit moves into the low byte's top bit on every shift.
    std::uint8_t high = 0xFF;
    std::uint8_t low = 0xFF;
    for (const char c : bytes) {
        low ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            const bool highCarry = high & 0x01;
            const bool lowCarry = low & 0x01;
            high >>= 1;
            low = static_cast<std::uint8_t>((low >> 1) | (highCarry ? 0x80 : 0x00));
            if (lowCarry) {
                high ^= 0xA0;
                low ^= 0x01;
            }
        }
    }
    return static_cast<std::uint16_t>(high << 8 | low);
}

bool CrcRight(QByteArrayView frame)
{
    return frame.size() >= 4 && crc16Value(frame) == 0;
}

void AppendCrc(QByteArray &frame)
{
    const qsizetype n = frame.size();
    if (n < 3)
        return;
    const std::uint16_t crc = crc16Value(QByteArrayView(frame).first(n - 2));
    frame[n - 2] = static_cast<char>(crc & 0xFF);
    frame[n - 1] = static_cast<char>(crc >> 8);
}

QByteArray WithCrc(QByteArrayView bytes)
{
    QByteArray frame;
    frame.reserve(bytes.size() + 2);
    frame.append(bytes.data(), bytes.size());
    frame.append(2, '\0');
    AppendCrc(frame);
    return frame;
}

std::array<std::uint8_t, 2> CRC16(QByteArrayView bytes)
{
    const std::uint16_t crc = crc16Value(bytes);
    return {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc & 0xFF)};
}

} // namespace modbus
