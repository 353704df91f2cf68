#pragma once

#include "bridge/config.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The retained configuration messages through which automation systems find the bridge's
// switches by themselves: one device per module, one switch per channel.
namespace bridge {

struct Message
{
    QString topic;
    QByteArray payload;
    friend bool operator==(const Message &, const Message &) = default;
};

// Every module's switches, one message per channel, under
// <discovery prefix>/switch/<node>/<channel>/config.
QList<Message> DiscoveryMessages(const Config &config, const QString &version);

// The filter under which the bridge finds the configuration messages on the broker.
QString DiscoveryFilter(const Config &config);

// The retained topics to clear, found among the configuration messages on the broker: those
// this bridge published (their state topic is one of its own) for a module or a channel no
// longer configured, with their state topics and the availability of modules gone.
QStringList StaleTopics(const Config &config, const QList<Message> &found);

} // namespace bridge
