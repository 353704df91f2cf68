#pragma once

#include <QByteArray>

#include <cstdint>

namespace sim {

// Faults of the line itself rather than of a module: noise that garbles bytes on their way, and a
// second talker. Every choice comes from one sequence started by a seed, so that a run repeats.
class LineFaults
{
public:
    // The pause between the second talker's frames.
    static constexpr int BabblePeriodMs = 100;

    // share: the part of the bytes garbled, 0..1.
    LineFaults(double share, std::uint64_t seed);

    // The bytes as they arrive: each garbled (a bit pattern flipped) with the share's chance.
    QByteArray garble(QByteArray bytes);
    // The second talker's next frame: a read of a register of an address no module of the
    // simulator has, with its CRC, as another master would poll its own devices.
    QByteArray babble();

private:
    std::uint64_t next();

    double m_share;
    std::uint64_t m_state;
};

} // namespace sim
