#include "sim/master.h"

#include "protocol/requests.h"

namespace sim {

DemoMaster::DemoMaster(std::vector<std::uint8_t> addresses, int channels)
    : m_addresses(std::move(addresses)), m_channels(channels > 0 ? channels : 8)
{
    if (m_addresses.empty())
        m_addresses.push_back(1);
}

DemoMaster::Poll DemoMaster::next()
{
    const unsigned step = m_step++;
    const std::uint8_t address = m_addresses[step / 3 % m_addresses.size()];
    const auto channel = std::uint8_t(step / 6 % unsigned(m_channels));
    QByteArray request;
    if (step % 17 == 10)
        request = protocol::StateRequest(AbsentAddress).frame;
    else if (step % 3 == 0)
        request = protocol::StateRequest(address).frame;
    else
        request = protocol::SwitchRequest(address, channel, step % 3 == 1).frame;
    Poll poll{request, request};
    if (step % 23 == 7)
        poll.wire.prepend(char(0xA5)); // a garbled byte on the line
    return poll;
}

} // namespace sim
