#include "link/poller.h"

#include <cmath>

namespace bus {

Poller::Poller(Master &master, const Options &options, QObject *parent)
    : QObject(parent), m_master(master), m_options(options)
{
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &Poller::pollNext);
}

void Poller::setModules(const QList<std::pair<std::uint8_t, int>> &addressesAndChannels)
{
    std::map<std::uint8_t, Module> kept;
    m_order.clear();
    for (const auto &[address, channels] : addressesAndChannels) {
        if (kept.count(address))
            continue;
        Module m;
        if (const auto it = m_modules.find(address); it != m_modules.end())
            m = it->second;
        m.address = address;
        m.channelCount = channels;
        kept[address] = m;
        m_order << address;
    }
    m_modules = std::move(kept);
    m_next = 0;
}

const Poller::Module *Poller::module(std::uint8_t address) const
{
    const auto it = m_modules.find(address);
    return it == m_modules.end() ? nullptr : &it->second;
}

void Poller::start()
{
    m_running = true;
    pollNext();
}

void Poller::stop()
{
    m_running = false;
    m_tick.stop();
}

void Poller::command(const QByteArray &request, std::function<void(const Outcome &)> done)
{
    Transaction t;
    t.request = request;
    const auto address = std::uint8_t(request.isEmpty() ? 0 : request.at(0));
    m_master.submit(
        t,
        [this, address, done = std::move(done)](const Outcome &outcome) {
            if (done)
                done(outcome);
            // The state as the module has it now, read before the next poll.
            if (m_modules.count(address) && !outcome.portFailed)
                read(address, false);
        },
        m_options.owner);
}

void Poller::pollNext()
{
    if (!m_running || m_polling || m_order.isEmpty())
        return;
    const double wait = m_lastPollMs + m_options.intervalMs - m_master.now();
    if (wait > 0) {
        m_tick.start(int(std::ceil(wait)));
        return;
    }
    m_next %= int(m_order.size());
    const std::uint8_t address = m_order.at(m_next++);
    m_polling = true;
    m_lastPollMs = m_master.now();
    read(address, true);
}

void Poller::read(std::uint8_t address, bool poll)
{
    Transaction t;
    t.request = StateRead(address);
    const quint64 id = m_master.submit(
        t,
        [this, address, poll](const Outcome &outcome) {
            take(address, outcome);
            if (!poll)
                return;
            m_polling = false;
            if (m_next >= m_order.size())
                emit roundDone();
            pollNext();
        },
        m_options.owner, poll);
    if (id == 0 && poll) {
        // Another holds the line (a module test): no polls meanwhile.
        m_polling = false;
        stop();
    }
}

void Poller::take(std::uint8_t address, const Outcome &outcome)
{
    const auto it = m_modules.find(address);
    if (it == m_modules.end())
        return;
    if (outcome.portFailed) {
        stop();
        return;
    }
    Module &m = it->second;
    ++m.polls;
    bool changes = false;
    if (outcome.answered()) {
        const auto mask = std::uint16_t((1u << m.channelCount) - 1);
        const std::uint16_t bits = modbus::RegisterValue(outcome.received) & mask;
        m.lastAnswer = QDateTime::currentDateTime();
        m.missedInARow = 0;
        changes = !m.online || m.bits != bits;
        m.online = true;
        m.offlineSince = {};
        m.bits = bits;
    } else {
        if (outcome.silent())
            ++m.silences;
        else
            ++m.garbled;
        ++m.missedInARow;
        // Offline once the misses add up; a module never heard is told once it is known to be.
        // (A module already past a lowered allowance goes offline at its next miss.)
        if (m.missedInARow >= m_options.missesOffline && (m.online || !m.offlineSince.isValid())) {
            changes = true;
            m.online = false;
            m.offlineSince = QDateTime::currentDateTime();
        }
    }
    if (changes)
        emit changed(address);
}

} // namespace bus
