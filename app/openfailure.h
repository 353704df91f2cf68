#pragma once

#include "serial/commport.h"

#include <QString>

namespace app {

// The message shown when opening a port failed, or empty for success. The no-permission
// message tells a Linux user which group to join: the group that owns the device file. The busy
// message names, on a second line, the other programs seen holding the port.
QString OpenFailureText(serial::OpenResult result, const QString &portName,
                        const QString &errorText);

} // namespace app
