#pragma once

#include "link/line.h"
#include "serial/commport.h"
#include "serial/holders.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// The line check: what was read off a port and its line, and what those readings say. The
// readings are plain values; the runner (runner.h) gathers them, the verdicts (verdicts.h) judge
// them without touching anything.
namespace linecheck {

// The port itself.
struct PortReading
{
    QString name;
    bool network = false; // tcp:// or mbtcp://: no device node, no driver of this machine
    bool exists = true;
    serial::OpenResult open = serial::OpenResult::Ok;
    QString openError; // the system's text when it could not be opened
    QString group;     // the device node's group (for the permission hint)
    // Other processes that hold the device open; holdersKnown is false where the system cannot
    // tell (Windows).
    QList<serial::Holder> holders;
    bool holdersKnown = true;

    bool opened() const { return open == serial::OpenResult::Ok; }
};

// The USB adapter behind a device node, as the system's device tree describes it.
struct AdapterReading
{
    bool known = true; // false where the device tree is not available (Windows)
    bool usb = false;  // a USB device stands behind the node
    QString vendorId;  // "0403"
    QString productId; // "6001"
    QString manufacturer;
    QString product;
    QString driver;               // "ftdi_sio", "ch341-uart", "cp210x", "cdc_acm"
    std::optional<int> latencyMs; // the FTDI latency timer, where the driver has one
};

// The driver's line counters (the serial core's interrupt counters).
struct Counters
{
    qint64 framing = 0;
    qint64 parity = 0;
    qint64 overrun = 0;
    qint64 breaks = 0;
    qint64 bufferOverrun = 0;
    friend bool operator==(const Counters &, const Counters &) = default;
};

struct CountersReading
{
    bool known = true; // false where the system has no such counters (Windows)
    std::optional<Counters> before;
    std::optional<Counters> after;
    QString why; // why they could not be read (the driver keeps none)
};

// What arrived while nobody asked anything.
struct IdleReading
{
    int listenMs = 0;
    qsizetype bytes = 0;
    QByteArray sample; // the first of them, at most KeptBytes
    static constexpr qsizetype KeptBytes = 512;
};

// One line setting the module was looked for at.
struct RateTry
{
    bus::LineSettings settings;
    int asked = 0;
    int garbled = 0; // bytes came back, but no whole answer
    int silent = 0;  // nothing, or only the adapter's echo
    bool answered = false;
};

// The state reads at one line setting.
struct ReadSeries
{
    bus::LineSettings settings;
    int asked = 0;
    int garbled = 0;   // bytes came, but no whole answer
    int crcErrors = 0; // of them, an answer whose CRC failed
    int silences = 0;
    QList<double> timesMs; // of each answer: request written to answer whole
    double expectedMs = 0; // the request and its answer on the wire plus the turnaround
};

struct Readings
{
    PortReading port;
    AdapterReading adapter;
    CountersReading counters;
    std::optional<IdleReading> idle; // none when the port could not be opened
    std::optional<bool> echo;        // learned from the answers; none: could not tell
    bool exchanged = false;          // anything was asked on the line
    QList<RateTry> tries;            // the search for the module, in order
    std::optional<bus::LineSettings> found;
    std::uint8_t address = 1;
    QList<ReadSeries> reads; // at the setting it answered at (more where known)
};

} // namespace linecheck
