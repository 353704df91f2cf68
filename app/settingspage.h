#pragma once

#include "link/line.h"

#include <QObject>
#include <QString>
#include <QStringList>

class Form1;

// The system settings page: the default baud rate, port and address, the address-reading mode,
// the model, start at log-on, opening the default port and reading the states at start-up.
// Every change is written to Config.ini at once; a switch's handler runs on every assignment
// of its value, and the switches keep one another consistent through it: "sp" needs "prots",
// "duqu" needs "sp". It also owns the one-shot sheding, which opens the default port after
// start-up.
class SettingsPage : public QObject
{
    Q_OBJECT
public:
    explicit SettingsPage(Form1 &form);

    // Start-up: every system key read back into the page. Each control is assigned as the user
    // would set it, so that its handler runs: the key is rewritten in its normalised form and
    // the main page's lists follow their defaults. The ports are listed first (the connection
    // strip's list), so that the default port can be chosen among them.
    void Restore();

    void bkps_Click();
    void Combo5_Click();
    void prots_Click();
    void Combo6_Click();
    // Fills the default-port list with the ports found (at start-up and on every hot-plug change).
    void ListDefaultPorts(const QStringList &ports);
    void dizhi_Click();
    // An address typed into the default-address box (an AddressBox) is stored.
    void Text4_AddressTyped(const QString &address);
    void Combo9_Click();
    void Combo8_Click();
    void sp_Click();
    void duqu_Click();
    void RUN_Click();
    // The window's language, chosen by the user: kept for the next start.
    void Combo10_Click();
    void Combo11_Click();
    // The entry of the language list for a stored code, and the code of an entry.
    static int LanguagePosition(const QString &stored);
    static QString LanguageCodeAt(int position);
    // The line beside its rate: its format, the pause between requests and the answer wait
    // (0: from the line's rate), as stored; applied to the window's master.
    struct LineChoice
    {
        bus::LineSettings format; // parity and stop bits; the rate is the connection strip's
        int pauseMs = 0;
        int answerWaitMs = 0;
    };
    static constexpr int LongestMs = 10000;
    LineChoice lineChoice() const;
    // Stores and applies choice (an open port takes the format at once); false, with a
    // message, when it could not be stored.
    bool setLineChoice(const LineChoice &choice);
    // Whether the driver of port switches the transceiver's direction (stored per port).
    bool Rs485Set(const QString &port) const;
    bool setRs485(const QString &port, bool on);

    // Opens the default port when it is the one selected, then arms the start-up read.
    void sheding_Timer();

private:
    void connectControls();
    // One key of the system section: read (the default when missing), and written (a failed
    // write leaves the page as it is).
    QString read(const QString &key, const QString &defaultValue) const;
    void write(const QString &key, const QString &value);
    // The stored default port chosen in the default-port list.
    void showDefaultPort(const QString &name);
    void applyLineChoice(const LineChoice &choice);

    Form1 &f;
};
