#pragma once

#include "link/echo.h"
#include "link/line.h"
#include "modbus/answer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

namespace bus {

// What a request waits for.
enum class Expect {
    Answer,  // one whole answer, judged by modbus::CheckAnswer; ends the moment it is whole
    Window,  // every byte within a fixed reading window (the caller reads them)
    Nothing, // a broadcast: done once it has left the line
};

// One request and what it expects.
struct Transaction
{
    QByteArray request;
    Expect expect = Expect::Answer;
    // The wait for the answer, or the reading window. None: the master's pacing, else the wire
    // time of the request and its longest answer plus 100 ms (and the network's margin).
    std::optional<int> timeoutMs;
    // Asked again after silence or a garbled answer. None: the master's pacing.
    std::optional<int> retries;
    // Window: also over once bytes came and then the line stayed quiet this long (0: never).
    int quietMs = 0;
    // Window: true ends the window early (the bytes so far are enough).
    std::function<bool(const QByteArray &received)> enough;
    // Window: the window runs this long from its first byte rather than timeoutMs from the
    // request (timeoutMs then bounds the wait for a first byte). At its end it goes on while
    // bytes still come, until the line is quiet for a frame gap, at most a longest frame longer.
    std::optional<int> windowMs;
    // The line moves to these settings once the transaction is over, answered or not (a
    // module's new rate).
    std::optional<LineSettings> settingsAfter;
};

// How a transaction ended.
struct Outcome
{
    // Answer: the verdict of the last attempt (Incomplete: silence or a part of an answer).
    modbus::Check check;
    // What came back in the last attempt after the adapter's echo: the answer's bytes, or the
    // window's (at most Master::KeptBytes of them).
    QByteArray received;
    // The adapter's copy of the request taken off the front (whole, or as far as it came).
    QByteArray echo;
    // Nothing but the adapter's echo came back: no module answered (never answered()).
    bool onlyEcho = false;
    qsizetype droppedBytes = 0;  // what came beyond KeptBytes
    bool portFailed = false;     // the port failed or could not take the request
    bool refused = false;        // another holds the line (Master::claim)
    bool settingsFailed = false; // settingsAfter could not be applied
    int attempts = 0;
    int timeoutMs = 0;       // the wait each attempt had
    double sentMs = 0;       // when the last attempt was written, on Master::now()
    double firstByteMs = -1; // when its first byte came (-1: none)
    double doneMs = 0;

    bool answered() const { return check.verdict == modbus::Verdict::Good; }
    bool silent() const { return received.isEmpty(); }
    // Written and over without a port failure (a broadcast, or a window that may be empty).
    bool delivered() const { return !portFailed && !refused; }
};

// How the master paces what it sends, for every transaction.
struct Pacing
{
    double pauseMs = 0;           // between the end of one transaction and the next request
    std::optional<int> timeoutMs; // every answer's wait (none: from the wire time)
    int retries = 0;
};

// The one MODBUS master of a line: a queue of transactions, one on the line at a time. It keeps
// the line quiet between frames, waits for each answer or its timeout, asks again, and never
// takes a late answer for the next request's. Everything happens on the event loop of the
// thread that owns it; a transaction's outcome is handed to its callback from there.
class Master : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const Outcome &)>;
    // The most bytes an outcome keeps: the longest RTU frame.
    static constexpr qsizetype KeptBytes = 256;

    explicit Master(Line &line, QObject *parent = nullptr);
    ~Master() override;

    Line &line() const { return m_line; }
    void setPacing(const Pacing &pacing) { m_pacing = pacing; }
    const Pacing &pacing() const { return m_pacing; }

    // How the line's echo is treated (Echo::None until set). Setting it forgets what was learned.
    void setEcho(Echo echo);
    Echo echo() const { return m_echo; }
    // Auto: what was learned so far (none: not yet). Drop: true; None: false.
    std::optional<bool> lineEchoes() const;

    // Queues a transaction; done follows from the event loop. Answers 0 and calls nothing when
    // the line is claimed by another owner, else an id for cancel(). Polls wait behind every
    // command.
    quint64 submit(const Transaction &transaction, Done done, const void *owner = nullptr,
                   bool poll = false);
    // Takes a queued transaction back before it is written; false once it is on the line.
    bool cancel(quint64 id);
    // Takes back every queued transaction not yet written.
    void cancelQueued();
    bool busy() const { return m_current.has_value() || !m_queue.empty(); }
    // Transactions not written yet (queued, or waiting to be asked again).
    qsizetype unwritten() const
    {
        return qsizetype(m_queue.size()) + (m_current && !m_current->written ? 1 : 0);
    }

    // Bytes nobody asked for, arriving while nothing is on the line, are gathered in a window
    // of windowMs from their first byte (ended early by enough, and at its end as a windowMs
    // window is) and handed on by unasked(); the next request waits meanwhile, for the line is
    // in use. Without it (windowMs 0, the default) they are kept for a late answer or dropped.
    void listen(int windowMs, std::function<bool(const QByteArray &bytes)> enough = {});

    // Exclusive use: while an owner holds the claim, submissions of everyone else are refused.
    bool claim(const void *owner);
    void release(const void *owner);
    bool claimed() const { return m_owner != nullptr; }

    // Moves the line to other settings now; the wait before the next request starts over.
    bool setLineSettings(const LineSettings &settings);

    // The wait an answer to request gets under the current pacing.
    int timeoutFor(const QByteArray &request) const;
    // The wait for the first byte of a reading window: the pacing's answer wait, else the
    // request and its longest answer on the wire and the module's turnaround (and the
    // network's margin).
    int firstByteWaitFor(const QByteArray &request) const;
    // ms since the master was made.
    double now() const { return double(m_clock.nsecsElapsed()) / 1e6; }

