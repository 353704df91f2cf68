#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <optional>

class Form1;

// The module configuration: reading a module's address (one module on the line, or a scan of
// the bus), the link mode, writing a new address or baud rate into the module, reading its baud
// code, and searching the baud rate a module answers at. It connects itself to the window's
// controls and timers.
class ModuleConfig : public QObject
{
    Q_OBJECT
public:
    explicit ModuleConfig(Form1 &form);

    // "读取": the module's address over RS232, or a scan of the bus.
    void Command1_Click();
    // The link mode: RS232 fills the address list with 1..255.
    void Combo7_Click();
    // "设置" beside the new address (the new-address box is an AddressBox).
    void Command3_Click();
    // "设置" beside the new baud rate.
    void qzbutton1_Click();
    // Reads the module's baud code (the window has no reachable button for it).
    void qzbutton2_Click();
    // The address scan: one step per tick.
    void Timer5_Timer();
    // Starts the scan without touching the labels' visibility (no visible button).
    void Command9_Click();
    // "搜索模块": the baud-rate search, its probe step and its check.
    void qzbutton10_Click();
    void Timer3_Timer();
    void readBT_Timer();

    // Whether the link mode is RS232 (the first entry chosen and shown, not a typed text).
    bool Rs232Mode() const { return m_rs232; }

    // The baud code chosen as the module's new rate; none while no entry is chosen.
    std::optional<int> NewBaudCode() const;

    // A scan found a module (its address as the reply gives it): listed, the list's first
    // entry shown.
    void AddressFound(const QString &address);
    // A module named its address: the list holds it alone.
    void OnlyAddress(const QString &address);

    // The bus scan runs while it has a next address to ask (1..255; 0: no scan). Label18 shows
    // that address.
    bool ScanRunning() const { return m_scanNext != 0; }
    void setScanNext(int address);

private:
    void connectControls();
    void updateLinkMode();
    void startScan();
    // Ends the scan, however it stopped: the counter at 0 and hidden, the count shown.
    void finishScan();
    // Ends the baud search without a find: the open port back on the rate the list shows.
    void endSearchUnfound();

    Form1 &f;
    bool m_rs232 = true;
    // The addresses the scan under way (or the last one) found, as the address list shows them.
    QStringList m_found;
    int m_scanNext = 0;
    // When the last scan request went out, and at what rate.
    QElapsedTimer m_sinceScanRequest;
    qint32 m_scanRate = 0;
    // When the last search probe went out, at what rate, and whether a reply has been read
    // since (the received box shows it).
    QElapsedTimer m_sinceProbe;
    qint32 m_probeRate = 0;
    bool m_probeAnswered = false;
};
