#pragma once

#include "link/master.h"

#include <QList>
#include <QObject>

#include <functional>
#include <optional>
#include <set>

namespace bus {

// Which addresses answer a state read, one address at a time through the master. Each address
// waits its request and answer on the wire plus the turnaround allowance; an answer later than
// that still counts for the address it names. The last address waits a whole answer's time.
class BusScan : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        int from = 1;
        int to = 255;
        // The wait at each address but the last (none: modbus::ScanWaitMs at the line's rate).
        std::optional<int> stepMs;
        // The wait at the last address (none: the master's answer wait).
        std::optional<int> lastMs;
        // Requests go out no closer together than this (the window's timer tick); 0: as fast as
        // the line allows.
        int tickMs = 0;
        int retries = 0;
        const void *owner = nullptr; // the master's claim it runs under, if any
    };

    BusScan(Master &master, const Options &options, QObject *parent = nullptr);

    void start();
    // Ends after the request on the line; finished() follows.
    void stop();
    bool running() const { return m_running; }
    // The addresses found so far, ascending.
    const std::set<int> &found() const { return m_found; }
    // The next address to ask.
    int next() const { return m_next; }

signals:
    // A module answered at address (exception: with a MODBUS exception answer).
    void moduleFound(int address, bool exception);
    // An address was asked and its wait is over.
    void asked(int address);
    // stopped: by stop(); portFailed: the line failed (or refused the request).
    void finished(bool stopped, bool portFailed);

private:
    void askNext();
    void credit(int address, bool exception);
    void end(bool portFailed);

    Master &m_master;
    Options m_options;
    std::set<int> m_found;
    int m_next = 1;
    bool m_running = false;
    bool m_stopping = false;
    double m_lastSentMs = -1e9;
    QTimer m_tick;
};

// The rate (and format) a module answers at: the address probe at each line setting in turn,
// the line moved to each first. What counts as an answer is the caller's rule.
class BaudSearch : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QList<LineSettings> tries;
        int startIndex = 0; // the position in tries to try first
        // Whether the bytes heard after the probe are the module's answer.
        std::function<bool(const QByteArray &)> accepts;
        std::optional<int> waitMs; // the wait at each rate (none: the master's answer wait)
        int tickMs = 0;            // the least time from one probe to the next
        int retries = 0;
        const void *owner = nullptr;
    };

    BaudSearch(Master &master, const Options &options, QObject *parent = nullptr);

    void start();
    void stop();
    bool running() const { return m_running; }
    // The position to try next (kept by the window between searches).
    int index() const { return m_index; }

signals:
    void trying(const bus::LineSettings &settings);
    // The probe was answered at these settings with these bytes.
    void found(const bus::LineSettings &settings, const QByteArray &answer);
    // Every rate tried without an answer.
    void exhausted();
    // The line could not be set so (the line's reason); the search goes on with the next.
    void refused(const bus::LineSettings &settings, const QString &reason);
    // stop() or the line failed; portFailed says which.
    void stopped(bool portFailed);

private:
    void tryNext();

    Master &m_master;
    Options m_options;
    int m_index = 0;
    int m_refusedInARow = 0;
    bool m_running = false;
    bool m_stopping = false;
    double m_lastSentMs = -1e9;
    QTimer m_tick;
};

// The acceptance of qvctl and the module test: one well-formed probe answer whose value is the
// address that sent it.
bool IsProbeAnswer(const QByteArray &bytes);

} // namespace bus
