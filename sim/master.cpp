#include "sim/master.h"

#include "modbus/crc.h"

namespace sim {

DemoMaster::DemoMaster(std::vector<std::uint8_t> addresses, int channels)
    : m_addresses(std::move(addresses)), m_channels(channels > 0 ? channels : 8)
{
    if (m_addresses.empty())
        m_addresses.push_back(1);
}

namespace {

QByteArray Frame(std::initializer_list<int> bytes)
{
    QByteArray frame;
    for (int b : bytes)
        frame += static_cast<char>(b);
    return modbus::WithCrc(frame);
}

} // namespace

DemoMaster::Poll DemoMaster::next()
{
    const unsigned step = m_step++;
    const int address = m_addresses[step / 3 % m_addresses.size()];
    const int channel = int(step / 6 % unsigned(m_channels));
    QByteArray request;
    if (step % 17 == 10)
        request = Frame({AbsentAddress, 0x03, 0x00, 0x00, 0x00, 0x01});
    else if (step % 3 == 0)
        request = Frame({address, 0x03, 0x00, 0x00, 0x00, 0x01});
    else
        request = Frame({address, 0x05, 0x00, channel, step % 3 == 1 ? 0xFF : 0x00, 0x00});
    Poll poll{request, request};
    if (step % 23 == 7)
        poll.wire.prepend(char(0xA5)); // a garbled byte on the line
    return poll;
}

} // namespace sim
