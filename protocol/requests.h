#pragma once

#include "protocol/hexcodec.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace protocol {

// What the last request asked for; the reply interpreter reads the next reply in its light.
// The enumerators are spelled as the texts they stand for (see RequestKindText).
enum class RequestKind {
    Connect,
    DisConnect,
    Connect1,
    DisConnect1,
    AllConnect,
    AllDisConnect,
    Connect2,
    State,
    Address,
    Address1,
    SetAddress,
    SetRate,
    ReadRate,
};

QString RequestKindText(RequestKind kind);
std::optional<RequestKind> RequestKindFromText(const QString &text);

// How the window treats a request of a kind around its frame. The one table of these rules.
struct KindRule
{
    bool routesToInterpreter = false; // its reply is interpreted even on the console's page
    bool clearsReceived = false;      // the received box is emptied once the request is out
    bool tellsPortClosed = false;     // refused (port closed, module test) with a message
};
KindRule RuleOfKind(RequestKind kind);

// A frame ready for the wire, CRC included, and the kind to record when it is sent.
struct Request
{
    RequestKind kind;
    QByteArray frame;
};

// The timed relay functions: the module switches when the time runs out.
enum class TimedAction {
    DelayedOn,  // "延时吸合"
    DelayedOff, // "延时关闭"
    Jog,        // "点动吸合": on now, off after the time
};

// The number of relay channels of a model entry: the digit its text ends with ("QV-08" -> 8);
// 0 when the text does not end in a digit.
int ChannelCountOfModel(const QString &modelText);

// Channel i (0-based) on or off: function 05 on coil i. "Connect" / "DisConnect".
Request SwitchRequest(std::uint8_t address, std::uint8_t channel, bool on);

// One channel switched after a time: functions 0x30 (delayed on, "Connect1"),
// 0x32 (delayed off, "DisConnect1") and 0x34 (jog, "Connect1").
Request TimedChannelRequest(TimedAction action, std::uint8_t address, std::uint8_t channel,
                            TimeBytes time);

// Every channel switched after its own time: functions 0x31 ("AllConnect"), 0x33
// ("AllDisConnect") and 0x35 ("Connect1"). The frame holds eight time pairs for an
// eight-channel model and four otherwise; times[k] fills pair k for k below channelCount.
Request TimedAllRequest(TimedAction action, std::uint8_t address, std::span<const TimeBytes> times,
                        int channelCount);

// Sixteen coils at once (function 0F): all on, all off ("AllConnect" / "AllDisConnect").
Request AllOnRequest(std::uint8_t address);
Request AllOffRequest(std::uint8_t address);

// Channels 1..8 set from eight check boxes (ticked: on; unticked or greyed: off), channel 1
// in bit 0 ("Connect2").
std::uint8_t ChannelMask(const std::array<bool, 8> &ticked);
Request MaskRequest(std::uint8_t address, const std::array<bool, 8> &ticked);

// The relay bitmap, holding register 0x0000 ("State").
Request StateRequest(std::uint8_t address);

// The fixed probe every module answers with its own address ("Address"); no CRC computed.
Request AddressProbe();

// One step of the bus scan: holding register 0x0100 of address n ("Address1").
Request ScanRequest(std::uint8_t n);

// New slave address, holding register 0x0100 ("SetAddress").
Request SetAddressRequest(std::uint8_t address, std::uint8_t newAddress);

// New baud code 0..11, holding register 0x0200 ("SetRate").
Request SetRateRequest(std::uint8_t address, std::uint8_t baudCode);

// The module's baud code, holding register 0x0200 ("ReadRate").
Request ReadRateRequest(std::uint8_t address);

} // namespace protocol
