#pragma once

#include "moduletest/plan.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace moduletest {

// What went wrong in one exchange.
enum class Fault {
    NoAnswer,    // nothing, or not all of an answer, within the wait
    WrongAnswer, // bad CRC, another address or function, an exception, a mismatched echo
    WrongState,  // a state read showed other channels on than expected
    Timing,      // a timed function switched too early, too late or never
};
QString FaultName(Fault fault); // "no-answer", "wrong-answer", "wrong-state", "timing"

struct Failure
{
    int cycle = 1;
    Step step = Step::Communication;
    QString testCase;
    QList<int> channels; // the channels at fault (1-based), none for the module as a whole
    Fault fault = Fault::NoAnswer;
    QString message;
    QByteArray sent;
    QByteArray received;
};

// Response times in bins of 0.1 ms up to 5 s (and the longest exactly): the memory stays the
// same however many answers are counted.
class ResponseTimes
{
public:
    void add(double ms);
    quint64 count() const { return m_count; }
    double min() const { return m_count ? m_min : 0; }
    double max() const { return m_count ? m_max : 0; }
    // The time below which the given share (0..1) of the answers came.
    double percentile(double share) const;

private:
    static constexpr int BinsPerMs = 10;
    static constexpr int Bins = 5000 * BinsPerMs;
    std::vector<quint32> m_bins = std::vector<quint32>(Bins + 1, 0);
    quint64 m_count = 0;
    double m_min = 0;
    double m_max = 0;
};

// One test case of a module: a step, or a channel of a step.
struct CaseResult
{
    Step step = Step::Communication;
    QString name;
    int channel = 0;
    quint64 runs = 0;
    quint64 failures = 0;
    quint64 noAnswers = 0;
    quint64 wrongAnswers = 0; // wrong answers and wrong states
    quint64 timing = 0;
    double seconds = 0;
    QString firstFailure; // the first failure's message
    bool passed() const { return runs > 0 && failures == 0; }
};

// Everything one module's test found.
struct ModuleResult
{
    std::uint8_t address = 0;
    bool answered = true; // false: the communication step got no answer, nothing else ran
    int cyclesDone = 0;
    bool configChanged = false; // the configuration step ran (it changes the module's setup)
    std::vector<CaseResult> cases;
    // The first keptFailures failures in full; failureCount counts them all.
    int keptFailures = 200;
    std::vector<Failure> failures;
    quint64 failureCount = 0;
    std::array<quint64, 9> channelFailures{}; // [1..8]
    std::array<quint64, 9> channelRuns{};
    ResponseTimes times;

    CaseResult &caseOf(Step step, const QString &name, int channel);
    void addFailure(const Failure &failure);
    bool passed() const { return answered && failureCount == 0; }
};

// A whole run: the settings, where and when, and a section per module.
struct Report
{
    Settings settings;
    QString port;
    qint32 rate = 9600;
    QString program; // "qvctl" or "quorvane"
    QString version;
    QDateTime started;
    double seconds = 0;
    bool stopped = false; // stopped by the user or after the failures allowed
    QString stopReason;
    QString portFailure;      // the port failed while the test ran
    bool interrupted = false; // ended by a signal to the program before its end
    std::vector<ModuleResult> modules;

    bool passed() const;
    // Whether a module's test was cut short by the port failing or an interruption: the module
    // under test at that moment (the last one begun) did not get through its steps.
    bool cutShort(const ModuleResult &module) const;
    bool modulePassed(const ModuleResult &module) const
    {
        return module.passed() && !cutShort(module);
    }
};

} // namespace moduletest
