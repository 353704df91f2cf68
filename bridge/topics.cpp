#include "bridge/topics.h"

namespace bridge {

QString Topics::module(const QString &bus, std::uint8_t address) const
{
    return QStringLiteral("%1/%2/%3").arg(m_prefix, bus).arg(address);
}

QString Topics::state(const QString &bus, std::uint8_t address, int channel) const
{
    return QStringLiteral("%1/%2/state").arg(module(bus, address)).arg(channel);
}

QString Topics::channelSet(const QString &bus, std::uint8_t address, int channel) const
{
    return QStringLiteral("%1/%2/set").arg(module(bus, address)).arg(channel);
}

QString Topics::moduleSet(const QString &bus, std::uint8_t address) const
{
    return module(bus, address) + QStringLiteral("/set");
}

QString Topics::availability(const QString &bus, std::uint8_t address) const
{
    return module(bus, address) + QStringLiteral("/availability");
}

QString Topics::bridgeAvailability() const
{
    return m_prefix + QStringLiteral("/bridge/availability");
}

QString Topics::bridgeError() const
{
    return m_prefix + QStringLiteral("/bridge/error");
}

} // namespace bridge
