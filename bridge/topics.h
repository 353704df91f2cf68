#pragma once

#include <QString>

#include <cstdint>

// The bridge's topics, built only from configured names: nothing that arrives in a payload or
// a topic ever becomes part of one.
namespace bridge {

class Topics
{
public:
    explicit Topics(QString prefix) : m_prefix(std::move(prefix)) {}

    const QString &prefix() const { return m_prefix; }
    // <prefix>/<bus>/<address>/<channel>/state: ON or OFF as read from the module.
    QString state(const QString &bus, std::uint8_t address, int channel) const;
    // <prefix>/<bus>/<address>/<channel>/set
    QString channelSet(const QString &bus, std::uint8_t address, int channel) const;
    // <prefix>/<bus>/<address>/set
    QString moduleSet(const QString &bus, std::uint8_t address) const;
    // <prefix>/<bus>/<address>/availability: online or offline.
    QString availability(const QString &bus, std::uint8_t address) const;
    // <prefix>/bridge/availability: online, or offline (the broker's last will).
    QString bridgeAvailability() const;
    // <prefix>/bridge/error: every refused payload, as JSON.
    QString bridgeError() const;

private:
    QString module(const QString &bus, std::uint8_t address) const;
    QString m_prefix;
};

} // namespace bridge
