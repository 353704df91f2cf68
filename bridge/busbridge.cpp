#include "bridge/busbridge.h"

#include "bridge/payload.h"
#include "modbus/answer.h"
#include "protocol/requests.h"

#include <algorithm>

namespace bridge {

namespace {
constexpr int ReopenMaxMs = 30000;
constexpr int StopDeadlineMs = 3000;
} // namespace

BusBridge::BusBridge(const BusConfig &config, const Topics &topics, QObject *parent)
    : QObject(parent), m_config(config), m_topics(topics)
{
    m_reopen.setSingleShot(true);
    connect(&m_reopen, &QTimer::timeout, this, &BusBridge::open);
    m_brokerLost.setSingleShot(true);
    connect(&m_brokerLost, &QTimer::timeout, this, [this] {
        allOff(QStringLiteral("the broker has been lost for %1 s")
                   .arg(m_config.brokerLostAfterMs / 1000.0));
    });
    connect(&m_port, &serial::CommPort::opened, this, &BusBridge::opened);
    connect(&m_port, &serial::CommPort::openFailed, this,
            [this](const serial::LineFailure &) { openFailed(m_port.errorText()); });
}

BusBridge::~BusBridge()
{
    m_poller.reset();
    m_master.reset();
    m_line.reset();
    m_port.close();
}

void BusBridge::start()
{
    open();
}

void BusBridge::open()
{
    if (m_stopping)
        return;
    m_port.close();
    m_port.setPortName(m_config.port);
    m_port.setLineSettings(bus::PortSettings(m_config.line));
    switch (m_port.open()) {
    case serial::OpenResult::Ok:
        opened();
        return;
    case serial::OpenResult::Connecting:
        return; // opened() or openFailed() follows
    case serial::OpenResult::NoSuchPort:
        openFailed(QStringLiteral("no such port"));
        return;
    case serial::OpenResult::Busy:
        openFailed(QStringLiteral("the port is in use by another program"));
        return;
    case serial::OpenResult::NoPermission:
        openFailed(QStringLiteral("no permission: the bridge's user belongs in the group dialout"));
        return;
    case serial::OpenResult::Other:
        openFailed(m_port.errorText());
        return;
    }
}

void BusBridge::opened()
{
    if (m_stopping) {
        m_port.close();
        return;
    }
    m_reopenMs = 1000;
    m_portLostSaid = false;
    m_portOpen = true;
    m_portProblem.clear();
    emit log(QStringLiteral("bus %1: opened %2 at %3 baud %4")
                 .arg(m_config.name, m_config.port)
                 .arg(m_config.line.rate)
                 .arg(bus::FormatName(m_config.line)));
    m_poller.reset();
    m_master.reset();
    m_line = std::make_unique<bus::PortLine>(m_port);
    m_master = std::make_unique<bus::Master>(*m_line);
    m_master->setPacing({0, m_config.timeoutMs, m_config.retries});
    m_master->setEcho(m_config.echo);
    connect(m_master.get(), &bus::Master::failed, this, &BusBridge::portLost);
    connect(m_master.get(), &bus::Master::echoLearned, this, [this](bool echoes) {
        emit log(QStringLiteral("bus %1: the line %2")
                     .arg(m_config.name, echoes ? QStringLiteral("echoes what is sent")
                                                : QStringLiteral("does not echo")));
    });
    bus::Poller::Options options;
    // The interval is a round over every module: each is read once in it.
    options.intervalMs =
        m_config.pollIntervalMs / int(std::max<qsizetype>(1, m_config.modules.size()));
    options.missesOffline = 3;
    m_poller = std::make_unique<bus::Poller>(*m_master, options);
    QList<std::pair<std::uint8_t, int>> modules;
    for (const ModuleConfig &m : m_config.modules)
        modules.append({m.address, m.channelCount});
    m_poller->setModules(modules);
    connect(m_poller.get(), &bus::Poller::changed, this, &BusBridge::sync);
    connect(m_poller.get(), &bus::Poller::roundDone, this, [this] {
        for (const ModuleConfig &m : m_config.modules)
            sync(m.address);
    });
    if (!m_startApplied) {
        m_startApplied = true;
        if (m_config.atStart == FailSafe::AllOff)
            allOff(QStringLiteral("at start"));
    }
    m_poller->start();
}

void BusBridge::openFailed(const QString &reason)
{
    if (!m_portLostSaid)
        emit log(QStringLiteral("bus %1: cannot open %2: %3; trying again")
                     .arg(m_config.name, m_config.port, reason));
    m_portProblem = reason;
    portLost(QString());
}

void BusBridge::portLost(const QString &reason)
{
    if (!reason.isEmpty())
        emit log(QStringLiteral("bus %1: the port failed: %2; opening it again")
                     .arg(m_config.name, reason));
    m_portLostSaid = true;
    m_portOpen = false;
    if (!reason.isEmpty())
        m_portProblem = reason;
    if (m_poller)
        m_poller->stop();
    // No module can answer now: every one is offline until it answers again.
    for (const ModuleConfig &m : m_config.modules) {
        Published &p = m_published[m.address];
        if (p.online != false) {
            p.online = false;
            emit publish(m_topics.availability(m_config.name, m.address), "offline");
        }
    }
    if (m_stopping)
        return;
    m_reopen.start(m_reopenMs);
    m_reopenMs = std::min(m_reopenMs * 2, ReopenMaxMs);
}

void BusBridge::stop(std::function<void()> done)
{
    m_stopping = true;
    m_reopen.stop();
    m_brokerLost.stop();
    if (!m_poller || !m_master || !m_portOpen || m_config.atStop == FailSafe::Leave) {
        if (m_poller)
            m_poller->stop();
        done();
        return;
    }
    m_poller->stop();
    m_master->cancelQueued();
    emit log(QStringLiteral("bus %1: every channel off at stop").arg(m_config.name));
    auto finished = std::make_shared<bool>(false);
    auto left = std::make_shared<int>(int(m_config.modules.size()));
    auto finish = [finished, done] {
        if (!*finished) {
            *finished = true;
            done();
        }
    };
    QTimer::singleShot(StopDeadlineMs, this, finish);
    for (const ModuleConfig &m : m_config.modules) {
        bus::Transaction t;
        t.request = protocol::AllOffRequest(m.address).frame;
        m_master->submit(t, [this, left, finish, address = m.address](const bus::Outcome &o) {
            if (!o.answered())
                emit log(QStringLiteral("bus %1: address %2 did not confirm all off: %3")
                             .arg(m_config.name)
                             .arg(address)
                             .arg(noAnswer(o)));
            if (--*left == 0)
                finish();
        });
    }
}

void BusBridge::brokerLost()
{
    if (m_config.brokerLost == FailSafe::AllOff && !m_stopping)
        m_brokerLost.start(m_config.brokerLostAfterMs);
}

void BusBridge::brokerBack()
{
    m_brokerLost.stop();
}

void BusBridge::republish()
{
    m_published.clear();
    for (const ModuleConfig &m : m_config.modules) {
        if (!m_poller || !m_portOpen) {
            m_published[m.address].online = false;
            emit publish(m_topics.availability(m_config.name, m.address), "offline");
        } else {
            sync(m.address);
        }
    }
}

void BusBridge::allOff(const QString &why)
{
    if (!m_poller || !m_portOpen) {
        emit log(QStringLiteral("bus %1: every channel off %2: not done, the port is not open")
                     .arg(m_config.name, why));
        return;
    }
    emit log(QStringLiteral("bus %1: every channel off: %2").arg(m_config.name, why));
    for (const ModuleConfig &m : m_config.modules) {
        m_poller->command(protocol::AllOffRequest(m.address).frame,
                          [this, address = m.address](const bus::Outcome &o) {
                              if (!o.answered())
                                  emit log(QStringLiteral("bus %1: address %2 did not confirm "
                                                          "all off: %3")
                                               .arg(m_config.name)
                                               .arg(address)
                                               .arg(noAnswer(o)));
                          });
    }
}

void BusBridge::sync(std::uint8_t address)
{
    const ModuleConfig *config = module(address);
    const bus::Poller::Module *m = m_poller && m_portOpen ? m_poller->module(address) : nullptr;
    if (!config || !m)
        return;
    Published &p = m_published[address];
    // Availability is known once the module answered or missed enough polls in a row.
    if (m->online || m->offlineSince.isValid()) {
        if (p.online != m->online) {
            p.online = m->online;
            emit publish(m_topics.availability(m_config.name, address),
                         m->online ? "online" : "offline");
        }
    }
    if (!m->bits)
        return;
    for (int c = 1; c <= config->channelCount; ++c) {
        const std::uint16_t bit = std::uint16_t(1u << (c - 1));
        if (p.bits && ((*p.bits ^ *m->bits) & bit) == 0)
            continue;
        emit publish(m_topics.state(m_config.name, address, c), (*m->bits & bit) ? "ON" : "OFF");
    }
    p.bits = m->bits;
}

const ModuleConfig *BusBridge::module(std::uint8_t address) const
{
    for (const ModuleConfig &m : m_config.modules) {
        if (m.address == address)
            return &m;
    }
    return nullptr;
}

QString BusBridge::noAnswer(const bus::Outcome &outcome) const
{
    if (outcome.portFailed)
        return QStringLiteral("the port failed");
    if (outcome.onlyEcho)
        return QStringLiteral("only the adapter's echo came back: no module answered");
    if (outcome.check.verdict == modbus::Verdict::Incomplete)
        return outcome.silent()
                   ? QStringLiteral("no answer within %1 ms").arg(outcome.timeoutMs)
                   : QStringLiteral("an incomplete answer within %1 ms").arg(outcome.timeoutMs);
    return outcome.check.message;
}

void BusBridge::command(std::uint8_t address, const QByteArray &request, const QString &topic,
                        const QByteArray &payload)
{
    if (m_stopping) {
        emit error(topic, payload, QStringLiteral("the bridge is stopping"));
        return;
    }
    if (!m_poller || !m_portOpen) {
        emit error(topic, payload,
                   QStringLiteral("the port of bus %1 is not open%2: nothing was sent")
                       .arg(m_config.name, m_portProblem.isEmpty()
                                               ? QString()
                                               : QStringLiteral(" (%1)").arg(m_portProblem)));
        return;
    }
    m_poller->command(request, [this, address, topic, payload](const bus::Outcome &o) {
        if (!o.answered())
            emit error(
                topic, payload,
                QStringLiteral("address %1 did not confirm: %2").arg(address).arg(noAnswer(o)));
    });
}

void BusBridge::channelSet(std::uint8_t address, int channel, const QString &topic,
                           const QByteArray &payload)
{
    const Parsed<ChannelCommand> parsed = ParseChannelPayload(payload);
    if (!parsed.command) {
        emit error(topic, payload, parsed.reason);
        return;
    }
    const auto ch = std::uint8_t(channel - 1);
    const protocol::TimeBytes time{std::uint8_t(parsed.command->tenths >> 8),
                                   std::uint8_t(parsed.command->tenths & 0xFF)};
    switch (parsed.command->action) {
    case ChannelAction::On:
    case ChannelAction::Off:
        command(
            address,
            protocol::SwitchRequest(address, ch, parsed.command->action == ChannelAction::On).frame,
            topic, payload);
        return;
    case ChannelAction::Jog:
        command(address,
                protocol::TimedChannelRequest(protocol::TimedAction::Jog, address, ch, time).frame,
                topic, payload);
        return;
    case ChannelAction::DelayOn:
        command(address,
                protocol::TimedChannelRequest(protocol::TimedAction::DelayedOn, address, ch, time)
                    .frame,
                topic, payload);
        return;
    case ChannelAction::DelayOff:
        command(address,
                protocol::TimedChannelRequest(protocol::TimedAction::DelayedOff, address, ch, time)
                    .frame,
                topic, payload);
        return;
    case ChannelAction::Toggle:
        break;
    }
    // A toggle switches from the state the module has now: read first, then switch.
    if (m_stopping || !m_master || !m_portOpen) {
        command(address, {}, topic, payload); // says why nothing is sent
        return;
    }
    bus::Transaction read;
    read.request = bus::StateRead(address);
    m_master->submit(read, [this, address, ch, topic, payload](const bus::Outcome &o) {
        if (!o.answered()) {
            emit error(topic, payload,
                       QStringLiteral("address %1: the state read before the toggle failed: %2; "
                                      "nothing was switched")
                           .arg(address)
                           .arg(noAnswer(o)));
            return;
        }
        const bool on = ((modbus::RegisterValue(o.received) >> ch) & 1u) == 0;
        command(address, protocol::SwitchRequest(address, ch, on).frame, topic, payload);
    });
}

void BusBridge::moduleSet(std::uint8_t address, const QString &topic, const QByteArray &payload)
{
    const ModuleConfig *m = module(address);
    const Parsed<ModuleCommand> parsed = ParseModulePayload(payload, m ? m->channelCount : 8);
    if (!parsed.command) {
        emit error(topic, payload, parsed.reason);
        return;
    }
    switch (parsed.command->action) {
    case ModuleAction::AllOn:
        command(address, protocol::AllOnRequest(address).frame, topic, payload);
        return;
    case ModuleAction::AllOff:
        command(address, protocol::AllOffRequest(address).frame, topic, payload);
        return;
    case ModuleAction::Mask:
        command(address, protocol::MaskRequest(address, parsed.command->mask).frame, topic,
                payload);
        return;
    }
}

} // namespace bridge
