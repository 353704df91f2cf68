#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace protocol {

// The twelve baud-list entries, exactly as the lists show them: the six shorter ones carry
// a trailing space. A module's baud code is an entry's position 0..11.
QStringList BaudList();

inline constexpr int BaudCodeCount = 12;
inline constexpr int DefaultBaudCode = 5; // "9600 "

// The rate of a baud code, or none outside 0..11.
std::optional<qint32> BaudRateOfCode(int code);

// The code whose rate equals rate, or none.
std::optional<int> BaudCodeOfRate(qint32 rate);

} // namespace protocol
