#pragma once

#include "commport.h"

#include <QSerialPort>

namespace serial {

// Tells an open failure of QSerialPort apart. QSerialPort reports both "held by another program"
// and "not allowed" as PermissionError; accessResult is what access(path, R_OK | W_OK) gave for
// the device node (0 or an errno value) and decides between them. On Windows an access-denied
// open always means another program holds the port, so pass 0 there.
OpenResult ClassifyOpenFailure(QSerialPort::SerialPortError error, int accessResult);

// access(path, R_OK | W_OK) as 0 or errno; always 0 where there is no such check.
int AccessResult(const QString &path);

} // namespace serial
