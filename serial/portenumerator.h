#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace serial {

// One enumeration of the machine's serial ports.
struct PortListing
{
    QStringList names;   // "COMn" on Windows, device paths ("/dev/ttyUSB0") elsewhere
    int deviceCount = 0; // serial devices counted
};

// The machine's serial ports, unsorted. Never opens a port: on Linux it reads /sys/class/tty
// (sysfsRoot is for tests), elsewhere it asks QSerialPortInfo.
PortListing SystemPorts();
PortListing SystemPortsFromSysfs(const QString &sysfsClassTty, const QString &devDir = "/dev");

// The paths given with "--port PATH" or "--port=PATH" (repeatable) among the program's
// arguments, in the order given. A "--port" without a path is ignored.
QStringList PortPathsFromArguments(const QStringList &arguments);

// True when a sorts before b in natural order: runs of digits compare by value, the rest as
// text, so COM3 < COM10 and /dev/ttyUSB2 < /dev/ttyUSB10, and ttyACM, ttyS, ttyUSB group.
bool NaturalLess(const QString &a, const QString &b);
QStringList SortedPortNames(QStringList names);

// The port list the program offers: the system's ports in natural order, then the extra ports
// (given with --port; pseudo-terminals and network links the system does not list) in the order
// given, then the registered virtual ports in the order registered. A name is listed once.
// deviceCount is the system's count only, so extra and virtual ports never look like a change.
class PortEnumerator
{
public:
    using Source = std::function<PortListing()>;

    explicit PortEnumerator(Source source = SystemPorts);

    void setExtraPorts(const QStringList &paths);
    QStringList extraPorts() const;

    PortListing list() const;

private:
    Source m_source;
    QStringList m_extra;
};

} // namespace serial
