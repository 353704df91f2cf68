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

#if defined(Q_OS_WIN)
// Tells an open failure apart by Windows' own error code, which QSerialPort folds into few kinds:
// no such device, held by another program, not allowed, or something else. Windows' serial
// driver lets one program at a time have a port and refuses every other with "access denied", so
// that code means busy; a port the user may not open says the same and cannot be told apart.
OpenResult ClassifyWindowsOpenError(unsigned long code);

// Opens the port named like QSerialPort names it ("COM7") for reading and writing and closes it
// again: 0 when that works, else Windows' error code.
unsigned long WindowsOpenError(const QString &portName);
#endif

} // namespace serial
