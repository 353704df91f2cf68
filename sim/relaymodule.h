#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

namespace sim {

// Time on the virtual line: microseconds since an arbitrary start. The model never reads a
// clock itself; the front ends pass the time in, and the tests pass whatever they like.
using Micros = std::chrono::microseconds;

// Faults a virtual module can be given on purpose, so a module test can be tried without a
// broken module at hand.
struct Faults
{
    int stuckRelay = 0;   // 1-based: this relay never switches (0: none)
    int slowMs = 0;       // every answer this much later
    double dropShare = 0; // this share (0..1) of the requests is ignored as if never heard
    int timingMs = 0;     // timed functions run this much longer (or shorter, when negative)

    friend bool operator==(const Faults &, const Faults &) = default;
};

// What a module is made as and how it is set up when it comes out of the box.
// How a module frames its characters beyond the rate: its parity ('N', 'E' or 'O') and stop
// bits; always eight data bits.
struct CharacterFormat
{
    char parity = 'N';
    int stopBits = 1;
    friend bool operator==(const CharacterFormat &, const CharacterFormat &) = default;
};

struct ModuleConfig
{
    std::uint8_t address = 1;
    int baudCode = 5; // position in the baud list, 5 = 9600
    int relayCount = 8;
    Faults faults{};
    CharacterFormat format{}; // 8N1 unless set otherwise

    friend bool operator==(const ModuleConfig &, const ModuleConfig &) = default;
};

// The model names the modules are sold under, and their relay counts.
QString ModelName(int relayCount);
std::optional<int> RelayCountOfModel(const QString &modelName);

// Reads "ADDR[:MODEL[:BAUD[:FORMAT]]][:FAULT]..." as the command line gives it: "3",
// "200:QV-04", "7:QV-08:19200", "3:QV-08:9600:8E1", "3:QV-08:9600:stuck=5". The format is 8N1
// (default), 8E1, 8O1 or 8N2: a module hears only a master at its rate and format. The address
// is 1..255, the model "QV-04" or "QV-08" (default "QV-08"), the baud a rate of the baud list
// (default 9600). A fault is "stuck=N" (relay N never switches), "slow=MS" (answers MS late),
// "drop=P%" (ignores P percent of the requests) or "timing=+MS" / "timing=-MS" (timed functions off
// by MS). None for anything else.
std::optional<ModuleConfig> ParseModuleOption(const QString &text);

// How one stretch of bytes on the line reads.
enum class FrameKind {
    Probe,   // the fixed address probe 24 FF 03 A0 00 C6
    Rtu,     // a MODBUS RTU frame with a correct CRC
    Text,    // a text command ending in LF
    Garbage, // anything else: dropped by every module
};

struct FrameCut
{
    FrameKind kind;
    qsizetype length;
};

// The first frame in bytes heard back to back, or none while more bytes are needed to tell.
// A frame of unknown length (a function this module type does not know) is only ended by
// silence on the line: see FrameAtSilence.
std::optional<FrameCut> NextFrame(QByteArrayView bytes);
// What bytes left over when the line went quiet are: a whole RTU frame when their CRC is
// right, else garbage.
FrameKind FrameAtSilence(QByteArrayView bytes);

// One relay module: its address, baud code, relays and the timers of its timed functions.
// Bytes in, bytes out; time is passed in.
class RelayModule
{
public:
    static constexpr int CoilCount = 16;
    static constexpr int MaxRelays = 8;

    explicit RelayModule(const ModuleConfig &config = {});

    std::uint8_t address() const { return m_address; }
    int baudCode() const { return m_baudCode; }
    qint32 baudRate() const;
    CharacterFormat format() const { return m_format; }
    int relayCount() const { return m_relayCount; }
    const Faults &faults() const { return m_faults; }
    QString modelName() const { return ModelName(m_relayCount); }

    // Relay index 0..relayCount-1 (relay 1 is index 0).
    bool relay(int index) const;
    // Relay k+1 in bit k.
    std::uint16_t relayBits() const;
    void setRelay(int index, bool on);
    // Whether a timed function is still running on the relay.
    bool timerRunning(int index) const;

    // Works out what the module makes of one frame heard on the line at now, and returns its
    // answer (empty: the module stays silent). Timers that ran out before now are run first.
    // A new address or baud code takes effect only with answerSent(), since the answer still
    // goes out under the old ones; a broadcast change, never answered, takes effect at once.
    QByteArray hear(FrameKind kind, QByteArrayView frame, Micros now);
    // The last answer has left the module.
    void answerSent();

    // Runs every timer that ran out by now.
    void advance(Micros now);
    // When the next timer runs out, if one runs.
    std::optional<Micros> nextDeadline() const;

private:
    struct Timer
    {
        Micros due;
        bool switchOn;
    };

    QByteArray hearRtu(QByteArrayView frame, Micros now);
    QByteArray hearText(QByteArrayView frame, Micros now);
    QByteArray exception(std::uint8_t function, std::uint8_t code) const;
    void startTimer(int index, std::uint16_t tenths, bool switchOn, Micros now);
    void switchRelay(int index, bool on);

    std::uint8_t m_address;
    int m_baudCode;
    CharacterFormat m_format;
    int m_relayCount;
    std::array<bool, MaxRelays> m_relays{};
    std::array<std::optional<Timer>, MaxRelays> m_timers{};
    std::optional<std::uint8_t> m_pendingAddress;
    std::optional<int> m_pendingBaudCode;
    Faults m_faults;
    std::uint32_t m_dropState = 0x2545F491; // the drop fault's own generator, the same every run
};

} // namespace sim
