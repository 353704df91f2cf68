#pragma once

#include "linecheck/readings.h"

#include <QList>
#include <QString>
#include <QVariantMap>

namespace linecheck {

enum class Level {
    Pass,
    Warning,
    Fault,
    Skipped,      // not checked: what it needs was not reached (the port did not open, ...)
    NotAvailable, // this system has no such interface (Windows)
};

// The checks, in the order they are shown.
enum class Check {
    Port,     // exists, may be opened
    Holders,  // other programs holding it
    Adapter,  // USB vendor, product, driver
    Latency,  // the FTDI latency timer
    Echo,     // the adapter hears itself
    Counters, // the driver's framing, parity, overrun and break counters
    Idle,     // bytes when nobody asked
    Module,   // found at which rate and format
    Times,    // answer times
    Errors,   // garbled answers and silences over the reads
};

// What to do about a finding.
enum class Hint {
    None,
    NoSuchPort,       // plug the adapter in, check the name
    Dialout,          // add the account to the device's group
    StopModemManager, // systemctl stop/disable ModemManager
    StopBrltty,       // remove or stop brltty
    CloseHolder,      // close the program named
    LatencyRule,      // the udev rule that sets the latency timer to 1 ms
    EchoDrop,         // the echo is taken off; setting it to drop saves the learning
    FormatMismatch,   // framing/parity errors: rate or format differ, or noise
    Overrun,          // the system does not read fast enough
    LineBreak,        // the line held low: A/B swapped, no bias, bus unpowered
    SecondTalker,     // another master or a babbling module
    Noise,            // shielding, ground, bias, termination
    SwapAB,           // every answer garbled: A/B swapped or no bias
    Termination,      // errors growing with the rate
    NoModule,         // power, wiring, address, a rate outside the list
    SlowAnswers,      // answers later than the line needs
    Silences,         // answers missing: another master, address shared, power
};

struct Finding
{
    Check check = Check::Port;
    Level level = Level::Pass;
    Hint hint = Hint::None;
    // The figures behind it by name ("bytes", "rate", "median_ms", ...), for the wording and the
    // JSON output.
    QVariantMap values;

    // One figure as the wordings show it: as text, as a whole number, as ms with one decimal.
    QString text(const char *key) const { return values.value(QLatin1String(key)).toString(); }
    int number(const char *key) const { return values.value(QLatin1String(key)).toInt(); }
    QString ms(const char *key) const
    {
        return QString::number(values.value(QLatin1String(key)).toDouble(), 'f', 1);
    }
};

// The findings from the readings, one per check, in Check order.
QList<Finding> Judge(const Readings &readings);

// The worst level of the findings (Pass when none is worse); Skipped and NotAvailable count as
// Pass.
Level Worst(const QList<Finding> &findings);

// How many whole MODBUS frames (a right CRC) stand in bytes, none overlapping: heard while nobody
// asked, they are another talker's.
int WholeFrames(const QByteArray &bytes);

// The share of garbled answers and silences by which a run of reads is a fault.
inline constexpr double FaultShare = 0.05;
// The time an answer may take beyond the line's own before it counts as slow.
inline constexpr double SlowMarginMs = 20;

// The statistics of the answer times.
struct TimeFigures
{
    double minimum = 0;
    double median = 0;
    double p95 = 0;
    double maximum = 0;
};
TimeFigures Figures(QList<double> times);

// Names for the JSON output: "pass", "warning", "fault", "skipped", "not available"; "port",
// "holders", ...; "dialout", "stop ModemManager", ...
QString LevelKey(Level level);
QString CheckKey(Check check);
QString HintKey(Hint hint);

// The English wording (qvctl): the check's title, the figure behind a finding, what to do, and
// a summary a technician can read out on the phone.
QString EnglishTitle(Check check);
QString EnglishFigure(const Finding &finding);
QString EnglishAdvice(const Finding &finding);
QString EnglishSummary(const QList<Finding> &findings);

} // namespace linecheck
