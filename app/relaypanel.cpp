#include "app/relaypanel.h"

#include "app/mainwindow.h"
#include "app/replies.h"
#include "app/timeboxes.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "protocol/timebox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

using protocol::PanelCommand;
using Outcome = protocol::PanelDecision::Outcome;

RelayPanel::RelayPanel(Form1 &form) : QObject(&form), f(form)
{
    // Each model entry carries its channel count: what a caption says never decides it.
    for (int i = 0; i < f.Combo1->count(); ++i)
        f.Combo1->setItemData(i, protocol::ChannelCountOfModel(f.Combo1->itemText(i)));
    connectControls();
}

void RelayPanel::connectControls()
{
    for (int i = 0; i < 8; ++i) {
        connect(f.SafeSwitch[i], &::SafeSwitch::Click, this, [this, i] { SafeSwitch_Click(i); });
        connect(f.DD[i], &QzButton::Click, this, [this, i] { DD_Click(i); });
        connect(f.ONQ[i], &QzButton::Click, this, [this, i] { ONQ_Click(i); });
        connect(f.OFF[i], &QzButton::Click, this, [this, i] { OFF_Click(i); });
    }
    connect(f.Combo1, &QComboBox::currentIndexChanged, this, &RelayPanel::Combo1_Click);
    connect(f.qzbutton3, &QzButton::Click, this, &RelayPanel::qzbutton3_Click);
    connect(f.qzbutton4, &QzButton::Click, this, &RelayPanel::qzbutton4_Click);
    connect(f.ALLDD, &QzButton::Click, this, &RelayPanel::ALLDD_Click);
    connect(f.allyanshi, &QzButton::Click, this, &RelayPanel::allyanshi_Click);
    connect(f.qzbutton12, &QzButton::Click, this, &RelayPanel::qzbutton12_Click);
    connect(f.qzbutton9, &QzButton::Click, this, &RelayPanel::qzbutton9_Click);
    connect(f.Readzt, &QzButton::Click, this, &RelayPanel::ReadState);
    connect(&f.sdduqu, &QTimer::timeout, this, &RelayPanel::sdduqu_Timer);
    connect(&f.Timer1, &QTimer::timeout, this, &RelayPanel::Timer1_Timer);
}

// Every command of the panel: gather the inputs it reads, decide, then act on the decision.
void RelayPanel::run(PanelCommand command, int channel)
{
    const bool delayTimes =
        command == PanelCommand::DelayedOn || command == PanelCommand::DelayedOff ||
        command == PanelCommand::AllDelayedOn || command == PanelCommand::AllDelayedOff;
    const auto &timeBoxes = delayTimes ? f.TM : f.DDT;

    protocol::PanelInputs in;
    in.portOpen = f.MSComm1.isOpen();
    in.addressText = f.Text1->currentText();
    in.channelCount = f.ChannelCount;
    in.channel = channel;
    for (QComboBox *box : timeBoxes)
        in.timeTexts << box->currentText();
    for (int k = 0; k < 8; ++k)
        in.checks[std::size_t(k)] = f.ChkTD[k]->checkState() == Qt::Checked;

    const protocol::PanelDecision d = protocol::DecideCommand(command, in);
    switch (d.outcome) {
    case Outcome::PortClosed:
        TellPortClosed(f, protocol::KindOfCommand(command));
        break;
    case Outcome::BadTime:
        f.messages().inform(app::Message::Icon::Error, protocol::TimeRangeMessage,
                            protocol::TimeRangeTitle);
        if (d.badTimeBox >= 0 && d.badTimeBox < 8)
            timeBoxes[std::size_t(d.badTimeBox)]->setFocus();
        break;
    case Outcome::Silent:
        break;
    case Outcome::Send:
        if (command == PanelCommand::SwitchOn)
            f.SafeSwitch[channel]->setFocus();
        // The send path clears the received box for the kinds that clear it.
        if (!SendRequest(f, *d.request)) {
            // Nothing went out (the module test holds the port): a switch turned on goes back
            // off, as on a closed port (the module test ends with every relay off).
            if (command == PanelCommand::SwitchOn)
                SetSwitchQuietly(f.SafeSwitch[channel], false);
            return;
        }
        break;
    }
    for (const protocol::SwitchMove &m : d.switches)
        SetSwitchQuietly(f.SafeSwitch[m.index], m.on);
}

void RelayPanel::SafeSwitch_Click(int index)
{
    ::SafeSwitch *s = f.SafeSwitch[index];
    if (!s->Enable())
        return;
    if (s->value())
        run(PanelCommand::SwitchOn, index);
    // Read again: the switch is off now when the user turned it off, and also when turning it
    // on found the port closed (then nothing more is sent or said).
    if (!s->value())
        run(PanelCommand::SwitchOff, index);
}

void RelayPanel::Combo1_Click()
{
    f.ChannelCount = f.Combo1->currentData().toInt();
    for (int i = 0; i < 8; ++i) {
        const bool on = protocol::RowEnabled(i, f.ChannelCount);
        f.SafeSwitch[i]->setEnable(on);
        for (QWidget *w : {static_cast<QWidget *>(f.ChkTD[i]), static_cast<QWidget *>(f.TM[i]),
                           static_cast<QWidget *>(f.ht[i]), static_cast<QWidget *>(f.ONQ[i]),
                           static_cast<QWidget *>(f.OFF[i]), static_cast<QWidget *>(f.DDT[i]),
                           static_cast<QWidget *>(f.DDM[i]), static_cast<QWidget *>(f.DD[i])})
            w->setEnabled(on);
    }
}

void RelayPanel::DD_Click(int index)
{
    run(PanelCommand::Jog, index);
}

void RelayPanel::ONQ_Click(int index)
{
    run(PanelCommand::DelayedOn, index);
}

void RelayPanel::OFF_Click(int index)
{
    run(PanelCommand::DelayedOff, index);
}

void RelayPanel::qzbutton3_Click()
{
    run(PanelCommand::AllOn);
}

void RelayPanel::qzbutton4_Click()
{
    run(PanelCommand::AllOff);
}

void RelayPanel::ALLDD_Click()
{
    run(PanelCommand::AllJog);
}

void RelayPanel::allyanshi_Click()
{
    run(PanelCommand::AllDelayedOn);
}

void RelayPanel::qzbutton12_Click()
{
    run(PanelCommand::AllDelayedOff);
}

void RelayPanel::qzbutton9_Click()
{
    run(PanelCommand::Mask);
}

void RelayPanel::ReadState()
{
    run(PanelCommand::ReadState);
}

void RelayPanel::sdduqu_Timer()
{
    f.sdduqu.stop();
    if (f.duqu->value())
        ReadState();
}

QString RelayPanel::ClockText(const QDateTime &now)
{
    const QLocale locale;
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           now.time().toString(QStringLiteral("HH:mm:ss"));
}

void RelayPanel::Timer1_Timer()
{
    f.Label3->setText(ClockText(QDateTime::currentDateTime()));
}
