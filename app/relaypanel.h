#pragma once

#include "protocol/panel.h"

#include <QObject>

class Form1;

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
