#include "protocol/requests.h"

#include "modbus/crc.h"
#include "modbus/frames.h"

#include <initializer_list>

namespace protocol {

KindRule RuleOfKind(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Connect:
    case RequestKind::Connect1:
    case RequestKind::DisConnect1:
    case RequestKind::AllConnect:
    case RequestKind::AllDisConnect:
    case RequestKind::ReadRate:
        return {false, true, true};
    case RequestKind::SetRate:
        return {true, true, false};
    case RequestKind::Address:
    case RequestKind::SetAddress:
        return {true, false, false};
    case RequestKind::Address1:
        return {false, false, true};
    // Switching a channel off keeps what the received box shows.
    case RequestKind::DisConnect:
    case RequestKind::Connect2:
    case RequestKind::State:
        return {false, false, false};
    }
    return {};
}

namespace {

constexpr std::array<const char *, 13> kindTexts = {
    "Connect", "DisConnect", "Connect1", "DisConnect1", "AllConnect", "AllDisConnect", "Connect2",
    "State",   "Address",    "Address1", "SetAddress",  "SetRate",    "ReadRate",
};

// The bytes given, two CRC bytes after them, the CRC filled in.
QByteArray withCrc(std::initializer_list<std::uint8_t> bytes)
{
    QByteArray frame;
    frame.reserve(qsizetype(bytes.size()) + 2);
    for (const std::uint8_t b : bytes)
        frame.append(static_cast<char>(b));
    frame.append(2, '\0');
    modbus::AppendCrc(frame);
    return frame;
}

std::uint8_t channelFunction(TimedAction action)
{
    switch (action) {
    case TimedAction::DelayedOn:
        return 0x30;
    case TimedAction::DelayedOff:
        return 0x32;
    case TimedAction::Jog:
        return 0x34;
    }
    return 0x30;
}

RequestKind channelKind(TimedAction action)
{
    return action == TimedAction::DelayedOff ? RequestKind::DisConnect1 : RequestKind::Connect1;
}

RequestKind allKind(TimedAction action)
{
    switch (action) {
    case TimedAction::DelayedOn:
        return RequestKind::AllConnect;
    case TimedAction::DelayedOff:
        return RequestKind::AllDisConnect;
    case TimedAction::Jog:
        return RequestKind::Connect1;
    }
    return RequestKind::AllConnect;
}

} // namespace

QString RequestKindText(RequestKind kind)
{
    return QString::fromLatin1(kindTexts[static_cast<std::size_t>(kind)]);
}

std::optional<RequestKind> RequestKindFromText(const QString &text)
{
    for (std::size_t i = 0; i < kindTexts.size(); ++i) {
        if (text == QLatin1String(kindTexts[i]))
            return static_cast<RequestKind>(i);
    }
    return std::nullopt;
}

int ChannelCountOfModel(const QString &modelText)
{
    if (modelText.isEmpty() || !modelText.back().isDigit())
        return 0;
    return modelText.back().digitValue();
}

Request SwitchRequest(std::uint8_t address, std::uint8_t channel, bool on)
{
    return {on ? RequestKind::Connect : RequestKind::DisConnect,
            withCrc({address, 0x05, 0x00, channel, std::uint8_t(on ? 0xFF : 0x00), 0x00})};
}

Request TimedChannelRequest(TimedAction action, std::uint8_t address, std::uint8_t channel,
                            TimeBytes time)
{
    return {channelKind(action),
            withCrc({address, channelFunction(action), 0xF0, channel, time.high, time.low})};
}

Request TimedAllRequest(TimedAction action, std::uint8_t address, std::span<const TimeBytes> times,
                        int channelCount)
{
    const int pairs = channelCount == 8 ? 8 : 4;
    QByteArray frame(4 + 2 * pairs + 2, '\0');
    frame[0] = static_cast<char>(address);
    frame[1] = static_cast<char>(channelFunction(action) + 1);
    frame[2] = static_cast<char>(0xF0);
    frame[3] = 0x00;
    for (int k = 0; k < pairs && k < channelCount && std::size_t(k) < times.size(); ++k) {
        frame[4 + 2 * k] = static_cast<char>(times[std::size_t(k)].high);
        frame[5 + 2 * k] = static_cast<char>(times[std::size_t(k)].low);
    }
    modbus::AppendCrc(frame);
    return {allKind(action), frame};
}

Request AllOnRequest(std::uint8_t address)
{
    return {RequestKind::AllConnect,
            withCrc({address, 0x0F, 0x00, 0x00, 0x00, 0x10, 0x02, 0xFF, 0xFF})};
}

Request AllOffRequest(std::uint8_t address)
{
    return {RequestKind::AllDisConnect,
            withCrc({address, 0x0F, 0x00, 0x00, 0x00, 0x10, 0x02, 0x00, 0x00})};
}

std::uint8_t ChannelMask(const std::array<bool, 8> &ticked)
{
    // One digit per box, channel 1 rightmost, read as a binary number.
    QString digits;
    for (auto it = ticked.rbegin(); it != ticked.rend(); ++it)
        digits += QLatin1Char(*it ? '1' : '0');
    return static_cast<std::uint8_t>(B2D(digits));
}

Request MaskRequest(std::uint8_t address, const std::array<bool, 8> &ticked)
{
    return {RequestKind::Connect2,
            withCrc({address, 0x0F, 0x00, 0x00, 0x00, 0x10, 0x02, ChannelMask(ticked), 0x00})};
}

Request StateRequest(std::uint8_t address)
{
    return {RequestKind::State, withCrc({address, 0x03, 0x00, 0x00, 0x00, 0x01})};
}

Request AddressProbe()
{
    return {RequestKind::Address, modbus::ProbeFrame()};
}

Request ScanRequest(std::uint8_t n)
{
    return {RequestKind::Address1, withCrc({n, 0x03, 0x01, 0x00, 0x00, 0x01})};
}

Request SetAddressRequest(std::uint8_t address, std::uint8_t newAddress)
{
    return {RequestKind::SetAddress, withCrc({address, 0x06, 0x01, 0x00, 0x00, newAddress})};
}

Request SetRateRequest(std::uint8_t address, std::uint8_t baudCode)
{
    return {RequestKind::SetRate, withCrc({address, 0x06, 0x02, 0x00, 0x00, baudCode})};
}

Request ReadRateRequest(std::uint8_t address)
{
    return {RequestKind::ReadRate, withCrc({address, 0x03, 0x02, 0x00, 0x00, 0x01})};
}

} // namespace protocol
