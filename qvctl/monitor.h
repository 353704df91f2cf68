#pragma once

#include "qvctl/invocation.h"
#include "serial/commport.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace qvctl {

// `qvctl monitor`: listens to a line without sending anything and prints one line per frame as
// it arrives, the statistics at the end (also on Ctrl+C).

// The options only monitor takes: --format, --pcap, --stats (--duration it shares with test).
QList<QCommandLineOption> MonitorOptions();

// Reads them into in; the message of a usage error otherwise. For another command, refuses them.
std::optional<QString> ReadMonitorOptions(const QCommandLineParser &parser, Invocation &in);

// Listens on an open port until --duration ends, Ctrl+C or the port fails: Done, or Port when
// the port failed or the pcap file could not be written.
Exit RunMonitor(const Invocation &in, serial::CommPort &port,
                const std::function<void(const QString &)> &out,
                const std::function<void(const QString &)> &err);

} // namespace qvctl
