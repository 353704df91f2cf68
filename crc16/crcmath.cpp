#include "crcmath.h"

#include <QCoreApplication>

namespace crccalc {

std::array<std::uint8_t, 2> CRC16(QByteArrayView bytes)
{
    // The register is kept as two bytes; the polynomial 0xA001 is applied as 0xA0 to the
    // high byte and 0x01 to the low byte.
    std::uint8_t high = 0xFF;
    std::uint8_t low = 0xFF;
    for (const char c : bytes) {
        low = std::uint8_t(low ^ std::uint8_t(c));
        for (int bit = 0; bit < 8; ++bit) {
            const bool highCarry = high & 0x01;
            const bool lowCarry = low & 0x01;
            high = std::uint8_t(high >> 1);
            low = std::uint8_t((low >> 1) | (highCarry ? 0x80 : 0x00));
            if (lowCarry) {
                high = std::uint8_t(high ^ 0xA0);
                low = std::uint8_t(low ^ 0x01);
            }
        }
    }
    return {high, low};
}

QString hexDigits(std::uint64_t value)
{
    return QString::number(value, 16).toUpper();
}

QString wireOrderText(const std::array<std::uint8_t, 2> &crc)
{
    return hexDigits(crc[1]) + hexDigits(crc[0]);
}

QString wireOrderBytesText(const std::array<std::uint8_t, 2> &crc)
{
    return QStringLiteral("%1 %2")
        .arg(crc[1], 2, 16, QLatin1Char('0'))
        .arg(crc[0], 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QString> hexFormOfWholeNumber(QStringView text, QString *why)
{
    const QStringView digits = text.trimmed();
    auto refuse = [why](const QString &reason) -> std::optional<QString> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (digits.isEmpty())
        return refuse(QCoreApplication::translate("crc", "没有数字。"));
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return refuse(QCoreApplication::translate("crc", "“%1”不是非负整数。").arg(digits));
    }
    bool fits = false;
    const qulonglong value = digits.toULongLong(&fits, 10);
    if (!fits)
        return refuse(QCoreApplication::translate("crc", "“%1”太大，无法换算。").arg(digits));
    return hexDigits(value);
}

} // namespace crccalc
