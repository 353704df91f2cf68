#pragma once

#include <QtGlobal>

namespace sim {

// The rate a terminal device is set to, as the program on its other side set it (for a
// pseudo-terminal's master, the settings of the slave side). 0 when the settings cannot be read
// or are not 8 data bits without parity, which no module understands.
qint32 LineRateOf(int fd);

} // namespace sim
