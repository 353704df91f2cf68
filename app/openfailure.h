#pragma once

#include "serial/commport.h"

#include <QString>

namespace app {

// A failure of the port in the user's words: what happened, chosen from the failure's kind (and
// its error number where that says more), then the driver's own text in parentheses.
QString FailureReason(const serial::LineFailure &failure);

// The message shown when opening a port failed, or empty for success. The no-permission
// message tells a Linux user which group to join: the group that owns the device file. The busy
// message names, on a second line, the other programs seen holding the port.
QString OpenFailureText(serial::OpenResult result, const QString &portName,
                        const serial::LineFailure &failure);

} // namespace app
