#include "protocol/address.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace protocol {

double LeadingNumber(const QString &text)
{
    // Blanks anywhere in the number are ignored ("1 2" reads 12), as in the address box
    // of the original tool; everything from the first character that cannot continue the
    // number on is ignored.
    QByteArray number;
    bool seenDigit = false, seenPoint = false, seenExponent = false;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r'))
            continue;
        const char ch = c.toLatin1();
        const char last = number.isEmpty() ? '\0' : number.back();
        if (ch >= '0' && ch <= '9') {
            seenDigit = true;
        } else if ((ch == '+' || ch == '-') && (number.isEmpty() || last == 'e')) {
        } else if (ch == '.' && !seenPoint && !seenExponent) {
            seenPoint = true;
        } else if ((ch == 'e' || ch == 'E' || ch == 'd' || ch == 'D') && seenDigit &&
                   !seenExponent) {
            seenExponent = true;
            number.append('e');
            continue;
        } else {
            break;
        }
        number.append(ch);
    }
    // Drop a dangling exponent or sign so the remainder parses.
    while (!number.isEmpty() &&
           (number.back() == 'e' || number.back() == '+' || number.back() == '-'))
        number.chop(1);
    if (!seenDigit)
        return 0.0;
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

std::int64_t ReadWholeNumber(const QString &text)
{
    const double value = std::nearbyint(LeadingNumber(text)); // default rounding: half to even
    constexpr double lo = double(std::numeric_limits<int>::min());
    constexpr double hi = double(std::numeric_limits<int>::max());
    if (!std::isfinite(value))
        return value > 0 ? std::int64_t(hi) : std::int64_t(lo);
    return std::int64_t(std::clamp(value, lo, hi));
}

std::optional<std::uint8_t> SlaveAddress(const QString &text)
{
    const std::int64_t a = ReadWholeNumber(text);
    if (a < 1 || a > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(a);
}

std::optional<std::uint8_t> SlaveAddressOrBroadcast(const QString &text)
{
    const std::int64_t a = ReadWholeNumber(text);
    if (a < 0 || a > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(a);
}

} // namespace protocol
