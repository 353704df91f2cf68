#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace qvctl {

// qvctl monitor: listens to a line without sending anything and prints one line per frame as it
// arrives, the statistics at the end (also on Ctrl+C).
//
//   qvctl monitor --port P [--baud R] [--duration S] [--format text|csv|jsonl] [--pcap FILE]
//                 [--stats] [--timeout MS]

// Whether the command line asks for the monitor (its command word is "monitor").
bool IsMonitorCommand(const QStringList &arguments);

// Runs it; returns the exit status (0 done, 2 usage, 3 the port).
int RunMonitor(const QStringList &arguments, const std::function<void(const QString &)> &out,
               const std::function<void(const QString &)> &err);

} // namespace qvctl
