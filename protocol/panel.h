#pragma once

#include "protocol/reply.h"
#include "protocol/requests.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace protocol {

inline const QString PortClosedMessage = QT_TRANSLATE_NOOP("Messages", "串口未打开");

// The commands of the relay panel's buttons and switches.
enum class PanelCommand {
    SwitchOn,      // SafeSwitch(i) turned on
    SwitchOff,     // SafeSwitch(i) turned off
    Jog,           // DD(i), time from DDT(i)
    DelayedOn,     // ONQ(i), time from TM(i)
    DelayedOff,    // OFF(i), time from TM(i)
    AllOn,         // qzbutton3
    AllOff,        // qzbutton4
    AllJog,        // ALLDD, times from DDT(0..N-1)
    AllDelayedOn,  // allyanshi, times from TM(0..N-1)
    AllDelayedOff, // qzbutton12, times from TM(0..N-1)
    Mask,          // qzbutton9, mask from ChkTD(0..7)
    ReadState,     // Readzt
};

// The kind of request a command sends: its rules (RuleOfKind) say whether a closed port is told
// and whether the received box is cleared.
RequestKind KindOfCommand(PanelCommand command);

// What the panel knows when a command is given.
struct PanelInputs
{
    bool portOpen = false;
    QString addressText;          // Text1
    int channelCount = 0;         // from the model choice
    int channel = 0;              // the index of the switch or button pressed
    QStringList timeTexts;        // the eight texts of TM or DDT, whichever the command reads
    std::array<bool, 8> checks{}; // ChkTD(0..7) ticked
};

struct PanelDecision
{
    enum class Outcome {
        Send,       // send request (the send path clears the received box as its kind says)
        PortClosed, // show PortClosedMessage (error icon); nothing sent
        Silent,     // nothing sent, nothing said
        BadTime,    // show TimeRangeMessage, focus the time box badTimeBox; nothing sent
    };
    Outcome outcome = Outcome::Silent;
    std::optional<Request> request;
    int badTimeBox = -1;
    // Switches to move quietly after the outcome: back off when switching on finds the port
    // closed; all of the model's channels after an all-on or all-off is sent.
    std::vector<SwitchMove> switches;
};

// The order of checks every command follows: the port, the address, the time boxes; then the
// request. Nothing is sent when any check fails.
PanelDecision DecideCommand(PanelCommand command, const PanelInputs &in);

// The model choice enables the rows 0..channelCount-1 on every page (4 or 8); any other count
// leaves every row disabled.
bool RowEnabled(int row, int channelCount);

} // namespace protocol
