#include "sim/virtualline.h"

#include <algorithm>
#include <cstring>

namespace sim {

VirtualLine::VirtualLine(QObject *parent) : serial::LineDevice(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &VirtualLine::runDue);
    m_master.setInterval(DemoMaster::PeriodMs);
    connect(&m_master, &QTimer::timeout, this, [this] {
        if (!isOpen())
            return;
        if (!m_demo) {
            std::vector<std::uint8_t> addresses;
            int channels = 8; // only channels every module has: no exception answers
            for (int i = 0; i < m_bus.moduleCount(); ++i) {
                addresses.push_back(m_bus.module(i).address());
                channels = std::min(channels, m_bus.module(i).relayCount());
            }
            m_demo = std::make_unique<DemoMaster>(addresses, channels);
        }
        const DemoMaster::Poll poll = m_demo->next();
        m_bus.receive(poll.request, lineRate(), now());
        schedule();
        m_arrived += poll.wire;
        emit readyRead();
    });
}

void VirtualLine::setMasterPlaying(bool on)
{
    if (on)
        m_master.start();
    else
        m_master.stop();
}

VirtualLine::~VirtualLine()
{
    if (isOpen())
        close();
}

int VirtualLine::addModule(const ModuleConfig &config)
{
    return m_bus.addModule(config);
}

Micros VirtualLine::now() const
{
    return std::chrono::duration_cast<Micros>(std::chrono::nanoseconds(m_clock.nsecsElapsed()));
}

qint32 VirtualLine::lineRate() const
{
    // The modules speak 8 data bits without parity; anything else reaches them as noise.
    if (m_settings.dataBits != 8 || m_settings.parity != 'N')
        return 0;
    return m_settings.baudRate;
}

bool VirtualLine::setLineSettings(const serial::LineSettings &settings)
{
    m_settings = settings;
    return true;
}

bool VirtualLine::open(OpenMode mode)
{
    m_arrived.clear();
    m_bus.dropLine();
    return serial::LineDevice::open(mode | QIODevice::Unbuffered);
}

void VirtualLine::close()
{
    serial::LineDevice::close();
    m_timer.stop();
    m_bus.dropLine();
    m_arrived.clear();
}

qint64 VirtualLine::bytesAvailable() const
{
    return m_arrived.size() + serial::LineDevice::bytesAvailable();
}

qint64 VirtualLine::readData(char *data, qint64 maxSize)
{
    const qint64 n = std::min<qint64>(maxSize, m_arrived.size());
    if (n > 0) {
        std::memcpy(data, m_arrived.constData(), static_cast<std::size_t>(n));
        m_arrived.remove(0, n);
    }
    return n;
}

qint64 VirtualLine::writeData(const char *data, qint64 size)
{
    m_bus.receive(QByteArrayView(data, size), lineRate(), now());
    schedule();
    return size;
}

void VirtualLine::runDue()
{
    if (!isOpen())
        return;
    m_bus.advance(now());
    const QByteArray out = m_bus.takeOutput();
    schedule();
    if (!out.isEmpty()) {
        m_arrived += out;
        emit readyRead();
    }
}

void VirtualLine::schedule()
{
    const auto next = m_bus.nextDeadline();
    if (!next || !isOpen()) {
        m_timer.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now());
    m_timer.start(std::max<qint64>(0, wait.count()));
}

} // namespace sim
