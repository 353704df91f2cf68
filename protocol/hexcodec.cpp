#include "protocol/hexcodec.h"

#include <algorithm>

namespace protocol {

namespace {
bool isUpperHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}
} // namespace

QString HexFrameText(QByteArrayView frame)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(frame.size() * 3);
    for (const char c : frame) {
        const auto b = static_cast<std::uint8_t>(c);
        text += QLatin1Char(digits[b >> 4]);
        text += QLatin1Char(digits[b & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

std::optional<TimeBytes> TimeField(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // The numeric value counts, however many zeros lead it; a long text saturates above the
    // range rather than overflowing.
    int value = 0;
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = std::min(value * 10 + (c.unicode() - '0'), 65536);
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return TimeBytes{static_cast<std::uint8_t>(value >> 8),
                     static_cast<std::uint8_t>(value & 0xFF)};
}

QString D2B(std::int32_t value)
{
    QString text;
    while (value > 0) {
        text.prepend(QLatin1Char(value % 2 ? '1' : '0'));
        value /= 2;
    }
    return text;
}

std::int32_t B2D(const QString &text)
{
    std::int64_t sum = 0;
    std::int64_t weight = 1;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text.at(i);
        const int digit = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ? c.unicode() - '0' : 0;
        if (digit > 1)
            return 0;
        if (weight > INT32_MAX) {
            // Only zeros may stand beyond the 31st digit.
            if (digit != 0)
                return 0;
            continue;
        }
        sum += digit * weight;
        if (sum > INT32_MAX)
            return 0;
        weight *= 2;
    }
    return static_cast<std::int32_t>(sum);
}

QByteArray HexSendBytes(const QString &text)
{
    const QString packed = QString(text).remove(QLatin1Char(' ')).toUpper();
    qsizetype count = 0;
    while (count < packed.size() && isUpperHexDigit(packed.at(count)))
        ++count;
    count -= count % 2;
    QByteArray bytes;
    bytes.reserve(count / 2);
    for (qsizetype i = 0; i < count; i += 2)
        bytes.append(static_cast<char>(packed.mid(i, 2).toUInt(nullptr, 16)));
    return bytes;
}

} // namespace protocol
