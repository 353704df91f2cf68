#include "moduletest/runner.h"

#include "moduletest/checks.h"
#include "protocol/hexcodec.h"

#include <algorithm>
#include <cmath>

namespace moduletest {

namespace {

// A timed change is looked for this long after the latest moment it may come.
constexpr int WatchMarginMs = 200;
// Progress is told at most this often.
constexpr double ProgressEveryMs = 200;

QList<int> Channels(int channel)
{
    return channel > 0 ? QList<int>{channel} : QList<int>{};
}

QString Hex(QByteArrayView bytes)
{
    return protocol::HexFrameText(bytes).trimmed();
}

} // namespace

Runner::Runner(bus::Master &master, const Settings &settings, QObject *parent)
    : QObject(parent), m_master(master), m_settings(settings)
{
    connect(&m_master, &bus::Master::wrote, this, [this](const QByteArray &frame) {
        emit traffic(QStringLiteral("out %1").arg(Hex(frame)));
    });
    connect(&m_master, &bus::Master::heard, this, [this](const QByteArray &chunk) {
        emit traffic(QStringLiteral("in  %1").arg(Hex(chunk)));
    });
}

void Runner::start()
{
    m_report = {};
    m_report.settings = m_settings;
    m_report.rate = m_master.line().rate();
    m_report.started = QDateTime::currentDateTime();
    m_startedMs = now();
    m_stopping = false;
    m_switched = false;
    m_moduleIndex = -1;
    m_master.claim(this);
    if (m_settings.scan) {
        m_phase = Phase::Scan;
        bus::BusScan::Options options;
        options.from = m_settings.scanFrom;
        options.to = m_settings.scanTo;
        options.stepMs = m_settings.timeoutMs;
        options.lastMs = m_settings.timeoutMs;
        options.owner = this;
        m_scan = std::make_unique<bus::BusScan>(m_master, options);
        connect(m_scan.get(), &bus::BusScan::moduleFound, this, [this](int address, bool) {
            m_addresses.append(std::uint8_t(address));
            emit found(std::uint8_t(address));
        });
        connect(m_scan.get(), &bus::BusScan::asked, this, [this](int) {
            m_estimateDone += double(modbus::ScanWaitMs(m_master.line().rate()));
            reportProgress();
        });
        connect(m_scan.get(), &bus::BusScan::finished, this,
                [this](bool, bool portFailed) { scanFinished(portFailed); });
        m_estimateTotal = (m_settings.scanTo - m_settings.scanFrom + 1) *
                          double(modbus::ScanWaitMs(m_master.line().rate()));
        m_scan->start();
        return;
    }
    m_addresses = m_settings.addresses;
    m_estimateTotal = estimateModuleMs() * double(m_addresses.size());
    nextModule();
}

void Runner::stop(const QString &reason)
{
    if (!running() || m_stopping)
        return;
    m_stopping = true;
    m_stopReason = reason;
    m_report.stopped = true;
    m_report.stopReason = reason;
    if (m_phase == Phase::Scan) {
        m_scan->stop();
        return;
    }
    // Still waiting for the line: nothing is under way, the channels go off now.
    if (m_phase != Phase::AllOff && m_queued != 0 && m_master.cancel(m_queued)) {
        m_queued = 0;
        m_current.reset();
        endStep();
    }
}

// --- the scan ---------------------------------------------------------------------------------

void Runner::scanFinished(bool portFailed)
{
    if (portFailed) {
        this->portFailed(m_master.line().failure());
        return;
    }
    if (m_stopping) {
        finish();
        return;
    }
    std::sort(m_addresses.begin(), m_addresses.end());
    m_estimateDone = 0;
    m_estimateTotal = estimateModuleMs() * double(m_addresses.size());
    if (m_addresses.isEmpty()) {
        finish();
        return;
    }
    nextModule();
}

// --- modules and steps ------------------------------------------------------------------------

void Runner::nextModule()
{
    ++m_moduleIndex;
    if (m_stopping || m_moduleIndex >= m_addresses.size()) {
        finish();
        return;
    }
    m_report.modules.push_back({});
    module().address = m_addresses[m_moduleIndex];
    module().keptFailures = m_settings.keptFailures;
    m_stage = Stage::Communication;
    m_stepPos = 0;
    m_cycle = 1;
    m_moduleStartMs = now();
    emit moduleStarted(module().address);
    nextStep();
}

std::optional<Step> Runner::takeStep()
{
    const QList<Step> &steps = m_settings.steps;
    const auto firstFrom = [&](int from, bool cycled) -> int {
        for (int i = from; i < steps.size(); ++i) {
            if (steps[i] != Step::Communication && Cycled(steps[i]) == cycled)
                return i;
        }
        return -1;
    };
    if (m_stage == Stage::Communication) {
        m_stage = Stage::Cycles;
        m_stepPos = 0;
        if (steps.contains(Step::Communication))
            return Step::Communication;
    }
    if (m_stage == Stage::Cycles) {
        int i = firstFrom(m_stepPos, true);
        if (i < 0 && firstFrom(0, true) >= 0) {
            // A cycle is over: another one, while cycles or time remain.
            const bool more = m_settings.durationS > 0
                                  ? now() - m_moduleStartMs < m_settings.durationS * 1000
                                  : m_cycle < m_settings.cycles;
            if (more && !m_stopping) {
                ++m_cycle;
                i = firstFrom(0, true);
            }
        }
        if (i >= 0) {
            m_stepPos = i + 1;
            return steps[i];
        }
        m_stage = Stage::Once;
        m_stepPos = 0;
    }
    if (m_stage == Stage::Once) {
        const int i = firstFrom(m_stepPos, false);
        if (i >= 0) {
            m_stepPos = i + 1;
            return steps[i];
        }
        m_stage = Stage::Over;
    }
    return std::nullopt;
}

void Runner::nextStep()
{
    const std::optional<Step> step = m_stopping ? std::nullopt : takeStep();
    if (!step) {
        finishModule();
        return;
    }
    beginStep(*step);
}

void Runner::beginStep(Step step)
{
    m_step = step;
    m_stepFailed = false;
    m_casesRun.clear();
    m_exchanges =
        StepExchanges(step, module().address, m_settings, spareAddress(), m_master.line().rate());
    m_pos = 0;
    if (Cycled(step))
        module().cyclesDone = m_cycle; // the cycles begun: a stop may end one half done
    if (step == Step::Config)
        module().configChanged = true;
    if (step == Step::Timed) {
        m_timed = TimedChannels();
        m_timerStart.assign(9, 0);
        m_change.assign(m_timed.size(), std::nullopt);
        m_beforeChecked.assign(m_timed.size(), false);
        m_lastSample = -1;
    }
    m_phase = Phase::Steps;
    m_switched = true;
    sendNext();
}

void Runner::endStep()
{
    m_phase = Phase::AllOff;
    if (!module().answered) {
        m_switched = false; // it was only asked for its state
        stepDone();         // nothing to switch off on a module that does not answer
        return;
    }
    // Every step ends with every channel off.
    m_current = Exchange{AllOffRequest(module().address),
                         std::nullopt,
                         {},
                         0,
                         QStringLiteral("all off at the end"),
                         0,
                         {}};
    sendNext();
}

void Runner::finishModule()
{
    emit moduleFinished(module().address);
    nextModule();
}

void Runner::finish()
{
    if (m_queued != 0)
        m_master.cancel(m_queued);
    m_queued = 0;
    m_current.reset();
    m_master.release(this);
    m_phase = Phase::Done;
    m_report.seconds = (now() - m_startedMs) / 1000.0;
    emit progress(1.0, 0);
    emit finished();
}

// --- one exchange -----------------------------------------------------------------------------

void Runner::sendNext()
{
    if (m_phase == Phase::Done)
        return;
    if (!m_current) {
        if (m_phase == Phase::Steps && m_stopping) {
            endStep();
            return;
        }
        if (m_phase == Phase::Steps && m_pos < m_exchanges.size()) {
            m_current = m_exchanges[m_pos++];
        } else if (m_phase == Phase::Steps && m_step == Step::Timed) {
            m_phase = Phase::Watch;
            const double longest = *std::max_element(m_timerStart.begin(), m_timerStart.end());
            m_watchUntil =
                longest + m_settings.timedTenths * 100.0 + m_settings.toleranceMs + WatchMarginMs;
        } else if (m_phase == Phase::Steps) {
            endStep();
            return;
        }
        if (m_phase == Phase::Watch) {
            if (m_stopping || now() > m_watchUntil ||
                std::all_of(m_change.begin(), m_change.end(),
                            [](const auto &c) { return c.has_value(); })) {
                judgeTimed();
                endStep();
                return;
            }
            m_current = Exchange{StateRead(module().address),
                                 std::nullopt,
                                 {},
                                 0,
                                 QStringLiteral("timed state read"),
                                 0,
                                 {}};
        }
    }
    transmit(*m_current);
}

void Runner::transmit(const Exchange &ex)
{
    bus::Transaction t;
    t.request = ex.request;
    t.timeoutMs = m_settings.timeoutMs;
    if (ex.rateAfter) {
        t.settingsAfter = m_master.line().settings();
        t.settingsAfter->rate = *ex.rateAfter;
    }
    m_queued = m_master.submit(
        t,
        [this, ex](const bus::Outcome &outcome) {
            m_queued = 0;
            complete(ex, outcome);
        },
        this);
    if (m_queued == 0)
        portFailed(QStringLiteral("the line is held by another sender"));
}

void Runner::portFailed(const QString &reason)
{
    m_report.portFailure = reason.isEmpty() ? QStringLiteral("the port failed") : reason;
    finish();
}

void Runner::complete(const Exchange &ex, const bus::Outcome &outcome)
{
    if (m_phase == Phase::Done)
        return;
    m_current.reset();
    if (outcome.portFailed) {
        portFailed(m_master.line().failure());
        return;
    }
    if (ex.startsTimer > 0)
        m_timerStart[std::size_t(ex.startsTimer)] =
            outcome.sentMs + WireMs(ex.request.size(), m_master.line().rate());
    m_estimateDone += estimateMs(ex.request);
    if (m_phase == Phase::AllOff)
        m_switched = !outcome.answered();
    judge(ex, outcome);
    if (outcome.settingsFailed) {
        portFailed(m_master.line().failure());
        return;
    }
    if (m_phase == Phase::Done)
        return;
    if (m_phase == Phase::AllOff) {
        stepDone();
        return;
    }
    sendNext();
}

void Runner::stepDone()
{
    emit stepFinished(module().address, m_step, m_cycle, !m_stepFailed);
    for (int ch = 1; ch <= m_settings.channelCount; ++ch) {
        if (module().channelRuns[std::size_t(ch)] > 0)
            emit channelVerdict(module().address, ch,
                                module().channelFailures[std::size_t(ch)] == 0);
    }
    reportProgress();
    if (!module().answered) {
        finishModule();
        return;
    }
    nextStep();
}

void Runner::judge(const Exchange &ex, const bus::Outcome &outcome)
{
    ModuleResult &m = module();
    const Check &check = outcome.check;
    const QByteArray &received = outcome.received;
    const bool watch = m_phase == Phase::Watch;
    const double tookMs = outcome.doneMs - outcome.sentMs;
    if (!ex.testCase.isEmpty()) {
        CaseResult &c = m.caseOf(m_step, ex.testCase, ex.channel);
        c.seconds += tookMs / 1000;
        if (!m_casesRun.contains(ex.testCase)) {
            m_casesRun.append(ex.testCase);
            ++c.runs;
            if (ex.channel > 0)
                ++m.channelRuns[std::size_t(ex.channel)];
        }
    }
    if (check.verdict == Verdict::Incomplete) {
        if (received.isEmpty()) {
            // Only the state read says whether the module answers: a dropped closing all-off
            // after it is a failure of its own.
            if (m_step == Step::Communication && m_phase != Phase::AllOff)
                m.answered = false;
            if (outcome.onlyEcho)
                recordFailure(ex, Channels(ex.channel), Fault::NoAnswer,
                              QStringLiteral("only the adapter's echo came back to %1: no module "
                                             "answered")
                                  .arg(ex.what),
                              outcome.echo);
            else
                recordFailure(ex, Channels(ex.channel), Fault::NoAnswer,
                              QStringLiteral("no answer to %1 within %2 ms")
                                  .arg(ex.what)
                                  .arg(outcome.timeoutMs));
        } else {
            recordFailure(ex, Channels(ex.channel), Fault::WrongAnswer,
                          QStringLiteral("incomplete answer to %1: %2").arg(ex.what, Hex(received)),
                          received);
        }
        return;
    }
    if (check.verdict != Verdict::Good) {
        recordFailure(ex, Channels(ex.channel), Fault::WrongAnswer,
                      QStringLiteral("%1: %2").arg(ex.what, check.message), received);
        return;
    }
    m.times.add(tookMs);
    const auto channelBits = std::uint16_t((1u << m_settings.channelCount) - 1);
    const std::uint16_t bits = RegisterValue(received) & channelBits;
    if (watch) {
        watchSample(outcome.sentMs, true, bits);
        return;
    }
    if (ex.expectBits && bits != *ex.expectBits) {
        const QString message = QStringLiteral("%1: channels on %2, expected %3")
                                    .arg(ex.testCase, ChannelsText(bits, m_settings.channelCount),
                                         ChannelsText(*ex.expectBits, m_settings.channelCount));
        recordFailure(ex, DifferingChannels(bits, *ex.expectBits, m_settings.channelCount),
                      Fault::WrongState, message);
    }
}

void Runner::recordFailure(const Exchange &ex, const QList<int> &channels, Fault fault,
                           const QString &message, const QByteArray &received)
{
    ModuleResult &m = module();
    const QString testCase = ex.testCase.isEmpty() ? ex.what : ex.testCase;
    Failure failure{m_cycle, m_step, testCase, channels, fault, message, ex.request, received};
    m.addFailure(failure);
    CaseResult &c = m.caseOf(m_step, testCase, ex.channel);
    if (c.runs == 0)
        c.runs = 1;
    if (c.failures == 0)
        c.firstFailure = message;
    ++c.failures;
    if (fault == Fault::NoAnswer)
        ++c.noAnswers;
    else if (fault == Fault::Timing)
        ++c.timing;
    else
        ++c.wrongAnswers;
    for (const int channel : channels) {
        if (m.channelRuns[std::size_t(channel)] == 0)
            m.channelRuns[std::size_t(channel)] = 1;
    }
    m_stepFailed = true;
    emit failureFound(m.address, failure);
    quint64 failures = 0;
    for (const ModuleResult &each : m_report.modules)
        failures += each.failureCount;
    if (m_settings.maxFailures > 0 && failures >= quint64(m_settings.maxFailures))
        stop(QStringLiteral("stopped after %1 failures").arg(m_settings.maxFailures));
}

// --- the timed step ---------------------------------------------------------------------------

void Runner::watchSample(double sentMs, bool answered, std::uint16_t bits)
{
    if (!answered)
        return;
    // The module reads its relays when it has heard the request.
    const double sample = sentMs + WireMs(StateRead(1).size(), m_master.line().rate());
    for (std::size_t i = 0; i < m_timed.size(); ++i) {
        const TimedChannel &t = m_timed[i];
        const bool on = bits >> (t.channel - 1) & 1;
        const double start = m_timerStart[std::size_t(t.channel)];
        if (!m_beforeChecked[i]) {
            m_beforeChecked[i] = true;
            if (on != t.before) {
                // It never took the state the request asks for at once (or switched at once).
                Exchange ex{{}, std::nullopt, t.testCase, t.channel, t.testCase, 0, {}};
                recordFailure(ex, {t.channel}, Fault::WrongState,
                              QStringLiteral("%1: %2 right after the request, expected %3")
                                  .arg(t.testCase,
                                       on ? QStringLiteral("on") : QStringLiteral("off"),
                                       t.before ? QStringLiteral("on") : QStringLiteral("off")));
                m_change[i] = -1; // judged already
                continue;
            }
        }
        if (!m_change[i] && on == t.after) {
            const double previous = std::max(m_lastSample, start);
            m_change[i] = (previous + sample) / 2 - start;
        }
    }
    m_lastSample = sample;
}

void Runner::judgeTimed()
{
    const double asked = m_settings.timedTenths * 100.0;
    for (std::size_t i = 0; i < m_timed.size(); ++i) {
        const TimedChannel &t = m_timed[i];
        Exchange ex{{}, std::nullopt, t.testCase, t.channel, t.testCase, 0, {}};
        if (!m_casesRun.contains(t.testCase)) {
            m_casesRun.append(t.testCase);
            ++module().caseOf(m_step, t.testCase, t.channel).runs;
        }
        if (m_change[i] && *m_change[i] < 0)
            continue; // failed at once
        if (!m_change[i]) {
            if (m_stopping)
                continue;
            recordFailure(ex, {t.channel}, Fault::Timing,
                          QStringLiteral("%1: did not switch within %2 ms (asked %3 ms)")
                              .arg(t.testCase)
                              .arg(std::lround(asked + m_settings.toleranceMs + WatchMarginMs))
                              .arg(std::lround(asked)));
            continue;
        }
        const double took = *m_change[i];
        if (std::abs(took - asked) > m_settings.toleranceMs)
            recordFailure(ex, {t.channel}, Fault::Timing,
                          QStringLiteral("%1: switched after %2 ms, asked %3 ms ± %4 ms")
                              .arg(t.testCase)
                              .arg(std::lround(took))
                              .arg(std::lround(asked))
                              .arg(m_settings.toleranceMs));
    }
}

// --- time -------------------------------------------------------------------------------------

double Runner::estimateMs(const QByteArray &request) const
{
    // The request, its answer, the gap and the module's turnaround.
    const qint32 rate = m_master.line().rate();
    return WireMs(request.size() + AnswerBytes(request), rate) + modbus::QuietGapMs(rate) +
           modbus::TurnaroundMs;
}

double Runner::estimateModuleMs() const
{
    double ms = 0;
    for (const Step step : m_settings.steps) {
        double stepMs = estimateMs(AllOffRequest(1));
        for (const Exchange &ex : StepExchanges(step, 1, m_settings, 2, m_master.line().rate()))
            stepMs += estimateMs(ex.request);
        if (step == Step::Timed)
            stepMs += m_settings.timedTenths * 100.0;
        if (Cycled(step))
            stepMs *= m_settings.durationS > 0 ? 1 : m_settings.cycles;
        ms += stepMs;
    }
    return ms + m_settings.durationS * 1000;
}

void Runner::reportProgress()
{
    const double elapsed = now();
    if (elapsed - m_lastProgress < ProgressEveryMs)
        return;
    m_lastProgress = elapsed;
    double fraction = m_estimateTotal > 0 ? m_estimateDone / m_estimateTotal : 0;
    if (m_settings.durationS > 0 && m_phase != Phase::Scan) {
        const double perModule = m_settings.durationS * 1000;
        fraction = std::max(
            fraction, (m_moduleIndex + std::min(1.0, (elapsed - m_moduleStartMs) / perModule)) /
                          std::max<double>(1, m_addresses.size()));
    }
    fraction = std::clamp(fraction, 0.0, 0.99);
    const double left = fraction > 0 ? elapsed * (1 - fraction) / fraction / 1000 : 0;
    emit progress(fraction, left);
}

std::uint8_t Runner::spareAddress() const
{
    // An address no module of the test has, so the change meets nobody on the bus.
    for (int a = 247; a >= 1; --a) {
        if (!m_addresses.contains(std::uint8_t(a)))
            return std::uint8_t(a);
    }
    return 1;
}

} // namespace moduletest
