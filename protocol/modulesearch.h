#pragma once

#include "modbus/timing.h"

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <optional>

namespace protocol {

using Micros = std::chrono::microseconds;

// What a module may take between the end of a request and the first byte of its answer: the
// one allowance of modbus/timing.
inline constexpr std::chrono::milliseconds ModuleTurnaround{
    static_cast<std::chrono::milliseconds::rep>(modbus::TurnaroundMs)};

// --- Address scan -------------------------------------------------------------------------
//
// One "Address1" request per timer tick for the addresses 1..255, the counter holding the next
// address to ask. A request goes out only when the line is free: the previous request has
// left the wire and the window for its answer has passed, and no reply is being gathered. At
// 9600 baud and above that is every tick; on slower lines ticks are skipped.

inline constexpr std::chrono::milliseconds ScanTick{35};
inline constexpr int ScanLastAddress = 255;

// The time from writing one scan request until its answer is in: the 8-byte request, the
// module's turnaround and the 7-byte answer, at the rate the request went out at.
Micros ScanReplyWindow(qint32 baudRate);

struct ScanInputs
{
    bool portOpen = false;
    // The counter: the next address to ask.
    qint64 counter = 1;
    // A reply is being gathered right now.
    bool collecting = false;
    // Since the last scan request was written, and the rate it went out at; none before the
    // first request.
    std::optional<Micros> sinceLastRequest;
    qint32 lastRate = 9600;
};

enum class ScanStep {
    PortClosed, // show the port-closed message and stop the scan
    Wait,       // skip this tick: the line is not free yet
    Send,       // send the request for the counter's address, then count on by one
    Finish,     // every address asked and answered: show the count, stop the scan
};

ScanStep DecideScanStep(const ScanInputs &in);

// The status text once the scan is over: " 读取到 N 个模块".
QString ScanResultText(int moduleCount);

// --- Baud-rate search ---------------------------------------------------------------------
//
// The port is reopened at each rate of the baud list in turn, from the slowest, and the fixed
// address probe is sent; the first rate at which anything comes back is the module's. The
// position to try next is kept between searches until one ends (found, or every rate tried).

inline constexpr std::chrono::milliseconds BaudSearchTick{50};

// The time from writing the probe until a module's answer is in: the 6-byte probe, the module's
// turnaround and a 7-byte answer at the rate being tried.
Micros ProbeAnswerTime(qint32 baudRate);

struct BaudSearchStep
{
    enum class Outcome {
        Stop,      // the port is closed: the search stops, the position is kept
        Exhausted, // every rate tried without an answer: stop, the position goes back to 0
        Probe,     // reopen the port at settingsText and send the probe
    };
    Outcome outcome = Outcome::Stop;
    int nextIndex = 0;    // the position to keep after this step
    QString settingsText; // for Probe: such as "2400,N,8,1"
    qint32 baudRate = 0;  // for Probe
};

BaudSearchStep DecideBaudSearchStep(bool portOpen, int index);

struct BaudCheck
{
    enum class Outcome {
        Found,    // something came back: the rate at index is the module's; the position is 0
        Wait,     // the answer may still be coming (or is being gathered): check again later
        NextRate, // nothing came back in time: try the next rate
    };
    Outcome outcome = Outcome::Wait;
    int nextIndex = 0;
};

struct BaudCheckInputs
{
    int index = 0;           // the position being tried
    bool received = false;   // a reply has been read since the probe went out
    bool collecting = false; // a reply is being gathered
    Micros sinceProbe{0};
    qint32 baudRate = 300;
};

BaudCheck DecideBaudCheck(const BaudCheckInputs &in);

} // namespace protocol
