#include "link/master.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/timing.h"

#include <algorithm>
#include <cmath>

namespace bus {

namespace {

// What a network link adds to the time an answer may take: the gateway's turn and the network.
constexpr int NetworkMarginMs = 200;
// How many unanswered requests are remembered, so that their late answers are recognised.
constexpr std::size_t RememberedRequests = 8;
// How late the system may hand on bytes that have already come: a reading window is over only
// once the line has been quiet this much longer than a frame gap.
constexpr double ArrivalJitterMs = 10;
// The longest a request waits for the line to fall quiet: a talker that never pauses (a
// babbling module, a flood) is talked over rather than waited for forever.
constexpr double LongestWaitForQuietMs = 500;

int WholeMs(double ms)
{
    return std::max(0, int(std::ceil(ms)));
}

} // namespace

Master::Master(Line &line, QObject *parent) : QObject(parent), m_line(line)
{
    m_clock.start();
    for (QTimer *timer : {&m_wake, &m_deadline, &m_quiet}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_wake, &QTimer::timeout, this, &Master::pump);
    connect(&m_deadline, &QTimer::timeout, this, &Master::onDeadline);
    connect(&m_quiet, &QTimer::timeout, this, &Master::onQuiet);
    connect(&m_line, &Line::received, this, &Master::onReceived);
    connect(&m_line, &Line::failed, this, [this](const QString &reason) {
        emit failed(reason);
        failAll();
    });
}

Master::~Master() = default;

quint64 Master::submit(const Transaction &transaction, Done done, const void *owner, bool poll)
{
    if (m_owner && owner != m_owner)
        return 0;
    Queued queued{m_nextId++, transaction, std::move(done), poll};
    // Commands go before every poll waiting; polls keep their own order.
    auto at = m_queue.end();
    if (!poll)
        at = std::find_if(m_queue.begin(), m_queue.end(), [](const Queued &q) { return q.poll; });
    m_queue.insert(at, std::move(queued));
    schedule();
    return m_nextId - 1;
}

bool Master::cancel(quint64 id)
{
    const auto it =
        std::find_if(m_queue.begin(), m_queue.end(), [id](const Queued &q) { return q.id == id; });
    if (it != m_queue.end()) {
        m_queue.erase(it);
        return true;
    }
    // Asked again after a failed attempt and waiting for the line: not on the line now.
    if (m_current && m_current->queued.id == id && !m_current->written) {
        m_current.reset();
        schedule();
        return true;
    }
    return false;
}

void Master::cancelQueued()
{
    m_queue.clear();
}

bool Master::claim(const void *owner)
{
    if (m_owner && m_owner != owner)
        return false;
    m_owner = owner;
    return true;
}

void Master::release(const void *owner)
{
    if (m_owner == owner)
        m_owner = nullptr;
}

bool Master::setLineSettings(const LineSettings &settings)
{
    if (!m_line.setSettings(settings))
        return false;
    // What was on the line at the old settings is no answer to anything asked at the new ones.
    m_buffer.clear();
    m_unanswered.clear();
    m_lineFreeAt = now() + modbus::QuietGapMs(settings.rate, settings.format());
    return true;
}

int Master::timeoutFor(const QByteArray &request) const
{
    if (m_pacing.timeoutMs)
        return *m_pacing.timeoutMs;
    const LineSettings line = m_line.settings();
    return modbus::AnswerTimeoutMs(request.size(), modbus::LongestAnswer(request), line.rate,
                                   line.format()) +
           (m_line.isNetwork() ? NetworkMarginMs : 0);
}

int Master::firstByteWaitFor(const QByteArray &request) const
{
    if (m_pacing.timeoutMs)
        return *m_pacing.timeoutMs;
    const LineSettings line = m_line.settings();
    const modbus::LineTime wire =
        modbus::WireTime(request.size() + modbus::LongestAnswer(request), line.rate, line.format());
    return WholeMs(modbus::Ms(wire) + modbus::TurnaroundMs) +
           (m_line.isNetwork() ? NetworkMarginMs : 0);
}

// --- the queue --------------------------------------------------------------------------------

void Master::schedule()
{
    if (m_current && m_current->written)
        return; // the transaction on the line schedules the next when it is over
    m_wake.start(WholeMs(m_lineFreeAt - now()));
}

void Master::pump()
{
    if (m_current && m_current->written)
        return;
    if (!m_current) {
        if (m_queue.empty())
            return;
        if (std::optional<Queued> read = learningRead(m_queue.front())) {
            m_current = Current{std::move(*read), {}, 0, false};
        } else {
            m_current = Current{std::move(m_queue.front()), {}, 0, false};
            m_queue.pop_front();
        }
    }
    // MODBUS frames are told apart by silence: the line must be quiet for a moment first.
    if (m_current->dueMs < 0)
        m_current->dueMs = now();
    const double wait = m_lineFreeAt - now();
    if (wait > 0 && now() - m_current->dueMs < LongestWaitForQuietMs) {
        m_wake.start(WholeMs(std::min(wait, m_current->dueMs + LongestWaitForQuietMs - now())));
        return;
    }
    write();
}

void Master::write()
{
    Current &c = *m_current;
    const Transaction &t = c.queued.transaction;
    ++c.attempt;
    c.dueMs = -1; // an attempt asked again waits for quiet anew
    c.outcome.attempts = c.attempt;
    c.outcome.received.clear();
    c.outcome.echo.clear();
    c.outcome.onlyEcho = false;
    c.echoSettled = false;
    c.outcome.droppedBytes = 0;
    c.outcome.firstByteMs = -1;
    c.outcome.check = {};
    // Bytes from before are either a late answer to an earlier request or noise.
    takeLateAnswers();
    if (!m_buffer.isEmpty()) {
        emit stray(m_buffer);
        m_buffer.clear();
    }
    if (!m_line.write(t.request)) {
        c.outcome.portFailed = true;
        complete();
        return;
    }
    c.written = true;
    emit wrote(t.request);
    const LineSettings line = m_line.settings();
    c.outcome.sentMs = now();
    const double wireMs = modbus::Ms(modbus::WireTime(t.request.size(), line.rate, line.format()));
    m_lineFreeAt = c.outcome.sentMs + wireMs + modbus::QuietGapMs(line.rate, line.format());
    if (t.expect == Expect::Nothing) {
        // Nothing comes back: done once the request has left the line.
        c.outcome.timeoutMs = WholeMs(m_lineFreeAt - c.outcome.sentMs);
    } else {
        c.outcome.timeoutMs = t.timeoutMs.value_or(timeoutFor(t.request));
    }
    m_deadline.start(c.outcome.timeoutMs);
}

void Master::onReceived(const QByteArray &chunk)
{
    emit heard(chunk);
    const LineSettings line = m_line.settings();
    m_lineFreeAt = std::max(m_lineFreeAt, now() + modbus::QuietGapMs(line.rate, line.format()));
    m_lastByteMs = now();
    const bool waiting =
        m_current && m_current->written && m_current->queued.transaction.expect != Expect::Nothing;
    if (!waiting) {
        // Nobody asked for these; they may still be a late answer to an earlier request.
        m_buffer += chunk;
        takeLateAnswers();
        if (m_listenMs > 0 && !m_current && !m_buffer.isEmpty()) {
            startListening();
            return;
        }
        if (m_buffer.size() > KeptBytes) {
            emit stray(m_buffer);
            m_buffer.clear();
        }
        return;
    }
    Current &c = *m_current;
    const Transaction &t = c.queued.transaction;
    if (c.outcome.firstByteMs < 0) {
        c.outcome.firstByteMs = now();
        if (t.expect == Expect::Window && t.windowMs)
            m_deadline.start(*t.windowMs);
    }
    if (t.expect == Expect::Window) {
        const qsizetype room = KeptBytes - c.outcome.received.size();
        c.outcome.received += chunk.first(std::min(room, chunk.size()));
        c.outcome.droppedBytes += std::max<qsizetype>(0, chunk.size() - room);
        const bool settled = settleEcho(c.outcome.received);
        if (settled && !c.outcome.received.isEmpty() && t.enough && t.enough(c.outcome.received)) {
            attemptOver();
        } else if (t.quietMs > 0) {
            m_quiet.start(t.quietMs);
        }
        return;
    }
    m_buffer += chunk;
    takeLateAnswers();
    if (!settleEcho(m_buffer))
        return;
    const modbus::Check check = modbus::CheckAnswer(t.request, m_buffer);
    if (check.verdict == modbus::Verdict::Incomplete && m_buffer.size() < KeptBytes)
        return;
    if (learning() && c.outcome.echo.isEmpty() &&
        JudgeEcho(t.request, m_buffer) == EchoSeen::Absent)
        learn(false);
    c.outcome.check = check;
    c.outcome.received =
        m_buffer.first(check.length > 0 ? check.length : std::min(m_buffer.size(), KeptBytes));
    c.outcome.droppedBytes = m_buffer.size() - c.outcome.received.size();
    m_buffer.clear();
    attemptOver();
}

void Master::takeLateAnswers()
{
    const QByteArray *asked =
        m_current && m_current->written ? &m_current->queued.transaction.request : nullptr;
    for (bool took = true; took && !m_buffer.isEmpty();) {
        took = false;
        for (auto it = m_unanswered.begin(); it != m_unanswered.end(); ++it) {
            // The same request asked again: its answer is this attempt's, not a late one.
            if (asked && *it == *asked)
                continue;
            const modbus::Check check = modbus::CheckAnswer(*it, m_buffer);
            if (check.verdict != modbus::Verdict::Good &&
                check.verdict != modbus::Verdict::Exception)
                continue;
            const QByteArray request = *it;
            const QByteArray answer = m_buffer.first(check.length);
            m_buffer.remove(0, check.length);
            m_unanswered.erase(it);
            emit lateAnswer(request, answer);
            took = true;
            break;
        }
    }
}

void Master::listen(int windowMs, std::function<bool(const QByteArray &)> enough)
{
    m_listenMs = std::max(0, windowMs);
    m_listenEnough = std::move(enough);
}

void Master::startListening()
{
    Queued listening;
    listening.id = m_nextId++;
    listening.transaction.expect = Expect::Window;
    listening.transaction.windowMs = m_listenMs;
    listening.transaction.retries = 0;
    listening.transaction.enough = m_listenEnough;
    listening.done = [this](const Outcome &outcome) {
        if (!outcome.received.isEmpty())
            emit unasked(outcome.received, outcome.firstByteMs);
    };
    m_current = Current{std::move(listening), {}, 1, true, true};
    Current &c = *m_current;
    c.outcome.attempts = 1;
    c.outcome.sentMs = c.outcome.firstByteMs = now();
    c.outcome.timeoutMs = m_listenMs;
    const QByteArray bytes = m_buffer;
    m_buffer.clear();
    m_deadline.start(m_listenMs);
    // The bytes so far are the window's first chunk.
    c.outcome.received = bytes.first(std::min(bytes.size(), KeptBytes));
    c.outcome.droppedBytes = bytes.size() - c.outcome.received.size();
    if (c.queued.transaction.enough && c.queued.transaction.enough(c.outcome.received))
        attemptOver();
}

bool Master::windowGoesOn()
{
    const Current &c = *m_current;
    const Transaction &t = c.queued.transaction;
    if (t.expect != Expect::Window || !t.windowMs || c.outcome.firstByteMs < 0)
        return false;
    // A reply still arriving at the window's end is read whole; a line that never falls silent
    // still ends it.
    const LineSettings line = m_line.settings();
    const double gap = modbus::QuietGapMs(line.rate, line.format()) + ArrivalJitterMs;
    const double longest = modbus::Ms(modbus::WireTime(KeptBytes, line.rate, line.format()));
    const double quietFor = now() - m_lastByteMs;
    if (quietFor >= gap || now() - c.outcome.firstByteMs >= *t.windowMs + longest)
        return false;
    m_deadline.start(WholeMs(gap - quietFor));
    return true;
}

void Master::onDeadline()
{
    if (!m_current || !m_current->written)
        return;
    Current &c = *m_current;
    const Transaction &t = c.queued.transaction;
    if (windowGoesOn())
        return;
    if (t.expect == Expect::Answer) {
        endEcho(m_buffer);
        c.outcome.check = modbus::CheckAnswer(t.request, m_buffer);
        c.outcome.received = m_buffer.first(std::min(m_buffer.size(), KeptBytes));
        if (c.outcome.check.verdict == modbus::Verdict::Incomplete) {
            emit timedOut(c.outcome.timeoutMs);
            // Its answer may still come: it is then a late answer, never the next request's.
            m_unanswered.push_back(t.request);
            if (m_unanswered.size() > RememberedRequests)
                m_unanswered.pop_front();
        } else {
            m_buffer.remove(0, c.outcome.check.length);
        }
    }
    attemptOver();
}

void Master::onQuiet()
{
    if (m_current && m_current->written && !m_current->outcome.received.isEmpty())
        attemptOver();
}

bool Master::shouldRetry() const
{
    const Current &c = *m_current;
    const Transaction &t = c.queued.transaction;
    if (c.attempt > t.retries.value_or(m_pacing.retries))
        return false;
    switch (t.expect) {
    case Expect::Nothing:
        return false;
    case Expect::Window:
        return c.outcome.received.isEmpty();
    case Expect::Answer:
        // Silence or a garbled answer may go better on another try; a definite answer would not
        // change.
        return c.outcome.check.verdict == modbus::Verdict::Incomplete ||
               c.outcome.check.verdict == modbus::Verdict::BadCrc;
    }
    return false;
}

void Master::attemptOver()
{
    m_deadline.stop();
    m_quiet.stop();
    Current &c = *m_current;
    c.outcome.doneMs = now();
    if (c.queued.transaction.expect == Expect::Window)
        endEcho(c.outcome.received);
    if (shouldRetry()) {
        emit retrying(c.attempt, c.queued.transaction.retries.value_or(m_pacing.retries));
        c.written = false;
        schedule();
        return;
    }
    complete();
}

void Master::complete()
{
    m_deadline.stop();
    m_quiet.stop();
    Current c = std::move(*m_current);
    m_current.reset();
    c.outcome.doneMs = now();
    const Transaction &t = c.queued.transaction;
    if (t.settingsAfter && !c.outcome.portFailed && !setLineSettings(*t.settingsAfter))
        c.outcome.settingsFailed = true;
    // The pause a slow bus asks for between one transaction and the next request.
    m_lineFreeAt = std::max(m_lineFreeAt, now() + m_pacing.pauseMs);
    // Held so that a callback that queues the next request finds the line free of this one.
    schedule();
    if (c.queued.done)
        c.queued.done(c.outcome);
}

// --- the adapter's echo ----------------------------------------------------------------------

void Master::setEcho(Echo echo)
{
    m_echo = echo;
    m_learned.reset();
    m_learningReadSent = false;
}

std::optional<bool> Master::lineEchoes() const
{
    switch (m_echo) {
    case Echo::Auto:
        return m_learned;
    case Echo::Drop:
        return true;
    case Echo::None:
        return false;
    }
    return std::nullopt;
}

bool Master::dropsEcho() const
{
    return m_echo == Echo::Drop || (m_echo == Echo::Auto && m_learned == true);
}

bool Master::learning() const
{
    return m_echo == Echo::Auto && !m_learned;
}

void Master::learn(bool echoes)
{
    if (!learning())
        return;
    m_learned = echoes;
    emit echoLearned(echoes);
}

bool Master::settleEcho(QByteArray &bytes)
{
    Current &c = *m_current;
    if (c.echoSettled || !(dropsEcho() || learning()))
        return true;
    const QByteArray &request = c.queued.transaction.request;
    const EchoSplit split = SplitEcho(request, bytes);
    if (split.partial)
        return false;
    c.echoSettled = true;
    if (!split.whole())
        return true;
    // A copy where the true answer differs shows the echo; a copy of a request whose answer is
    // that copy shows nothing by itself and is read as the answer until the line is known.
    if (!AnswerCopiesRequest(request))
        learn(true);
    if (dropsEcho()) {
        c.outcome.echo = request;
        bytes = split.rest;
    }
    return true;
}

void Master::endEcho(QByteArray &bytes)
{
    Current &c = *m_current;
    if (!c.echoSettled && dropsEcho() && SplitEcho(c.queued.transaction.request, bytes).partial) {
        c.outcome.echo = bytes; // broken off: the adapter's still
        bytes.clear();
    }
    c.echoSettled = true;
    c.outcome.onlyEcho = !c.outcome.echo.isEmpty() && bytes.isEmpty();
}

std::optional<Master::Queued> Master::learningRead(const Queued &next)
{
    const Transaction &t = next.transaction;
    if (!learning() || m_learningReadSent || t.expect == Expect::Nothing ||
        !AnswerCopiesRequest(t.request) || t.request.at(0) == 0)
        return std::nullopt;
    m_learningReadSent = true;
    Queued read;
    read.transaction.request = StateRead(std::uint8_t(t.request.at(0)));
    read.transaction.retries = 0;
    read.done = [this](const Outcome &outcome) {
        // An adapter that echoes echoes every request: silence after a whole request shows that
        // this one does not.
        if (outcome.delivered() && outcome.silent() && outcome.echo.isEmpty())
            learn(false);
    };
    return read;
}

void Master::failAll()
{
    // The port is closed: whatever is on the line or queued will not be answered.
    std::deque<Queued> queue;
    queue.swap(m_queue);
    if (m_current) {
        m_current->outcome.portFailed = true;
        complete();
    }
    for (Queued &q : queue) {
        Outcome outcome;
        outcome.portFailed = true;
        outcome.doneMs = now();
        if (q.done)
            q.done(outcome);
    }
}

QByteArray StateRead(std::uint8_t address)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append("\x03\x00\x00\x00\x01", 5);
    return modbus::WithCrc(frame);
}

} // namespace bus
