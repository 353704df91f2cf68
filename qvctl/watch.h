#pragma once

#include "link/master.h"
#include "qvctl/invocation.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qvctl {

// `qvctl watch`: the modules of a bus at a glance, for benches without a display. Their states
// are read in turn through the master; a line per module, refreshed in place on a terminal (a
// line per change elsewhere), or with --json one object per module per change.

// Reads watch's options: --addresses or --scan [FROM-TO] (as test takes them) and --duration.
std::optional<QString> ReadWatchOptions(const QCommandLineParser &parser, const QStringList &args,
                                        Invocation &in);

// Watches until --duration ends or Ctrl+C: Done; NoAnswer when a scan found no module; Port
// when the port failed or standard output could not be written.
Exit RunWatch(const Invocation &in, bus::Master &master,
              const std::function<void(const QString &)> &out,
              const std::function<void(const QString &)> &err);

} // namespace qvctl
