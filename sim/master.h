#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace sim {

// A master polling the virtual modules, for something to watch without hardware: each module's
// state read, a channel switched on and off again, now and then a garbled byte in front of a
// request and a request to an address where no module is.
class DemoMaster
{
public:
    // The pause between one poll and the next.
    static constexpr int PeriodMs = 150;
    // The address nobody answers.
    static constexpr std::uint8_t AbsentAddress = 99;

    explicit DemoMaster(std::vector<std::uint8_t> addresses, int channels = 8);

    struct Poll
    {
        QByteArray wire;    // what goes on the line
        QByteArray request; // the request the modules hear (without a garbled byte)
    };
    Poll next();

private:
    std::vector<std::uint8_t> m_addresses;
    int m_channels;
    unsigned m_step = 0;
};

} // namespace sim
