#include "bridge/discovery.h"

#include "bridge/topics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace bridge {

namespace {

QString Node(const Config &config, const BusConfig &bus, const ModuleConfig &module)
{
    return QStringLiteral("%1_%2_%3")
        .arg(QString(config.prefix).replace(u'/', u'_'), bus.name)
        .arg(module.address);
}

QJsonObject Topic(const QString &topic)
{
    return QJsonObject{{QStringLiteral("topic"), topic}};
}

} // namespace

QList<Message> DiscoveryMessages(const Config &config, const QString &version)
{
    const Topics topics(config.prefix);
    QList<Message> messages;
    for (const BusConfig &bus : config.buses) {
        for (const ModuleConfig &module : bus.modules) {
            const QString node = Node(config, bus, module);
            const QJsonObject device{
                {QStringLiteral("identifiers"), QJsonArray{node}},
                {QStringLiteral("name"), module.name},
                {QStringLiteral("model"), module.model},
                {QStringLiteral("sw_version"), version},
            };
            const QJsonArray availability{
                Topic(topics.bridgeAvailability()),
                Topic(topics.availability(bus.name, module.address)),
            };
            for (int c = 1; c <= module.channelCount; ++c) {
                const QJsonObject payload{
                    {QStringLiteral("name"), module.channelNames.value(c - 1)},
                    {QStringLiteral("has_entity_name"), true},
                    {QStringLiteral("unique_id"), QStringLiteral("%1_%2").arg(node).arg(c)},
                    {QStringLiteral("command_topic"),
                     topics.channelSet(bus.name, module.address, c)},
                    {QStringLiteral("state_topic"), topics.state(bus.name, module.address, c)},
                    {QStringLiteral("payload_on"), QStringLiteral("ON")},
                    {QStringLiteral("payload_off"), QStringLiteral("OFF")},
                    {QStringLiteral("availability"), availability},
                    {QStringLiteral("availability_mode"), QStringLiteral("all")},
                    {QStringLiteral("qos"), 1},
                    {QStringLiteral("optimistic"), false},
                    {QStringLiteral("device"), device},
                };
                messages << Message{QStringLiteral("%1/switch/%2/%3/config")
                                        .arg(config.discoveryPrefix, node)
                                        .arg(c),
                                    QJsonDocument(payload).toJson(QJsonDocument::Compact)};
            }
        }
    }
    return messages;
}

QString DiscoveryFilter(const Config &config)
{
    return config.discoveryPrefix + QStringLiteral("/switch/+/+/config");
}

QStringList StaleTopics(const Config &config, const QList<Message> &found)
{
    const Topics topics(config.prefix);
    QSet<QString> current;
    QSet<QString> availabilities;
    for (const Message &m : DiscoveryMessages(config, {}))
        current.insert(m.topic);
    for (const BusConfig &bus : config.buses) {
        for (const ModuleConfig &module : bus.modules)
            availabilities.insert(topics.availability(bus.name, module.address));
    }
    const QString own = config.prefix + u'/';
    QStringList stale;
    QSet<QString> listed;
    const auto clear = [&](const QString &topic) {
        if (!listed.contains(topic)) {
            listed.insert(topic);
            stale << topic;
        }
    };
    for (const Message &m : found) {
        if (m.payload.isEmpty() || current.contains(m.topic))
            continue;
        const QJsonObject payload = QJsonDocument::fromJson(m.payload).object();
        const QString state = payload.value(QStringLiteral("state_topic")).toString();
        // Ours: <prefix>/<bus>/<address>/<channel>/state, exactly four levels below the prefix
        // (another bridge's prefix may begin with ours).
        if (!state.startsWith(own) || !state.endsWith(QStringLiteral("/state")) ||
            state.mid(own.size()).split(u'/').size() != 4)
            continue;
        clear(m.topic);
        clear(state);
        for (const QJsonValue &a : payload.value(QStringLiteral("availability")).toArray()) {
            const QString topic = a.toObject().value(QStringLiteral("topic")).toString();
            if (topic.startsWith(own) && topic != topics.bridgeAvailability() &&
                !availabilities.contains(topic))
                clear(topic);
        }
    }
    return stale;
}

} // namespace bridge