signals:
    // Every frame written and every chunk heard, for logs and the monitor.
    void wrote(const QByteArray &frame);
    void heard(const QByteArray &chunk);
    // An answer to an earlier request whose wait was over, taken off the line (a scan credits
    // it to the address it names).
    void lateAnswer(const QByteArray &request, const QByteArray &answer);
    // An attempt's wait ran out with nothing whole; retrying: it is asked again (attempt k of
    // the retries, from 1).
    void timedOut(int timeoutMs);
    void retrying(int retry, int retries);
    // Bytes nobody asked for, dropped.
    void stray(const QByteArray &bytes);
    // Bytes nobody asked for, gathered while listening; the first came at firstByteMs (now()).
    void unasked(const QByteArray &bytes, double firstByteMs);
    void failed(const QString &reason);
    // Auto: the line was learned to echo (true) or not (false); said once per setEcho.
    void echoLearned(bool echoes);

private:
    struct Queued
    {
        quint64 id = 0;
        Transaction transaction;
        Done done;
        bool poll = false;
    };
    struct Current
    {
        Queued queued;
        Outcome outcome;
        int attempt = 0;
        bool written = false;
        bool echoSettled = false; // the front of this attempt's bytes is judged: echo or not
        double dueMs = -1;        // when this attempt could first have been written
    };

    void schedule();
    void pump();
    void write();
    void onReceived(const QByteArray &chunk);
    void takeLateAnswers();
    void onDeadline();
    void onQuiet();
    void attemptOver();
    void complete();
    void failAll();
    bool shouldRetry() const;
    // Listening: the bytes in the buffer open a window of their own.
    void startListening();
    // A window with windowMs is at its end, or goes on while bytes still come.
    bool windowGoesOn();
    // The line is known to echo (drop, or auto and learned so).
    bool dropsEcho() const;
    // Auto and not learned yet.
    bool learning() const;
    void learn(bool echoes);
    // Takes the adapter's copy of the request off the front of bytes, as far as it can be told;
    // false while a copy may still be arriving.
    bool settleEcho(QByteArray &bytes);
    // The attempt is over: a copy that broke off is the adapter's too; nothing else: only echo.
    void endEcho(QByteArray &bytes);
    // Auto, before a request whose answer is its own copy: one state read of the same address.
    std::optional<Queued> learningRead(const Queued &next);

    Line &m_line;
    Pacing m_pacing;
    QElapsedTimer m_clock;
    QTimer m_wake;     // the line is free: write the next request
    QTimer m_deadline; // the answer's wait or the window is over
    QTimer m_quiet;    // a window's bytes came and the line went quiet
    std::deque<Queued> m_queue;
    std::optional<Current> m_current;
    QByteArray m_buffer;                 // bytes of the current attempt not yet judged
    std::deque<QByteArray> m_unanswered; // recent requests whose answer did not come in time
    double m_lineFreeAt = 0;
    quint64 m_nextId = 1;
    const void *m_owner = nullptr;
    Echo m_echo = Echo::None;
    std::optional<bool> m_learned; // auto: what the line showed
    bool m_learningReadSent = false;
    int m_listenMs = 0;
    std::function<bool(const QByteArray &)> m_listenEnough;
    double m_lastByteMs = 0;
};

// A read of register 0, the relay bitmap every module has: the state read of a scan, a poll and
// the echo's learning.
QByteArray StateRead(std::uint8_t address);

} // namespace bus
