#include "linecheck/runner.h"

#include "linecheck/verdicts.h"
#include "modbus/answer.h"
#include "modbus/frames.h"
#include "modbus/timing.h"
#include "protocol/baud.h"
#include "serial/tcpline.h"

#include <QFileInfo>

namespace linecheck {

QList<bus::LineSettings> SearchOrder(const bus::LineSettings &first)
{
    QList<bus::LineSettings> formats{first};
    for (const char *name : {"8N1", "8E1", "8O1", "8N2"}) {
        const bus::LineSettings format = *bus::WithFormat(first, QLatin1String(name));
        if (!formats.contains(format))
            formats << format;
    }
    QList<bus::LineSettings> order{first};
    for (const bus::LineSettings &format : formats) {
        for (int code = 0; code < protocol::BaudCodeCount; ++code) {
            bus::LineSettings s = format;
            s.rate = *protocol::BaudRateOfCode(code);
            if (!order.contains(s))
                order << s;
        }
    }
    return order;
}

LineCheck::LineCheck(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &LineCheck::listened);
}

LineCheck::~LineCheck()
{
    m_master.reset();
    m_line.reset();
    m_port.close();
}

void LineCheck::start()
{
    if (m_running)
        return;
    m_running = true;
    m_stopping = false;
    m_ending = false;
    m_readings = {};
    m_readings.address = m_options.address;
    PortReading &port = m_readings.port;
    port.name = m_options.port;
    port.network = serial::IsNetworkPortName(m_options.port);

    emit reading(int(Check::Port));
    if (!port.network) {
#if defined(Q_OS_UNIX)
        port.exists = QFileInfo::exists(m_options.port);
        port.group = QFileInfo(m_options.port).group();
#endif
#if defined(Q_OS_LINUX)
        port.holders = serial::FindHolders(m_options.port, m_options.procRoot);
#else
        port.holdersKnown = false;
#endif
        emit reading(int(Check::Adapter));
        m_readings.adapter = ReadAdapter(m_options.port, m_options.sysRoot);
        emit reading(int(Check::Counters));
        CounterReader &counters = m_options.counters ? *m_options.counters : m_driverCounters;
        m_readings.counters.known = counters.available();
        if (m_readings.counters.known && port.exists)
            m_readings.counters.before = counters.read(m_options.port, &m_readings.counters.why);
    }

    m_port.setPortName(m_options.port);
    m_port.setLineSettings(bus::PortSettings(m_options.settings));
    const serial::OpenResult result = m_port.open();
    if (result == serial::OpenResult::Connecting) {
        connect(&m_port, &serial::CommPort::opened, this, &LineCheck::opened,
                Qt::SingleShotConnection);
        connect(
            &m_port, &serial::CommPort::openFailed, this, [this] { opened(); },
            Qt::SingleShotConnection);
        return;
    }
    opened();
}

void LineCheck::opened()
{
    PortReading &port = m_readings.port;
    if (!m_port.isOpen()) {
        const serial::OpenResult result = serial::OpenResultOf(m_port.failure().kind);
        port.open = result == serial::OpenResult::Ok ? serial::OpenResult::Other : result;
        if (!port.exists)
            port.open = serial::OpenResult::NoSuchPort;
        port.openError = m_port.errorText();
        end();
        return;
    }
    port.open = serial::OpenResult::Ok;
    if (m_options.rs485.enabled) {
        if (const std::optional<QString> refused = m_port.setRs485(m_options.rs485)) {
            port.open = serial::OpenResult::Other;
            port.openError = *refused;
            end();
            return;
        }
    }
    m_line = std::make_unique<bus::PortLine>(m_port);
    // Listen before anything is sent: whatever comes now, nobody asked for.
    emit reading(int(Check::Idle));
    m_readings.idle = IdleReading{m_options.idleMs, 0, {}};
    connect(m_line.get(), &bus::Line::received, this, [this](const QByteArray &chunk) {
        if (!m_idle.isActive())
            return;
        IdleReading &idle = *m_readings.idle;
        idle.bytes += chunk.size();
        idle.sample += chunk.left(IdleReading::KeptBytes - idle.sample.size());
        emit heard(chunk);
    });
    m_idle.start(m_options.idleMs);
}

