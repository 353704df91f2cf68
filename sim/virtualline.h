#pragma once

#include "serial/linedevice.h"
#include "sim/bus.h"
#include "sim/master.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace sim {

// A serial line with virtual relay modules on it, served in this process. The serial port
// object uses it in place of a real port: what the port writes is heard by the modules at the
// port's line settings (a module hears only frames sent at its own rate, 8 data bits, no
// parity), and their answers come back through the event loop after the wire time, announced
// with readyRead().
//
// Closing the line drops half-heard requests and answers on their way; the modules keep their
// relays, timers, addresses and rates.
class VirtualLine : public serial::LineDevice
{
    Q_OBJECT
public:
    explicit VirtualLine(QObject *parent = nullptr);
    ~VirtualLine() override;

    int addModule(const ModuleConfig &config);
    Bus &bus() { return m_bus; }

    bool setLineSettings(const serial::LineSettings &settings) override;
    serial::LineSettings lineSettings() const { return m_settings; }

    // Plays a master polling the modules (DemoMaster): its requests and the answers arrive on
    // the line as if heard on a bus. While the line is open.
    void setMasterPlaying(bool on);
    bool masterPlaying() const { return m_master.isActive(); }

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    Micros now() const;
    qint32 lineRate() const;
    void runDue();
    void schedule();

    Bus m_bus;
    serial::LineSettings m_settings;
    QByteArray m_arrived;
    QTimer m_timer;
    QElapsedTimer m_clock;
    QTimer m_master;
    std::unique_ptr<DemoMaster> m_demo;
};

} // namespace sim
