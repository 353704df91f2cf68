#pragma once

#include "sim/relaymodule.h"

#include <QByteArray>
#include <QByteArrayView>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace sim {

// Several modules on one line, as on an RS485 bus, with the timing of a real wire.
//
// The master's bytes are split into frames (a frame also ends when the line stays quiet for
// 3.5 characters, and never sooner than a few milliseconds so that a pseudo-terminal's chunks
// are not cut apart); every module listening at the rate the bytes were sent at hears each frame.
// A module at another rate hears garbage and drops it. Answers leave one after another: each
// after the turnaround and its wire time (modbus::WireTime) at the answering module's own rate.
class Bus
{
public:
    static constexpr Micros DefaultTurnaround{4000};
    static constexpr Micros MinimumSilence{15000};

    enum class Direction { In, Out };
    // Sees every chunk the master sends (with the rate it was sent at) and every answer.
    using Monitor = std::function<void(Direction, QByteArrayView, qint32 baudRate)>;

    Bus() = default;

    // Returns the new module's index.
    int addModule(const ModuleConfig &config);
    int moduleCount() const { return static_cast<int>(m_modules.size()); }
    RelayModule &module(int index) { return m_modules.at(static_cast<std::size_t>(index)); }
    const RelayModule &module(int index) const
    {
        return m_modules.at(static_cast<std::size_t>(index));
    }

    void setTurnaround(Micros turnaround) { m_turnaround = turnaround; }
    Micros turnaround() const { return m_turnaround; }
    void setMonitor(Monitor monitor) { m_monitor = std::move(monitor); }

    // The master sent bytes at baudRate (8 data bits, no parity, 1 stop bit), arriving at now.
    // Pass 0 as the rate when the line is set up in a way no module understands.
    void receive(QByteArrayView bytes, qint32 baudRate, Micros now);
    // The same from a master whose characters have this format: only modules at the rate and
    // the format hear it.
    void receive(QByteArrayView bytes, qint32 baudRate, CharacterFormat format, Micros now);
    // Moves time on to now: frames ended by silence are heard, timers run, answers whose last
    // byte is on the wire by now are handed over (takeOutput()).
    void advance(Micros now);
    // The next moment something happens by itself, if anything waits.
    std::optional<Micros> nextDeadline() const;
    // Bytes that reached the master, oldest first.
    QByteArray takeOutput();
    // The same, one answer at a time (what a gateway that reads the bus passes on).
    std::vector<QByteArray> takeAnswers();
    // The master went away: half-heard bytes and answers not yet out are dropped. The modules
    // keep their relays and timers.
    void dropLine();

private:
    struct Answer
    {
        Micros done; // when its last byte is on the wire
        QByteArray bytes;
        int module;
        qint32 baudRate;
    };

    Micros silenceAfterLastByte() const;
    void hearBuffered(Micros now, bool silence);
    void dispatch(FrameKind kind, QByteArrayView frame, Micros now);
    void deliverAnswers(Micros now);

    std::vector<RelayModule> m_modules;
    Micros m_turnaround = DefaultTurnaround;
    Monitor m_monitor;

    QByteArray m_heard;
    qint32 m_heardBaud = 0;
    CharacterFormat m_heardFormat;
    Micros m_lastByte{0};
    std::deque<Answer> m_answers;
    Micros m_lineFree{0};
    QByteArray m_output;
    std::vector<QByteArray> m_outputAnswers;
};

} // namespace sim
