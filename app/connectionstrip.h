#pragma once

#include "serial/linedevice.h"
#include "serial/portenumerator.h"
#include "serial/portwatch.h"

#include <QObject>

class Form1;
class QComboBox;

namespace app {
// The rate lists (the PC's, the new module rate's, the default one) carry each entry's rate, so
// that a rate is chosen and read by its value.
void LabelRates(QComboBox *list);
// The chosen entry's rate; 0 when none is chosen.
qint32 ChosenRate(const QComboBox *list);
// Chooses the entry of rate (its handler runs); false when the list has none.
bool ChooseRate(QComboBox *list, qint32 rate);
} // namespace app

// The connection strip: the port list Combo2, the open/close button Command2, the PC baud list
// Combo3, the port-state lamp Shape1 and label Label2, and what happens when ports come and go or
// the open port fails.
class ConnectionStrip : public QObject
{
    Q_OBJECT
public:
    explicit ConnectionStrip(Form1 &form);

    void Command2_Click();
    void Combo3_Click();
    // Fills Combo2 with the ports found, in order; returns the listing.
    serial::PortListing FillPortList();
    // The outcome of the hot-plug watch once the number of ports changed.
    void ApplyWatchUpdate(const serial::WatchUpdate &update);
    // The open port failed (adapter pulled, line gone): the port is closed already.
    void PortFailed(const serial::LineFailure &failure);
    // A network port could not be connected: shown as an open that failed.
    void ConnectFailed(const serial::LineFailure &failure);
    // Closed and open looks of the connection strip and status line.
    void ShowPortClosed();
    void ShowPortOpen();

private:
    Form1 &f;
    // The port is open or connecting at the user's word: the button closes it.
    bool m_portUp = false;
};
