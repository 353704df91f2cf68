#pragma once

#include "link/line.h"
#include "serial/commport.h"

namespace bus {

// The line of a serial::CommPort: a device node, a network port or a virtual port. The port
// stays its owner's; the line only writes, moves the rate and hands on what arrives.
class PortLine : public Line
{
    Q_OBJECT
public:
    // readsPort: the line reads what arrives itself; false: its owner decides who reads the
    // port and hands the line its part with deliver().
    explicit PortLine(serial::CommPort &port, bool readsPort = true, QObject *parent = nullptr);

    void deliver(const QByteArray &chunk)
    {
        if (!chunk.isEmpty())
            emit received(chunk);
    }

    bool write(const QByteArray &frame) override;
    LineSettings settings() const override;
    bool setSettings(const LineSettings &settings) override;
    QString failure() const override;
    bool isNetwork() const override;

    serial::CommPort &port() const { return m_port; }

private:
    serial::CommPort &m_port;
};

// The serial port's settings for a line's.
serial::LineSettings PortSettings(const LineSettings &settings);

} // namespace bus
