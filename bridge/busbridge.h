#pragma once

#include "bridge/config.h"
#include "bridge/topics.h"
#include "link/master.h"
#include "link/poller.h"
#include "link/portline.h"
#include "serial/commport.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace bridge {

// One bus: its port, its one master and the poller that reads every module in turn. Commands
// from the broker go through the poller (before any poll, each followed by a state read); what
// is published is what the modules answered, and only what changed since it was last published.
class BusBridge : public QObject
{
    Q_OBJECT
public:
    BusBridge(const BusConfig &config, const Topics &topics, QObject *parent = nullptr);
    ~BusBridge() override;

    const BusConfig &config() const { return m_config; }

    // Opens the port (again after a failure, with back-off), applies the fail-safe at start
    // once, and polls.
    void start();
    // No more polls or commands; the fail-safe at stop is applied, and done follows once the
    // bus is quiet (or after a few seconds).
    void stop(std::function<void()> done);

    // The broker is lost: the fail-safe for that follows after its time unless brokerBack().
    void brokerLost();
    void brokerBack();
    // Every module's availability and state, published again (after a reconnect).
    void republish();

    void channelSet(std::uint8_t address, int channel, const QString &topic,
                    const QByteArray &payload);
    void moduleSet(std::uint8_t address, const QString &topic, const QByteArray &payload);

signals:
    void publish(const QString &topic, const QByteArray &payload);
    // A payload refused, or a command the module did not confirm.
    void error(const QString &topic, const QByteArray &payload, const QString &reason);
    void log(const QString &text);

private:
    struct Published
    {
        std::optional<bool> online;
        std::optional<std::uint16_t> bits;
    };

    void open();
    void opened();
    void openFailed(const QString &reason);
    void portLost(const QString &reason);
    void allOff(const QString &why);
    void sync(std::uint8_t address);
    void command(std::uint8_t address, const QByteArray &request, const QString &topic,
                 const QByteArray &payload);
    const ModuleConfig *module(std::uint8_t address) const;
    QString noAnswer(const bus::Outcome &outcome) const;

    BusConfig m_config;
    Topics m_topics;
    serial::CommPort m_port;
    std::unique_ptr<bus::PortLine> m_line;
    std::unique_ptr<bus::Master> m_master;
    std::unique_ptr<bus::Poller> m_poller;
    std::map<std::uint8_t, Published> m_published;
    QTimer m_reopen;
    int m_reopenMs = 1000;
    QTimer m_brokerLost;
    bool m_startApplied = false;
    bool m_stopping = false;
    bool m_portLostSaid = false;
    bool m_portOpen = false;
    QString m_portProblem; // why the port is not open
};

} // namespace bridge
