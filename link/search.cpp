#include "link/search.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/timing.h"

#include <algorithm>
#include <cmath>

namespace bus {

namespace {

int AddressOf(const QByteArray &answer)
{
    return answer.isEmpty() ? 0 : std::uint8_t(answer.at(0));
}

} // namespace

bool IsProbeAnswer(const QByteArray &bytes)
{
    QByteArray rest = bytes;
    for (const modbus::RegisterAnswer &a : modbus::TakeRegisterAnswers(rest)) {
        if (!a.exception && a.value == a.address)
            return true;
    }
    return false;
}

// --- the scan ---------------------------------------------------------------------------------

BusScan::BusScan(Master &master, const Options &options, QObject *parent)
    : QObject(parent), m_master(master), m_options(options)
{
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &BusScan::askNext);
    connect(&m_master, &Master::lateAnswer, this,
            [this](const QByteArray &request, const QByteArray &answer) {
                // A module that turned round slowly: credited to the address it names.
                const int address = AddressOf(answer);
                if (m_running && request == StateRead(std::uint8_t(address)) && address < m_next)
                    credit(address, answer.size() > 1 && (answer.at(1) & 0x80));
            });
}

void BusScan::start()
{
    m_found.clear();
    m_next = m_options.from;
    m_running = true;
    m_stopping = false;
    askNext();
}

void BusScan::stop()
{
    m_stopping = true;
    if (m_tick.isActive()) {
        m_tick.stop();
        end(false);
    }
}

void BusScan::credit(int address, bool exception)
{
    if (address < m_options.from || address > m_options.to || !m_found.insert(address).second)
        return;
    emit moduleFound(address, exception);
}

void BusScan::askNext()
{
    if (!m_running)
        return;
    if (m_stopping || m_next > m_options.to) {
        end(false);
        return;
    }
    const double wait = m_lastSentMs + m_options.tickMs - m_master.now();
    if (wait > 0) {
        m_tick.start(int(std::ceil(wait)));
        return;
    }
    const int address = m_next;
    const bool last = address == m_options.to;
    Transaction t;
    t.request = StateRead(std::uint8_t(address));
    t.timeoutMs = last ? m_options.lastMs
                       : m_options.stepMs.value_or(modbus::ScanWaitMs(m_master.line().rate()));
    t.retries = m_options.retries;
    m_lastSentMs = m_master.now();
    const quint64 id = m_master.submit(
        t,
        [this, address](const Outcome &outcome) {
            if (outcome.portFailed) {
                end(true);
                return;
            }
            const modbus::Verdict v = outcome.check.verdict;
            if (v == modbus::Verdict::Good || v == modbus::Verdict::Exception)
                credit(address, v == modbus::Verdict::Exception);
            m_next = address + 1;
            emit asked(address);
            askNext();
        },
        m_options.owner);
    if (id == 0)
        end(true);
}

void BusScan::end(bool portFailed)
{
    if (!m_running)
        return;
    m_running = false;
    emit finished(m_stopping, portFailed);
}

// --- the baud search --------------------------------------------------------------------------

BaudSearch::BaudSearch(Master &master, const Options &options, QObject *parent)
    : QObject(parent), m_master(master), m_options(options)
{
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &BaudSearch::tryNext);
}

void BaudSearch::start()
{
    m_index = std::clamp(m_options.startIndex, 0, int(m_options.tries.size()));
    m_refusedInARow = 0;
    m_running = true;
    m_stopping = false;
    tryNext();
}

void BaudSearch::stop()
{
    m_stopping = true;
    if (m_tick.isActive()) {
        m_tick.stop();
        m_running = false;
        emit stopped(false);
    }
}

void BaudSearch::tryNext()
{
    if (!m_running)
        return;
    if (m_stopping) {
        m_running = false;
        emit stopped(false);
        return;
    }
    if (m_index >= m_options.tries.size()) {
        m_running = false;
        m_index = 0;
        emit exhausted();
        return;
    }
    const double wait = m_lastSentMs + m_options.tickMs - m_master.now();
    if (wait > 0) {
        m_tick.start(int(std::ceil(wait)));
        return;
    }
    const LineSettings settings = m_options.tries.at(m_index);
    if (!m_master.setLineSettings(settings)) {
        // A setting this line cannot take (a parity on a pseudo-terminal) is passed over; a line
        // that takes none has failed.
        emit refused(settings, m_master.line().failure());
        ++m_index;
        if (++m_refusedInARow >= m_options.tries.size()) {
            m_running = false;
            emit stopped(true);
            return;
        }
        tryNext();
        return;
    }
    m_refusedInARow = 0;
    emit trying(settings);
    Transaction t;
    t.request = modbus::ProbeFrame();
    t.expect = Expect::Window;
    t.timeoutMs = m_options.waitMs;
    t.retries = m_options.retries;
    t.enough = m_options.accepts;
    m_lastSentMs = m_master.now();
    const quint64 id = m_master.submit(
        t,
        [this, settings](const Outcome &outcome) {
            if (outcome.portFailed) {
                m_running = false;
                emit stopped(true);
                return;
            }
            if (!outcome.received.isEmpty() && m_options.accepts &&
                m_options.accepts(outcome.received)) {
                m_running = false;
                emit found(settings, outcome.received);
                return;
            }
            ++m_index;
            tryNext();
        },
        m_options.owner);
    if (id == 0) {
        m_running = false;
        emit stopped(true);
    }
}

} // namespace bus
