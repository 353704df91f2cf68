#pragma once

#include "protocol/panel.h"

#include <QObject>

class Form1;
class QComboBox;
class SafeSwitch;

// Moves a channel switch without sending anything: the switch's handler ignores a disabled
// switch, so it is disabled while its value is written, then its enabled state is restored.
void SetSwitchQuietly(::SafeSwitch *s, bool on);

// Writes a request to the window's port and records it: RequestKind takes the request's kind,
// and once the frame is out the sent box shows it. Returns false when nothing could be written.
bool SendRequest(Form1 &form, const protocol::Request &request);

// The sent box shows a frame as hex text.
void ShowSentFrame(Form1 &form, const QByteArray &frame);

// The relay panel: the channel switches, the model choice, the jog, delay and combination pages,
// the state read, the start-up read and the clock. It connects itself to the window's controls.
class RelayPanel : public QObject
{
    Q_OBJECT
public:
    explicit RelayPanel(Form1 &form);

    // Single channels.
    void SafeSwitch_Click(int index);
    void Combo1_Click();
    // Jog and delay per channel.
    void DD_Click(int index);
    void ONQ_Click(int index);
    void OFF_Click(int index);
    // All channels.
    void qzbutton3_Click();
    void qzbutton4_Click();
    void ALLDD_Click();
    void allyanshi_Click();
    void qzbutton12_Click();
    void qzbutton9_Click();
    // State, start-up read and clock.
    void ReadState();
    void sdduqu_Timer();
    void Timer1_Timer();

    // The date and time as the status line shows them.
    static QString ClockText(const QDateTime &now);

private:
    void connectControls();
    void run(protocol::PanelCommand command, int channel = 0);

    Form1 &f;
};
