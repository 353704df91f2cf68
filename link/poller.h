#pragma once

#include "link/master.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace bus {

// Watches several modules on one line: reads each one's state in turn through the master, one
// poll on the line or queued at a time, so a command (which the master puts before polls) is
// never kept waiting by more than the poll already under way. A module that misses a set number
// of polls in a row is offline until it answers again. Only changes are told.
class Poller : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        // The least time from one poll to the next (0: as fast as the line allows).
        int intervalMs = 0;
        // Polls missed in a row before a module counts as offline.
        int missesOffline = 3;
        const void *owner = nullptr; // the master's claim it runs under, if any
    };

    // What the poller knows of one module.
    struct Module
    {
        std::uint8_t address = 1;
        int channelCount = 8;
        bool online = false;
        std::optional<std::uint16_t> bits; // the relays as last read (channel 1 in bit 0)
        QDateTime lastAnswer;              // none before the first answer
        QDateTime offlineSince;            // when it went offline (none while online)
        int missedInARow = 0;
        quint64 silences = 0; // polls with no answer
        quint64 garbled = 0;  // polls answered with something else than a good answer
        quint64 polls = 0;
    };

    Poller(Master &master, const Options &options, QObject *parent = nullptr);

    // The modules to watch, in the order they are polled; what was known of an address stays.
    void setModules(const QList<std::pair<std::uint8_t, int>> &addressesAndChannels);
    QList<std::uint8_t> addresses() const { return m_order; }
    const Module *module(std::uint8_t address) const;

    // The pace and the misses allowed, changed while it runs; the next poll keeps them.
    void setIntervalMs(int ms) { m_options.intervalMs = ms < 0 ? 0 : ms; }
    void setMissesOffline(int misses) { m_options.missesOffline = misses < 1 ? 1 : misses; }
    const Options &options() const { return m_options; }

    void start();
    // No poll is queued after this; the one on the line ends as it does.
    void stop();
    bool running() const { return m_running; }

    // A request for one module that goes before every poll; once it is over the module's state
    // is read at once, so what is shown follows the module's answer.
    void command(const QByteArray &request, std::function<void(const Outcome &)> done = {});

signals:
    // Something of the module changed: its relays, or online or offline.
    void changed(std::uint8_t address);
    // A round over every module is complete.
    void roundDone();

private:
    void pollNext();
    void read(std::uint8_t address, bool poll);
    void take(std::uint8_t address, const Outcome &outcome);

    Master &m_master;
    Options m_options;
    QList<std::uint8_t> m_order;
    std::map<std::uint8_t, Module> m_modules;
    int m_next = 0;
    bool m_running = false;
    bool m_polling = false; // a poll is queued or on the line
    double m_lastPollMs = -1e9;
    QTimer m_tick;
};

} // namespace bus
