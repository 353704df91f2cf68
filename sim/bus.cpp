#include "sim/bus.h"

#include "modbus/timing.h"

#include <algorithm>

namespace sim {

int Bus::addModule(const ModuleConfig &config)
{
    m_modules.emplace_back(config);
    return moduleCount() - 1;
}

Micros Bus::silenceAfterLastByte() const
{
    // The MODBUS end of frame, in whole microseconds.
    const auto gap = std::chrono::duration_cast<Micros>(modbus::FrameGap(m_heardBaud));
    return std::max(gap, MinimumSilence);
}

void Bus::receive(QByteArrayView bytes, qint32 baudRate, Micros now)
{
    receive(bytes, baudRate, CharacterFormat{}, now);
}

void Bus::receive(QByteArrayView bytes, qint32 baudRate, CharacterFormat format, Micros now)
{
    advance(now);
    if (bytes.isEmpty())
        return;
    if (m_monitor)
        m_monitor(Direction::In, bytes, baudRate);
    // Bytes left over from before a pause or at another rate belong to no frame with these.
    if (!m_heard.isEmpty() && (baudRate != m_heardBaud || format != m_heardFormat))
        hearBuffered(now, true);
    m_heardBaud = baudRate;
    m_heardFormat = format;
    m_heard.append(bytes.data(), bytes.size());
    m_lastByte = now;
    hearBuffered(now, false);
}

void Bus::hearBuffered(Micros now, bool silence)
{
    while (!m_heard.isEmpty()) {
        const auto cut = NextFrame(m_heard);
        if (!cut) {
            if (silence) {
                dispatch(FrameAtSilence(m_heard), m_heard, now);
                m_heard.clear();
            }
            return;
        }
        const QByteArray frame = m_heard.left(cut->length);
        m_heard.remove(0, cut->length);
        dispatch(cut->kind, frame, now);
    }
}

void Bus::dispatch(FrameKind kind, QByteArrayView frame, Micros now)
{
    if (kind == FrameKind::Garbage)
        return;
    for (int i = 0; i < moduleCount(); ++i) {
        RelayModule &m = module(i);
        // A module at another rate or format sees only noise.
        if (m.baudRate() != m_heardBaud || m.format() != m_heardFormat) {
            m.advance(now);
            continue;
        }
        QByteArray answer = m.hear(kind, frame, now);
        if (answer.isEmpty())
            continue;
        const Micros start =
            std::max(now, m_lineFree) + m_turnaround + std::chrono::milliseconds(m.faults().slowMs);
        const Micros done = start + std::chrono::duration_cast<Micros>(
                                        modbus::WireTime(answer.size(), m.baudRate()));
        m_lineFree = done;
        m_answers.push_back(Answer{done, std::move(answer), i, m.baudRate()});
    }
}

void Bus::deliverAnswers(Micros now)
{
    while (!m_answers.empty() && m_answers.front().done <= now) {
        Answer answer = std::move(m_answers.front());
        m_answers.pop_front();
        if (m_monitor)
            m_monitor(Direction::Out, answer.bytes, answer.baudRate);
        m_output.append(answer.bytes);
        m_outputAnswers.push_back(answer.bytes);
        module(answer.module).answerSent();
    }
}

void Bus::advance(Micros now)
{
    if (!m_heard.isEmpty() && now - m_lastByte >= silenceAfterLastByte())
        hearBuffered(m_lastByte + silenceAfterLastByte(), true);
    deliverAnswers(now);
    for (RelayModule &m : m_modules)
        m.advance(now);
}

std::optional<Micros> Bus::nextDeadline() const
{
    std::optional<Micros> next;
    const auto consider = [&next](Micros t) {
        if (!next || t < *next)
            next = t;
    };
    if (!m_heard.isEmpty())
        consider(m_lastByte + silenceAfterLastByte());
    if (!m_answers.empty())
        consider(m_answers.front().done);
    for (const RelayModule &m : m_modules) {
        if (const auto t = m.nextDeadline())
            consider(*t);
    }
    return next;
}

QByteArray Bus::takeOutput()
{
    m_outputAnswers.clear();
    return std::exchange(m_output, {});
}

std::vector<QByteArray> Bus::takeAnswers()
{
    m_output.clear();
    return std::exchange(m_outputAnswers, {});
}

void Bus::dropLine()
{
    m_heard.clear();
    for (const Answer &answer : m_answers)
        module(answer.module).answerSent(); // a change the module made still takes effect
    m_answers.clear();
    m_output.clear();
    m_outputAnswers.clear();
}

} // namespace sim
