#include "protocol/panel.h"

#include "protocol/address.h"
#include "protocol/timebox.h"

#include <algorithm>

namespace protocol {

namespace {

using Outcome = PanelDecision::Outcome;

std::optional<TimedAction> timedActionOf(PanelCommand command)
{
    switch (command) {
    case PanelCommand::Jog:
    case PanelCommand::AllJog:
        return TimedAction::Jog;
    case PanelCommand::DelayedOn:
    case PanelCommand::AllDelayedOn:
        return TimedAction::DelayedOn;
    case PanelCommand::DelayedOff:
    case PanelCommand::AllDelayedOff:
        return TimedAction::DelayedOff;
    default:
        return std::nullopt;
    }
}

bool isAllChannel(PanelCommand command)
{
    return command == PanelCommand::AllJog || command == PanelCommand::AllDelayedOn ||
           command == PanelCommand::AllDelayedOff;
}

std::vector<SwitchMove> allSwitches(int channelCount, bool on)
{
    std::vector<SwitchMove> moves;
    for (int k = 0; k < std::clamp(channelCount, 0, SwitchCount); ++k)
        moves.push_back({k, on});
    return moves;
}

} // namespace

RequestKind KindOfCommand(PanelCommand command)
{
    using K = RequestKind;
    switch (command) {
    case PanelCommand::SwitchOn:
        return K::Connect;
    case PanelCommand::SwitchOff:
        return K::DisConnect;
    case PanelCommand::Jog:
    case PanelCommand::AllJog:
    case PanelCommand::DelayedOn:
        return K::Connect1;
    case PanelCommand::DelayedOff:
        return K::DisConnect1;
    case PanelCommand::AllOn:
    case PanelCommand::AllDelayedOn:
        return K::AllConnect;
    case PanelCommand::AllOff:
    case PanelCommand::AllDelayedOff:
        return K::AllDisConnect;
    case PanelCommand::Mask:
        return K::Connect2;
    case PanelCommand::ReadState:
        return K::State;
    }
    return K::State;
}

PanelDecision DecideCommand(PanelCommand command, const PanelInputs &in)
{
    PanelDecision decision;

    if (!in.portOpen) {
        // All on and all off with the port closed do nothing and say nothing; every other
        // command says so as its kind does.
        const bool silent = command == PanelCommand::AllOn || command == PanelCommand::AllOff;
        if (!silent && RuleOfKind(KindOfCommand(command)).tellsPortClosed)
            decision.outcome = Outcome::PortClosed;
        if (command == PanelCommand::SwitchOn)
            decision.switches.push_back({in.channel, false});
        return decision;
    }
    const auto address = SlaveAddress(in.addressText);
    if (!address)
        return decision;
    if (in.channel < 0 || in.channel >= SwitchCount)
        return decision;
    const auto channel = static_cast<std::uint8_t>(in.channel);

    if (timedActionOf(command)) {
        const auto action = *timedActionOf(command);
        if (isAllChannel(command)) {
            const int count = std::clamp(in.channelCount, 0, SwitchCount);
            const ChannelTimes times = CollectTimes(in.timeTexts, count);
            if (!times.ok()) {
                decision.outcome = Outcome::BadTime;
                decision.badTimeBox = times.firstInvalid;
                return decision;
            }
            decision.request = TimedAllRequest(action, *address, times.times, in.channelCount);
        } else {
            const auto time = in.channel < in.timeTexts.size()
                                  ? TimeField(in.timeTexts.at(in.channel))
                                  : std::nullopt;
            if (!time) {
                decision.outcome = Outcome::BadTime;
                decision.badTimeBox = in.channel;
                return decision;
            }
            decision.request = TimedChannelRequest(action, *address, channel, *time);
        }
    } else {
        switch (command) {
        case PanelCommand::SwitchOn:
        case PanelCommand::SwitchOff:
            decision.request = SwitchRequest(*address, channel, command == PanelCommand::SwitchOn);
            break;
        case PanelCommand::AllOn:
            decision.request = AllOnRequest(*address);
            decision.switches = allSwitches(in.channelCount, true);
            break;
        case PanelCommand::AllOff:
            decision.request = AllOffRequest(*address);
            decision.switches = allSwitches(in.channelCount, false);
            break;
        case PanelCommand::Mask:
            decision.request = MaskRequest(*address, in.checks);
            break;
        case PanelCommand::ReadState:
            decision.request = StateRequest(*address);
            break;
        default:
            return decision;
        }
    }
    decision.outcome = Outcome::Send;
    return decision;
}

bool RowEnabled(int row, int channelCount)
{
    if (channelCount != 4 && channelCount != 8)
        return false;
    return row >= 0 && row < channelCount;
}

} // namespace protocol
