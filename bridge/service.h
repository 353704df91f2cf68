#pragma once

#include "bridge/busbridge.h"
#include "bridge/config.h"
#include "bridge/discovery.h"
#include "bridge/mqttclient.h"
#include "bridge/topics.h"

#include <QHash>
#include <QObject>

#include <memory>
#include <vector>

namespace bridge {

// The bridge as a whole: the broker's connection, every bus, the set topics routed to them,
// and the discovery messages kept in step with the configuration.
class Service : public QObject
{
    Q_OBJECT
public:
    Service(const Config &config, QString version, QObject *parent = nullptr);
    ~Service() override;

    // Connects to the broker; the buses are opened once it has accepted the bridge. The error
    // in words when the broker's client cannot even be set up.
    QString start();
    // Applies every bus's fail-safe at stop, says the bridge is offline, disconnects; finished()
    // follows.
    void stop();

signals:
    void log(const QString &text);
    // The broker refused the bridge before it was ever accepted: the configuration is wrong.
    void fatal(const QString &text);
    void finished();

private:
    struct Target
    {
        int bus = 0;
        std::uint8_t address = 0;
        int channel = 0; // 0: the module's own set topic
    };

    void onConnected();
    void onRefused(int code, const QString &reason);
    void onDisconnected(const QString &reason);
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void publish(const QString &topic, const QByteArray &payload);
    void refuse(const QString &topic, const QByteArray &payload, const QString &reason);
    void finishDiscovery();
    void disconnectNow();

    Config m_config;
    QString m_version;
    Topics m_topics;
    std::unique_ptr<MqttClient> m_mqtt;
    std::vector<std::unique_ptr<BusBridge>> m_buses;
    QHash<QString, Target> m_routes;
    bool m_everConnected = false;
    bool m_stopping = false;
    // Discovery: the configuration messages found on the broker until the marker comes back.
    bool m_collecting = false;
    QByteArray m_marker;
    QList<Message> m_found;
    int m_lastMessageId = -1;
};

} // namespace bridge
