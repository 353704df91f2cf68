#include "sim/linefaults.h"

#include "modbus/crc.h"

namespace sim {

LineFaults::LineFaults(double share, std::uint64_t seed)
    : m_share(share), m_state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
{}

std::uint64_t LineFaults::next()
{
    // splitmix64: small, and the same on every system.
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

QByteArray LineFaults::garble(QByteArray bytes)
{
    if (m_share <= 0)
        return bytes;
    for (char &byte : bytes) {
        const double draw = double(next() >> 11) / double(1ull << 53);
        if (draw < m_share)
            byte = char(byte ^ char(1 + next() % 255)); // never the byte itself
    }
    return bytes;
}

QByteArray LineFaults::babble()
{
    // Addresses 240..247: outside what the tests and the demo give their modules.
    const std::uint64_t r = next();
    QByteArray frame;
    frame.append(char(240 + r % 8));
    frame.append(char(0x03));
    frame.append(char(0x00));
    frame.append(char((r >> 8) % 16));
    frame.append(char(0x00));
    frame.append(char(1 + (r >> 16) % 4));
    return modbus::WithCrc(frame);
}

} // namespace sim
