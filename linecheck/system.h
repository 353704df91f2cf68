#pragma once

#include "linecheck/readings.h"

#include <QString>

#include <optional>

namespace linecheck {

// The USB adapter behind a device node (/dev/ttyUSB0, or a link to one), read from the system's
// device tree under root (Linux: root/sys/class/tty/NAME/device and the folders above it, and the
// FTDI latency timer in root/sys/bus/usb-serial/devices/NAME/latency_timer). A test passes a
// folder of its own making. Elsewhere: known is false.
AdapterReading ReadAdapter(const QString &device, const QString &root = QStringLiteral("/"));

// Reads a device's line counters. The line check takes them before it opens the port and after
// it closed it again.
class CounterReader
{
public:
    virtual ~CounterReader() = default;
    // The counters, or none with why set (the driver keeps none, the device cannot be opened).
    virtual std::optional<Counters> read(const QString &device, QString *why) = 0;
    // Whether this system has such counters at all.
    virtual bool available() const = 0;
};

// The serial driver's own counters (TIOCGICOUNT) on Linux; not available elsewhere.
class DriverCounters : public CounterReader
{
public:
    std::optional<Counters> read(const QString &device, QString *why) override;
    bool available() const override;
};

} // namespace linecheck
