#pragma once

#include "modbus/timing.h"

#include <QtGlobal>

namespace qvctl {

// How long qvctl waits, from the time things take on the line (modbus/timing.h).

using modbus::AnswerTimeoutMs;
using modbus::Ms;

// The scan's default wait at one address: a scan request and its answer on the wire, plus 8 ms
// for the module to turn round. An answer later than that still counts by its address.
int ScanStepMs(qint32 rate);

} // namespace qvctl
