#include "protocol/baud.h"

#include <array>

namespace protocol {

namespace {
constexpr std::array<qint32, BaudCodeCount> rates = {300,   600,   1200,  2400,  4800,  9600,
                                                     14400, 19200, 38400, 56000, 57600, 115200};
}

QStringList BaudList()
{
    QStringList list;
    for (const qint32 rate : rates) {
        QString entry = QString::number(rate);
        if (entry.size() < 5)
            entry += QLatin1Char(' ');
        list << entry;
    }
    return list;
}

std::optional<qint32> BaudRateOfCode(int code)
{
    if (code < 0 || code >= BaudCodeCount)
        return std::nullopt;
    return rates[static_cast<std::size_t>(code)];
}

std::optional<int> BaudCodeOfRate(qint32 rate)
{
    for (int code = 0; code < BaudCodeCount; ++code) {
        if (rates[static_cast<std::size_t>(code)] == rate)
            return code;
    }
    return std::nullopt;
}

} // namespace protocol
