#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// What automation clients send to the bridge's set topics, read strictly: anything else is
// refused with a reason and nothing is sent to a bus for it.
namespace bridge {

enum class ChannelAction { On, Off, Toggle, Jog, DelayOn, DelayOff };

// A channel's set topic: ON, OFF, TOGGLE, or {"jog": S}, {"delay_on": S}, {"delay_off": S}
// with S in seconds, 0.1..6553.5 in steps of 0.1.
struct ChannelCommand
{
    ChannelAction action = ChannelAction::On;
    int tenths = 0; // the timed actions' time in 0.1 s
};

enum class ModuleAction { AllOn, AllOff, Mask };

// A module's set topic: {"all": "ON"}, {"all": "OFF"}, {"mask": "10100000"} (channel 1 first,
// one digit per channel of the model, or eight).
struct ModuleCommand
{
    ModuleAction action = ModuleAction::AllOff;
    std::array<bool, 8> mask{};
};

template <typename Command> struct Parsed
{
    std::optional<Command> command;
    QString reason; // why the payload is refused
};

Parsed<ChannelCommand> ParseChannelPayload(const QByteArray &payload);
Parsed<ModuleCommand> ParseModulePayload(const QByteArray &payload, int channelCount);

// A payload as it may be quoted back in an error message: UTF-8 text as it is, else its bytes
// in hex; at most 256 characters.
QString QuotedPayload(const QByteArray &payload);

} // namespace bridge
