#pragma once

#include "link/master.h"
#include "link/search.h"
#include "moduletest/plan.h"
#include "moduletest/results.h"
#include "moduletest/steps.h"

#include <QObject>

#include <memory>

#include <optional>
#include <vector>

namespace moduletest {

// Runs a module test through a line's master, on the event loop: the modules one after the
// other, each through its steps, one request at a time. Every step ends with every channel off,
// also when it failed or the test was stopped. While it runs it holds the master's claim, so
// nobody else's request comes between its own.
class Runner : public QObject
{
    Q_OBJECT
public:
    Runner(bus::Master &master, const Settings &settings, QObject *parent = nullptr);

    // Starts the test; finished() follows, whatever happens.
    void start();
    // Ends the test after the request under way: every channel off, then finished().
    void stop(const QString &reason = QStringLiteral("stopped"));
    bool running() const { return m_phase != Phase::Idle && m_phase != Phase::Done; }
    // False from the start of a step until its closing all-off has been echoed: whether the
    // channels are known to be off.
    bool channelsOffConfirmed() const { return !m_switched; }

    // Filled as the test goes; whole after finished().
    const Report &report() const { return m_report; }
    Report &report() { return m_report; }

signals:
    void moduleStarted(std::uint8_t address);
    void moduleFinished(std::uint8_t address);
    void found(std::uint8_t address); // the scan found a module
    // How far the test has come (0..1) and the seconds it is likely still to take.
    void progress(double fraction, double secondsLeft);
    // After each step: how each channel of the module stands so far.
    void channelVerdict(std::uint8_t address, int channel, bool passed);
    void failureFound(std::uint8_t address, const moduletest::Failure &failure);
    void stepFinished(std::uint8_t address, moduletest::Step step, int cycle, bool passed);
    // Every frame out and in, for a log.
    void traffic(const QString &line);
    void finished();

private:
    enum class Phase { Idle, Scan, Steps, Watch, AllOff, Done };
    enum class Stage { Communication, Cycles, Once, Over };

    // The modules and their steps.
    void nextModule();
    void nextStep();
    std::optional<Step> takeStep();
    void beginStep(Step step);
    void endStep();
    void stepDone();
    void finishModule();
    void finish();

    // One exchange through the master: queue it, judge its outcome.
    void sendNext();
    void transmit(const Exchange &ex);
    void complete(const Exchange &ex, const bus::Outcome &outcome);
    void judge(const Exchange &ex, const bus::Outcome &outcome);
    void recordFailure(const Exchange &ex, const QList<int> &channels, Fault fault,
                       const QString &message, const QByteArray &received = {});
    void portFailed(const QString &reason);

    // The timed step's watch.
    void watchSample(double sentMs, bool answered, std::uint16_t bits);
    void judgeTimed();

    // The scan before the modules, and the modules it found.
    void scanFinished(bool portFailed);

    double now() const { return m_master.now(); }
    double estimateMs(const QByteArray &request) const;
    double estimateModuleMs() const;
    void reportProgress();
    std::uint8_t spareAddress() const;
    ModuleResult &module() { return m_report.modules.back(); }

    bus::Master &m_master;
    Settings m_settings;
    Report m_report;
    std::unique_ptr<bus::BusScan> m_scan;
    double m_startedMs = 0;
    quint64 m_queued = 0; // the exchange waiting in the master's queue (0: none)

    Phase m_phase = Phase::Idle;
    QList<std::uint8_t> m_addresses;
    int m_moduleIndex = -1;
    Stage m_stage = Stage::Communication;
    int m_stepPos = 0;
    int m_cycle = 1;
    double m_moduleStartMs = 0;
    Step m_step = Step::Communication;
    bool m_stepFailed = false;
    std::vector<Exchange> m_exchanges;
    std::size_t m_pos = 0;
    QStringList m_casesRun; // the cases counted in this run of the step
    std::optional<Exchange> m_current;
    bool m_stopping = false;
    QString m_stopReason;
    bool m_switched = false; // a step began and its all-off has not been echoed yet

    // The timed step.
    std::vector<TimedChannel> m_timed;
    std::vector<double> m_timerStart;            // by channel
    std::vector<std::optional<double>> m_change; // when each channel changed, ms after its start
    std::vector<bool> m_beforeChecked;
    double m_lastSample = -1;
    double m_watchUntil = 0;

    double m_estimateTotal = 0;
    double m_estimateDone = 0;
    double m_lastProgress = -1e9;
};

} // namespace moduletest
