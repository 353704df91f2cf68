#pragma once

#include "protocol/requests.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace protocol {

// The channel switches a window has: one per channel of the largest model.
inline constexpr int SwitchCount = 8;

// Everything the reply interpreter needs to know about the window when a reply has been read.
struct ReplyContext
{
    // The kind of the most recent request; none before the first one.
    std::optional<RequestKind> kind;
    // Channels of the chosen model (4 or 8; 0 before the first choice).
    int channelCount = 0;
    // An address scan is running: every reply adds its byte 4 to the address list.
    bool scanRunning = false;
    // The frame the reply answers (the last one sent).
    QByteArray sentFrame;
    // The baud code a set-rate request asked for, which the PC side follows after its echo.
    std::optional<int> newBaudCode;
};

struct SwitchMove
{
    int index = 0;
    bool on = false;
    friend bool operator==(const SwitchMove &, const SwitchMove &) = default;
};

struct ReplyMessage
{
    QString text;
    QString title;
    friend bool operator==(const ReplyMessage &, const ReplyMessage &) = default;
};

// What the window does with one reply, in this order: show receivedText in the received box;
// append scanAddress to the address list and select the list's first entry; replace the
// address list by the single entry onlyAddress and select it; set the address box's text to
// addressText; move the switches quietly (no request is sent); select the rate of baudCode in
// the PC baud list; show message (information icon). Every field but receivedText may be empty.
struct ReplyActions
{
    QString receivedText;
    std::optional<QString> scanAddress;
    std::optional<QString> onlyAddress;
    std::optional<QString> addressText;
    std::vector<SwitchMove> switches;
    std::optional<int> baudCode;
    std::optional<ReplyMessage> message;
};

// Interprets all bytes read after a request as one reply. Nothing is checked (no CRC, address
// or function code); the reply is read by position in the light of the request kind. A reply
// too short for a position the interpretation needs, or naming a channel without a switch,
// ends the interpretation there: whatever was decided before that point stays, nothing after
// it happens.
ReplyActions InterpretReply(const QByteArray &reply, const ReplyContext &context);

// Whether the bytes received since a reply's first byte are exactly one well-formed answer to
// the request last sent (recorded as kind), so that the reply can be read at once instead of at
// the end of its window: the answer that request gets or the exception answer to its function,
// from the address it went to (any address for the probe and the scan), its CRC right, nothing
// before or after it. Anything else (not all there yet, a wrong CRC, another address or
// function, an echo that differs, a request whose answer has no fixed form) is not whole.
bool ReplyIsWhole(RequestKind kind, const QByteArray &request, const QByteArray &received);

// The switch positions a relay state value stands for: channel d (1..channelCount) is on
// exactly when bit d-1 of value is 1. channelCount is capped at the switch count.
std::vector<SwitchMove> StateSwitches(std::uint16_t value, int channelCount);

} // namespace protocol
