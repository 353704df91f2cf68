#pragma once

#include "sim/relaymodule.h"

#include <QtGlobal>

namespace sim {

// The rate a terminal device is set to, as the program on its other side set it (for a
// pseudo-terminal's master, the settings of the slave side). 0 when the settings cannot be read
// or are not 8 data bits, which no module understands. format, when given, receives the parity
// and stop bits.
qint32 LineRateOf(int fd, CharacterFormat *format = nullptr);

} // namespace sim
