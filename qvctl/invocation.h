#pragma once

#include "link/echo.h"
#include "link/line.h"
#include "moduletest/plan.h"
#include "monitor/writers.h"
#include "serial/linedevice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace qvctl {

// What the exit status says.
enum class Exit : int {
    Done = 0,        // done and confirmed
    NoAnswer = 1,    // no answer within the timeout, after the retries (or only the adapter's echo)
    Usage = 2,       // the command line is wrong
    Port = 3,        // the port or an output file cannot be opened or written
    WrongAnswer = 4, // bad CRC, an exception answer, a mismatched echo
    Stopped = 5,     // stopped by a signal before the end (the module test)
};

// The longest MODBUS RTU frame: send writes no more and keeps no more of what comes back.
inline constexpr qsizetype LongestFrame = 256;

enum class Command {
    Ports,
    On,
    Off,
    Jog,
    DelayOn,
    DelayOff,
    AllOn,
    AllOff,
    AllJog,
    AllDelayOn,
    AllDelayOff,
    Mask,
    State,
    Address,
    SetAddress,
    SetBaud,
    Scan,
    FindBaud,
    Send,
    Test,    // the module test: testcommand.h
    Monitor, // listening without sending: monitor.h
    Watch,   // the modules at a glance: watch.h
    Doctor,  // the line check: doctor.h
};

// The command's name as typed ("delay-on", "all jog").
QString CommandName(Command command);

// Everything one run of the program was asked to do, checked.
struct Invocation
{
    Command command = Command::State;
    QString port;                           // empty only for ports
    QStringList extraPorts;                 // ports: --port paths to list beside the system's
    qint32 baud = 9600;                     // one of the twelve rates
    bus::Parity parity = bus::Parity::None; // --parity
    int stopBits = 1;                       // --stop-bits
    int gapMs = 0;                          // --gap: the pause between requests
    serial::Rs485 rs485;                    // --rs485, --rs485-delays
    std::uint8_t address = 1;               // 0: broadcast, nothing awaited
    int channelCount = 8;                   // of --model
    QString model = "QV-08";                // as the model is named
    std::optional<int> timeoutMs;           // --timeout; none: derived from the wire time
    int retries = 0;
    bus::Echo echo = bus::Echo::Auto; // --echo
    bool json = false;
    bool verbose = false;

    QList<int> channels;         // on, off (1-based, in the order given); jog, delay-*: one
    std::uint16_t tenths = 0;    // jog, delay-*, all jog|delay-*: the time in 0.1 s
    std::array<bool, 8> mask{};  // mask: channel k+1 in element k
    std::uint8_t newAddress = 0; // set-address
    qint32 newBaud = 0;          // set-baud
    QList<bus::Parity> parities{bus::Parity::None}; // find-baud --parities
    int scanFrom = 1;                               // scan
    int scanTo = 255;
    QByteArray bytes; // send: the bytes as given, the CRC appended with --crc
    bool appendCrc = false;

    moduletest::Settings test; // test: what to test and how
    QString junitPath;         // test: --junit FILE
    QString csvPath;           // test: --csv FILE

    monitor::Format monitorFormat = monitor::Format::Text; // monitor: --format
    QString pcapPath;                                      // monitor: --pcap FILE
    bool stats = false;                                    // monitor: --stats
    double monitorSeconds = 0;                             // monitor: --duration; 0 until Ctrl+C

    int doctorReads = 20; // doctor: --reads, the state reads timed where the module answers
};

// How a command line reads: something to run, a text to print and leave (help, version), or a
// usage error with its one-line message.
struct ParseOutcome
{
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Error;
    Invocation invocation;
    QString text; // Help, Version: what to print; Error: the message, one line, no program name
};

// The line settings the invocation opens the port with.
bus::LineSettings LineSettingsOf(const Invocation &in);

// arguments[0] is the program.
ParseOutcome ParseArguments(const QStringList &arguments);

// A time in seconds with at most one decimal that counts ("2.5", "0.1", "6553.5", "3.50"),
// 0.1..6553.5, as tenths; none otherwise.
std::optional<std::uint16_t> ParseSeconds(const QString &text);

// A duration in seconds for --duration: a finite number above 0 whose milliseconds fit a timer
// (at most 2147483 s, about 24 days); none otherwise (nan, inf, 3e6, -1, text).
std::optional<double> ParseDuration(const QString &text);

// A channel mask: binary digits with channel 1 first ("10100000"; fewer than eight digits leave
// the rest off), or "0x" and one or two hex digits with channel 1 in bit 0 ("0x05").
std::optional<std::array<bool, 8>> ParseMask(const QString &text);

// Hex bytes as the arguments of send give them: two digits a byte, blanks between bytes
// allowed, any number of arguments. The message names the offending argument otherwise.
std::optional<QByteArray> ParseHexBytes(const QStringList &arguments, QString *error);

} // namespace qvctl
