#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace moduletest {

// The steps of a module test, in the order they run.
enum class Step {
    Communication, // the state read answers, from the right address, with a right CRC
    Channels,      // each channel on, read, off, read
    AllOnOff,      // every channel on and off at once, each confirmed by a read
    Patterns,      // odd, even and a walking one through the mask, each confirmed
    Timed,         // jog, delayed on and delayed off at once, timed by fine reads
    Config,        // address and baud rate changed and back (off unless asked)
};

inline constexpr Step AllSteps[] = {Step::Communication, Step::Channels, Step::AllOnOff,
                                    Step::Patterns,      Step::Timed,    Step::Config};

// The step's name on the command line and in reports: "comm", "channels", "all", "patterns",
// "timed", "config".
QString StepName(Step step);
std::optional<Step> StepOfName(const QString &name);
// Whether the step is repeated by cycles (the channel and pattern steps are).
bool Cycled(Step step);

// "channels,all" or "comm,timed,config"; none for an unknown name or an empty list.
std::optional<QList<Step>> ParseSteps(const QString &text, QString *error = nullptr);
// Every step but the optional one.
QList<Step> DefaultSteps();

// "3", "3,7", "1-10", "3,7,20-22": addresses 1..255 in the order given, each once.
std::optional<QList<std::uint8_t>> ParseAddresses(const QString &text, QString *error = nullptr);

// What a test is asked to do.
struct Settings
{
    QList<Step> steps = DefaultSteps();
    int cycles = 1;         // how often the cycled steps run
    double durationS = 0;   // > 0: cycles until this much time has passed instead
    int maxFailures = 0;    // stop after this many failures (0: never)
    int keptFailures = 200; // the failures a module's report holds in full (the rest counted)
    int timedTenths = 5;    // the time asked of the timed functions, in 0.1 s
    int toleranceMs = 150;  // how far a timed change may be from the time asked
    int channelCount = 8;   // of the model
    QString model = QStringLiteral("QV-08");
    std::optional<int> timeoutMs; // the wait for each answer; none: from the wire time
    // The addresses to test; with scan, the range scanned instead.
    QList<std::uint8_t> addresses{1};
    bool scan = false;
    int scanFrom = 1;
    int scanTo = 255;
};

} // namespace moduletest
