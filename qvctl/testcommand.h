#pragma once

#include "link/master.h"
#include "qvctl/invocation.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qvctl {

// `qvctl test`: the module test of every channel, from the command line.

// The options only test takes: --steps, --cycles, --duration, --addresses, --scan,
// --max-failures, --junit, --csv, --time, --tolerance.
QList<QCommandLineOption> TestOptions();

// Reads --addresses A,B-C or --scan [FROM-TO] (args: what follows the command) into
// in.test, for test and watch; the message of a usage error otherwise.
std::optional<QString> ReadModuleChoice(const QCommandLineParser &parser, const QStringList &args,
                                        Invocation &in);

// Reads the test's options and arguments (args: what follows the word test, a scan range)
// into in.test; the message of a usage error otherwise. For another command, refuses any of
// the test's options.
std::optional<QString> ReadTestOptions(const QCommandLineParser &parser, const QStringList &args,
                                       Invocation &in);

// Removes report files (regular files only) that an earlier run left at the paths of --junit and
// --csv, before the port is opened, so that an old "passed" is never read as this run's. 3 when
// one cannot be removed.
Exit RemoveEarlierReports(const Invocation &in, const std::function<void(const QString &)> &err);

// Runs the test through the open port's master: progress on err, the summary (or the JSON report
// with --json) on out, the JUnit and CSV files where asked (written straight into what is not a
// regular file). 0 all passed, 4 a step failed, 1 a module did not answer, 3 the port failed or a
// report could not be written (before 4), 5 interrupted by a signal (every relay switched off
// first).
Exit RunModuleTest(const Invocation &in, bus::Master &master,
                   const std::function<void(const QString &)> &out,
                   const std::function<void(const QString &)> &err);

} // namespace qvctl
