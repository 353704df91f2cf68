#include "bridge/service.h"

#include "bridge/payload.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTimer>

namespace bridge {

namespace {
constexpr int GoodbyeDeadlineMs = 2000;
}

Service::Service(const Config &config, QString version, QObject *parent)
    : QObject(parent), m_config(config), m_version(std::move(version)), m_topics(config.prefix)
{
    for (int b = 0; b < m_config.buses.size(); ++b) {
        const BusConfig &bus = m_config.buses.at(b);
        for (const ModuleConfig &m : bus.modules) {
            m_routes.insert(m_topics.moduleSet(bus.name, m.address), {b, m.address, 0});
            for (int c = 1; c <= m.channelCount; ++c)
                m_routes.insert(m_topics.channelSet(bus.name, m.address, c), {b, m.address, c});
        }
        auto bridge = std::make_unique<BusBridge>(bus, m_topics);
        connect(bridge.get(), &BusBridge::publish, this, &Service::publish);
        connect(bridge.get(), &BusBridge::error, this, &Service::refuse);
        connect(bridge.get(), &BusBridge::log, this, &Service::log);
        m_buses.push_back(std::move(bridge));
    }
}

Service::~Service() = default;

QString Service::start()
{
    MqttClient::Options o;
    o.host = m_config.broker.host;
    o.port = m_config.broker.port;
    o.tls = m_config.broker.tls;
    o.caFile = m_config.broker.caFile;
    o.user = m_config.broker.user;
    o.password = m_config.broker.password;
    o.clientId = m_config.broker.clientId;
    o.keepAliveSeconds = m_config.broker.keepAliveSeconds;
    o.willTopic = m_topics.bridgeAvailability();
    o.willPayload = "offline";
    m_mqtt = std::make_unique<MqttClient>(o);
    connect(m_mqtt.get(), &MqttClient::connected, this, &Service::onConnected);
    connect(m_mqtt.get(), &MqttClient::refused, this, &Service::onRefused);
    connect(m_mqtt.get(), &MqttClient::disconnected, this, &Service::onDisconnected);
    connect(m_mqtt.get(), &MqttClient::message, this, &Service::onMessage);
    connect(m_mqtt.get(), &MqttClient::unreachable, this, [this](const QString &reason, int ms) {
        const bool tlsTrouble = m_config.broker.tls && reason.contains(QLatin1String("SSL"));
        emit log(QStringLiteral("cannot connect to the broker: %1%2; trying again in %3 s")
                     .arg(reason, tlsTrouble
                                      ? QStringLiteral(" (check ca_file, and that the broker's "
                                                       "certificate names the host %1)")
                                            .arg(m_config.broker.host)
                                      : QString())
                     .arg(ms / 1000.0));
    });
    emit log(QStringLiteral("connecting to the broker at %1:%2%3%4")
                 .arg(o.host)
                 .arg(o.port)
                 .arg(o.tls ? QStringLiteral(" over TLS") : QString())
                 .arg(o.user.isEmpty() ? QString() : QStringLiteral(" as %1").arg(o.user)));
    return m_mqtt->start();
}

void Service::onConnected()
{
    emit log(m_everConnected ? QStringLiteral("connected to the broker again: publishing every "
                                              "state")
                             : QStringLiteral("connected to the broker"));
    publish(m_topics.bridgeAvailability(), "online");
    for (const BusConfig &bus : m_config.buses) {
        m_mqtt->subscribe(QStringLiteral("%1/%2/+/set").arg(m_config.prefix, bus.name));
        m_mqtt->subscribe(QStringLiteral("%1/%2/+/+/set").arg(m_config.prefix, bus.name));
    }
    if (m_config.discovery) {
        // The configuration messages on the broker come first after the subscription, then the
        // marker: once it is back, every retained one has been seen.
        m_found.clear();
        m_collecting = true;
        m_marker = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        m_mqtt->subscribe(DiscoveryFilter(m_config));
        m_mqtt->subscribe(m_topics.prefix() + QStringLiteral("/bridge/sync"));
        m_mqtt->publish(m_topics.prefix() + QStringLiteral("/bridge/sync"), m_marker, false);
    }
    if (!m_everConnected) {
        m_everConnected = true;
        for (auto &bus : m_buses)
            bus->start();
    } else {
        for (auto &bus : m_buses) {
            bus->brokerBack();
            bus->republish();
        }
    }
}

void Service::onRefused(int code, const QString &reason)
{
    const QString text =
        QStringLiteral("the broker at %1:%2 refused the bridge: %3 (code %4)%5")
            .arg(m_config.broker.host)
            .arg(m_config.broker.port)
            .arg(reason)
            .arg(code)
            .arg(code == 4 || code == 5
                     ? (m_config.broker.user.isEmpty()
                            ? QStringLiteral("; no user is configured in [broker]")
                            : QStringLiteral("; check user '%1' and the password file %2")
                                  .arg(m_config.broker.user, m_config.broker.passwordFile))
                     : QString());
    // Credentials refused before the bridge was ever accepted: the configuration is wrong.
    // Nothing has been sent to any bus yet, and nothing will be. (A broker that is only
    // unavailable for now is tried again.)
    const bool credentials = code == 4 || code == 5;
    if (!m_everConnected && credentials) {
        emit fatal(text);
        return;
    }
    emit log(text + QStringLiteral("; trying again"));
}

void Service::onDisconnected(const QString &reason)
{
    m_collecting = false;
    if (m_stopping)
        return;
    emit log(QStringLiteral("lost the broker: %1; reconnecting").arg(reason));
    for (auto &bus : m_buses)
        bus->brokerLost();
}

void Service::onMessage(const QString &topic, const QByteArray &payload, bool retained)
{
    if (m_collecting) {
        if (topic == m_topics.prefix() + QStringLiteral("/bridge/sync")) {
            if (payload == m_marker)
                finishDiscovery();
            return;
        }
        if (topic.startsWith(m_config.discoveryPrefix + u'/') && topic.endsWith(u"/config")) {
            m_found << Message{topic, payload};
            return;
        }
    }
    const auto it = m_routes.constFind(topic);
    if (it == m_routes.constEnd()) {
        if (topic.endsWith(QStringLiteral("/set")))
            refuse(topic, payload,
                   QStringLiteral("no configured module or channel has this topic"));
        return;
    }
    if (retained) {
        // A command left retained on the broker would switch again at every reconnect.
        refuse(topic, payload, QStringLiteral("a retained command is not carried out"));
        return;
    }
    BusBridge &bus = *m_buses.at(std::size_t(it->bus));
    if (it->channel == 0)
        bus.moduleSet(it->address, topic, payload);
    else
        bus.channelSet(it->address, it->channel, topic, payload);
}

void Service::finishDiscovery()
{
    m_collecting = false;
    m_mqtt->unsubscribe(DiscoveryFilter(m_config));
    m_mqtt->unsubscribe(m_topics.prefix() + QStringLiteral("/bridge/sync"));
    const QStringList stale = StaleTopics(m_config, m_found);
    for (const QString &topic : stale)
        publish(topic, {});
    if (!stale.isEmpty())
        emit log(QStringLiteral("removed %1 retained topics of modules no longer configured")
                     .arg(stale.size()));
    for (const Message &m : DiscoveryMessages(m_config, m_version))
        publish(m.topic, m.payload);
}

void Service::publish(const QString &topic, const QByteArray &payload)
{
    // Everything is retained but the errors; what cannot be sent now is sent again at the
    // reconnect (every state is republished then).
    if (m_mqtt)
        m_lastMessageId = m_mqtt->publish(topic, payload, topic != m_topics.bridgeError());
}

void Service::refuse(const QString &topic, const QByteArray &payload, const QString &reason)
{
    emit log(QStringLiteral("refused %1: %2").arg(topic, reason));
    const QJsonObject error{{QStringLiteral("topic"), topic},
                            {QStringLiteral("payload"), QuotedPayload(payload)},
                            {QStringLiteral("reason"), reason}};
    publish(m_topics.bridgeError(), QJsonDocument(error).toJson(QJsonDocument::Compact));
}

void Service::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    auto left = std::make_shared<int>(int(m_buses.size()));
    const auto busDone = [this, left] {
        if (--*left == 0)
            disconnectNow();
    };
    if (m_buses.empty()) {
        disconnectNow();
        return;
    }
    for (auto &bus : m_buses)
        bus->stop(busDone);
}

void Service::disconnectNow()
{
    if (!m_mqtt || !m_mqtt->isConnected()) {
        if (m_mqtt)
            m_mqtt->stop();
        emit finished();
        return;
    }
    // The last will is only for a bridge lost; one that stops says it is offline itself, and
    // waits for the broker to take that before it disconnects.
    publish(m_topics.bridgeAvailability(), "offline");
    const int id = m_lastMessageId;
    auto done = std::make_shared<bool>(false);
    const auto finish = [this, done] {
        if (*done)
            return;
        *done = true;
        m_mqtt->stop();
        emit finished();
    };
    connect(m_mqtt.get(), &MqttClient::published, this, [id, finish](int mid) {
        if (mid == id)
            finish();
    });
    QTimer::singleShot(GoodbyeDeadlineMs, this, finish);
}

} // namespace bridge