void LineCheck::listened()
{
    m_master = std::make_unique<bus::Master>(*m_line);
    m_master->setPacing({m_options.pauseMs, m_options.timeoutMs, 0});
    m_master->setEcho(m_options.echo);
    connect(m_master.get(), &bus::Master::wrote, this, &LineCheck::wrote);
    connect(m_master.get(), &bus::Master::heard, this, &LineCheck::heard);
    m_tries = m_options.tries.isEmpty() ? SearchOrder(m_options.settings) : m_options.tries;
    m_tries.removeAll(m_options.settings);
    m_tries.prepend(m_options.settings);
    // A network port has the gateway's rate: only the one setting.
    if (m_port.isNetworkPort())
        m_tries = {m_options.settings};
    m_tryIndex = 0;
    m_attempts = 0;
    emit reading(int(Check::Module));
    trySetting();
}

void LineCheck::trySetting()
{
    if (m_stopping || m_tryIndex >= m_tries.size()) {
        end();
        return;
    }
    const bus::LineSettings settings = m_tries.at(m_tryIndex);
    if (m_attempts == 0) {
        if (!m_port.isNetworkPort() && !m_master->setLineSettings(settings)) {
            ++m_tryIndex; // a format this line cannot take (a parity on a pseudo-terminal)
            trySetting();
            return;
        }
        m_readings.tries << RateTry{settings, 0, 0, 0, false};
    }
    bus::Transaction t;
    t.request = bus::StateRead(m_options.address);
    t.retries = 0;
    m_readings.exchanged = true;
    m_master->submit(t, [this, settings](const bus::Outcome &o) {
        RateTry &rt = m_readings.tries.last();
        ++rt.asked;
        ++m_attempts;
        if (o.portFailed) {
            m_readings.port.open = serial::OpenResult::Other;
            m_readings.port.openError = m_line->failure();
            end();
            return;
        }
        const bool there = o.answered() || o.check.verdict == modbus::Verdict::Exception;
        if (there) {
            rt.answered = true;
            m_readings.found = settings;
            emit reading(int(Check::Times));
            ReadSeries series;
            series.settings = settings;
            const modbus::CharacterFormat format = settings.format();
            series.expectedMs = modbus::Ms(modbus::WireTime(8 + modbus::RegisterAnswerLength,
                                                            settings.rate, format)) +
                                modbus::TurnaroundMs;
            m_readings.reads << series;
            readNext();
            return;
        }
        if (o.silent() || o.onlyEcho)
            ++rt.silent;
        else
            ++rt.garbled;
        // Noise may have hit this one request or answer: the setting asked for, and one where
        // garbled bytes came, are asked again before the next is tried; a silent one is not.
        const bool again =
            (m_tryIndex == 0 || rt.garbled > 0) && m_attempts < m_options.attemptsPerSetting;
        if (!again) {
            ++m_tryIndex;
            m_attempts = 0;
        }
        trySetting();
    });
}

void LineCheck::readNext()
{
    ReadSeries &series = m_readings.reads.last();
    if (m_stopping || series.asked >= m_options.reads) {
        end();
        return;
    }
    bus::Transaction t;
    t.request = bus::StateRead(m_options.address);
    t.retries = 0;
    m_master->submit(t, [this](const bus::Outcome &o) {
        ReadSeries &series = m_readings.reads.last();
        ++series.asked;
        if (o.portFailed) {
            m_readings.port.open = serial::OpenResult::Other;
            m_readings.port.openError = m_line->failure();
            end();
            return;
        }
        if (o.answered() || o.check.verdict == modbus::Verdict::Exception) {
            series.timesMs << o.doneMs - o.sentMs;
        } else if (o.silent() || o.onlyEcho) {
            ++series.silences;
        } else {
            ++series.garbled;
            if (o.check.verdict == modbus::Verdict::BadCrc)
                ++series.crcErrors;
        }
        readNext();
    });
}

void LineCheck::end()
{
    if (!m_running || m_ending)
        return;
    // Called from inside the master's callbacks and the port's signals: the master, the line and
    // the port are let go of once those have returned.
    m_ending = true;
    m_idle.stop();
    QMetaObject::invokeMethod(this, &LineCheck::wrapUp, Qt::QueuedConnection);
}

void LineCheck::wrapUp()
{
    if (m_master)
        m_readings.echo = m_master->lineEchoes();
    m_master.reset();
    m_line.reset();
    m_port.close();
    if (!m_readings.port.network && m_readings.counters.known && m_readings.counters.before) {
        CounterReader &counters = m_options.counters ? *m_options.counters : m_driverCounters;
        m_readings.counters.after = counters.read(m_options.port, &m_readings.counters.why);
    }
    m_running = false;
    m_ending = false;
    emit finished();
}

void LineCheck::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    // Before anything was sent there is no exchange to wait for.
    if (m_idle.isActive() || !m_master || !m_master->busy())
        end();
}

} // namespace linecheck
