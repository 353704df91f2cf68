#include "link/portline.h"

namespace bus {

PortLine::PortLine(serial::CommPort &port, bool readsPort, QObject *parent)
    : Line(parent), m_port(port)
{
    if (readsPort)
        connect(&m_port, &serial::CommPort::received, this, [this] { deliver(m_port.readAll()); });
    connect(&m_port, &serial::CommPort::failed, this, [this](const serial::LineFailure &f) {
        emit failed(f.detail.isEmpty() ? QStringLiteral("the port failed") : f.detail);
    });
}

bool PortLine::write(const QByteArray &frame)
{
    return m_port.write(frame);
}

LineSettings PortLine::settings() const
{
    const serial::LineSettings port = m_port.lineSettings();
    return {port.baudRate, Parity(port.parity), port.stopBits};
}

bool PortLine::setSettings(const LineSettings &settings)
{
    return m_port.setLineSettings(PortSettings(settings));
}

serial::LineSettings PortSettings(const LineSettings &settings)
{
    return {settings.rate, char(settings.parity), 8, settings.stopBits};
}

QString PortLine::failure() const
{
    if (!m_port.isOpen() && m_port.errorText().isEmpty())
        return QStringLiteral("the port is not open");
    return m_port.errorText();
}

bool PortLine::isNetwork() const
{
    return m_port.isNetworkPort();
}

} // namespace bus
