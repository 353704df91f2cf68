#pragma once

#include "serial/linedevice.h"

#include <QByteArray>

// A stand-in line for the port: what the port writes is kept in `written`, and bytes are handed
// to the port with feed(), as if they had arrived on the wire.
class FakeLine : public serial::LineDevice
{
    Q_OBJECT
public:
    using serial::LineDevice::LineDevice;

    bool setLineSettings(const serial::LineSettings &) override { return true; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override
    {
        return m_incoming.size() + serial::LineDevice::bytesAvailable();
    }

    void feed(const QByteArray &bytes)
    {
        m_incoming += bytes;
        emit readyRead();
    }

    QByteArray written;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = qMin<qint64>(maxSize, m_incoming.size());
        std::copy_n(m_incoming.constData(), n, data);
        m_incoming.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, size);
        emit bytesWritten(size);
        return size;
    }

private:
    QByteArray m_incoming;
};
