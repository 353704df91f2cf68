#pragma once

#include <QtGlobal>

#include <chrono>

namespace modbus {

// How one character is framed on a serial line: a start bit, the data bits, a parity bit when
// there is one, the stop bits.
struct CharacterFormat
{
    int dataBits = 8;
    bool parity = false;
    int stopBits = 1;
    friend bool operator==(const CharacterFormat &, const CharacterFormat &) = default;
};

// The bits one character takes on the line: 10 for 8N1 (a start bit, 8 data bits, no parity,
// 1 stop bit, the modules' own format), 11 for 8E1, 8O1 and 8N2.
constexpr int CharacterBits(CharacterFormat format = {})
{
    return 1 + format.dataBits + (format.parity ? 1 : 0) + format.stopBits;
}

// A time on the line in microseconds, fraction kept: each caller rounds it as its use asks.
using LineTime = std::chrono::duration<double, std::micro>;

// How long bytes take on the wire at a rate: CharacterBits a byte. Zero for a rate of 0 or less.
LineTime WireTime(qsizetype bytes, qint32 baudRate, CharacterFormat format = {});

// The silence that ends a frame: 3.5 characters at the rate. Zero for a rate of 0 or less.
LineTime FrameGap(qint32 baudRate, CharacterFormat format = {});

// Above 19200 baud MODBUS keeps frames apart by at least this, however short 3.5 characters are.
inline constexpr LineTime ShortestFrameGap{1750.0};

// A line time in milliseconds.
inline double Ms(LineTime time)
{
    return std::chrono::duration<double, std::milli>(time).count();
}

// The quiet time a master keeps before its next frame, in ms: the frame gap, never shorter than
// ShortestFrameGap.
double QuietGapMs(qint32 baudRate, CharacterFormat format = {});

// The usual wait for an answer, in whole ms: the request and its longest answer on the wire,
// plus 100 ms for the module to turn round and the system to hand the bytes over.
int AnswerTimeoutMs(qsizetype requestBytes, qsizetype longestAnswerBytes, qint32 baudRate,
                    CharacterFormat format = {});

// What a module may take between the end of a request and the first byte of its answer. A
// scan waits no longer than this beyond the wire time at each address (a later answer still
// counts by the address it names), and the window's scan and search pace themselves by it.
inline constexpr double TurnaroundMs = 10;

// A scan's wait at one address, in whole ms: its request and a one-register answer on the wire
// plus the turnaround allowance.
int ScanWaitMs(qint32 baudRate);

} // namespace modbus
