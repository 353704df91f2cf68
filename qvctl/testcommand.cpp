#include "qvctl/testcommand.h"

#include "qvctl/watch.h"

#include "qvctl/interrupt.h"
#include "qvctl/outputs.h"

#include "moduletest/reports.h"
#include "moduletest/runner.h"
#include "protocol/baud.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace qvctl {

namespace {

QCommandLineOption Option(const char *name, const char *description, const char *value = nullptr)
{
    return value ? QCommandLineOption(QLatin1String(name), QLatin1String(description),
                                      QLatin1String(value))
                 : QCommandLineOption(QLatin1String(name), QLatin1String(description));
}

const QList<QCommandLineOption> &Options()
{
    static const QList<QCommandLineOption> options{
        Option("steps",
               "test: the steps, comma-separated: comm, channels, all, patterns, timed, "
               "config (default all but config).",
               "LIST"),
        Option("cycles", "test: repeat the channel and pattern steps N times (default 1).", "N"),
        Option("duration",
               "test: repeat them for S seconds instead; monitor: listen for S seconds.", "S"),
        Option("addresses", "test: the modules to test, such as 3,7 or 1-10 (default --address).",
               "LIST"),
        Option("scan", "test: test every module a scan finds; a range FROM-TO may follow the "
                       "command (default 1-255)."),
        Option("max-failures", "test: stop after M failures (default: never).", "M"),
        Option("junit", "test: write a JUnit XML report to FILE.", "FILE"),
        Option("csv", "test: write a CSV report to FILE.", "FILE"),
        Option("time", "test: the time of the timed functions in seconds (default 0.5).", "S"),
        Option("tolerance", "test: how far a timed change may be off, in ms (default 150).", "MS"),
    };
    return options;
}

std::optional<int> Whole(const QString &text, int low, int high)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch() || text.toInt() < low || text.toInt() > high)
        return std::nullopt;
    return text.toInt();
}

// How long an interrupted test may take to switch its relays off.
constexpr int StopGraceMs = 3000;

} // namespace

QList<QCommandLineOption> TestOptions()
{
    return Options();
}

std::optional<QString> ReadModuleChoice(const QCommandLineParser &parser, const QStringList &args,
                                        Invocation &in)
{
    const auto value = [&](const char *name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&](const char *name) { return parser.isSet(QLatin1String(name)); };
    moduletest::Settings &s = in.test;
    QString error;
    if (isSet("addresses") && isSet("scan"))
        return QStringLiteral("--addresses and --scan: give one of them");
    if (isSet("addresses")) {
        const auto addresses = moduletest::ParseAddresses(value("addresses"), &error);
        if (!addresses)
            return QStringLiteral("--addresses: %1").arg(error);
        s.addresses = *addresses;
    }
    if (!args.isEmpty() && !isSet("scan"))
        return QStringLiteral("%1 takes no arguments (a range only after --scan)")
            .arg(CommandName(in.command));
    if (isSet("scan")) {
        s.scan = true;
        if (args.size() > 1)
            return QStringLiteral("--scan takes at most one range: --scan 1-32");
        if (!args.isEmpty()) {
            const auto range = moduletest::ParseAddresses(args[0], &error);
            if (!range || args[0].contains(u','))
                return QStringLiteral("--scan: not a range FROM-TO within 1-255: %1").arg(args[0]);
            s.scanFrom = range->front();
            s.scanTo = range->back();
        }
    }
    return std::nullopt;
}

std::optional<QString> ReadTestOptions(const QCommandLineParser &parser, const QStringList &args,
                                       Invocation &in)
{
    if (in.command == Command::Watch)
        return ReadWatchOptions(parser, args, in);
    if (in.command != Command::Test) {
        for (const QCommandLineOption &option : Options()) {
            const bool shared = in.command == Command::Monitor &&
                                option.names().front() == QLatin1String("duration");
            if (parser.isSet(option) && !shared)
                return QStringLiteral("--%1 belongs to test only").arg(option.names().front());
        }
        return std::nullopt;
    }
    moduletest::Settings &s = in.test;
    const auto value = [&](const char *name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&](const char *name) { return parser.isSet(QLatin1String(name)); };
    s.channelCount = in.channelCount;
    s.model = in.model;
    s.timeoutMs = in.timeoutMs;
    s.addresses = {in.address};
    if (in.address == 0)
        return QStringLiteral("test needs the address of a module (1..255), not the broadcast "
                              "address 0");
    QString error;
    if (isSet("steps")) {
        const auto steps = moduletest::ParseSteps(value("steps"), &error);
        if (!steps)
            return QStringLiteral("--steps: %1").arg(error);
        s.steps = *steps;
    }
    if (isSet("cycles") && isSet("duration"))
        return QStringLiteral("--cycles and --duration: give one of them");
    if (isSet("cycles")) {
        const auto n = Whole(value("cycles"), 1, 100000000);
        if (!n)
            return QStringLiteral("--cycles: not a number of cycles: %1").arg(value("cycles"));
        s.cycles = *n;
    }
    if (isSet("duration")) {
        const auto seconds = ParseDuration(value("duration"));
        if (!seconds)
            return QStringLiteral("--duration: not a time in seconds: %1").arg(value("duration"));
        s.durationS = *seconds;
    }
    if (isSet("max-failures")) {
        const auto n = Whole(value("max-failures"), 1, 100000000);
        if (!n)
            return QStringLiteral("--max-failures: not a number: %1").arg(value("max-failures"));
        s.maxFailures = *n;
    }
    if (isSet("time")) {
        const auto tenths = ParseSeconds(value("time"));
        if (!tenths)
            return QStringLiteral("--time: not a time of 0.1..6553.5 seconds: %1")
                .arg(value("time"));
        s.timedTenths = *tenths;
    }
    if (isSet("tolerance")) {
        const auto ms = Whole(value("tolerance"), 0, 600000);
        if (!ms)
            return QStringLiteral("--tolerance: not a time in ms: %1").arg(value("tolerance"));
        s.toleranceMs = *ms;
    }
    if (const auto problem = ReadModuleChoice(parser, args, in))
        return problem;
    in.junitPath = value("junit");
    in.csvPath = value("csv");
    return std::nullopt;
}

Exit RemoveEarlierReports(const Invocation &in, const std::function<void(const QString &)> &err)
{
    for (const QString &path : {in.junitPath, in.csvPath}) {
        const QString reason = RemoveEarlierFile(path);
        if (!reason.isEmpty()) {
            err(QStringLiteral("qvctl: cannot remove the earlier %1: %2\n").arg(path, reason));
            return Exit::Port;
        }
    }
    return Exit::Done;
}

Exit RunModuleTest(const Invocation &in, bus::Master &master,
                   const std::function<void(const QString &)> &out,
                   const std::function<void(const QString &)> &err)
{
    moduletest::Runner runner(master, in.test);
    QEventLoop loop;
    QObject::connect(&runner, &moduletest::Runner::finished, &loop, &QEventLoop::quit);
    QObject::connect(&runner, &moduletest::Runner::moduleStarted, &loop, [&](std::uint8_t a) {
        err(QStringLiteral("qvctl: testing address %1\n").arg(a));
    });
    QObject::connect(&runner, &moduletest::Runner::found, &loop, [&](std::uint8_t a) {
        err(QStringLiteral("qvctl: found address %1\n").arg(a));
    });
    QObject::connect(&runner, &moduletest::Runner::failureFound, &loop,
                     [&](std::uint8_t a, const moduletest::Failure &f) {
                         err(QStringLiteral("qvctl: address %1, cycle %2: %3\n")
                                 .arg(a)
                                 .arg(f.cycle)
                                 .arg(f.message));
                     });
    QObject::connect(&runner, &moduletest::Runner::progress, &loop,
                     [&](double fraction, double left) {
                         // The end is shown only for a test that got there.
                         const moduletest::Report &r = runner.report();
                         if (fraction >= 1 && (r.stopped || !r.portFailure.isEmpty()))
                             return;
                         err(QStringLiteral("qvctl: %1%, %2 s left\n")
                                 .arg(int(std::min(fraction, 1.0) * 100))
                                 .arg(qRound(left)));
                     });
    if (in.verbose)
        QObject::connect(&runner, &moduletest::Runner::traffic, &loop, [&](const QString &t) {
            err(QStringLiteral("%1 %2\n").arg(
                QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")), t));
        });

    // Ctrl+C, SIGTERM or SIGHUP: the step under way ends as a stop ends it, every channel off;
    // a second signal ends at once.
    InterruptGuard guard("\nqvctl: interrupted again: ended at once, relays may still be on\n",
                         int(Exit::Stopped));
    int signal = 0;
    bool overdue = false;
    QTimer watch;
    watch.setInterval(20);
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&grace, &QTimer::timeout, &loop, [&] {
        overdue = true;
        loop.quit();
    });
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (signal || !InterruptGuard::caught())
            return;
        signal = InterruptGuard::caught();
        err(QStringLiteral("\nqvctl: %1: switching every relay off\n")
                .arg(QLatin1String(InterruptGuard::name(signal))));
        runner.stop(QStringLiteral("interrupted by %1").arg(InterruptGuard::name(signal)));
        grace.start(StopGraceMs);
    });
    watch.start();
    runner.start();
    if (runner.running())
        loop.exec();
    watch.stop();
    grace.stop();

    moduletest::Report &report = runner.report();
    report.program = QStringLiteral("qvctl");
    report.version = QCoreApplication::applicationVersion();
    report.port = in.port;
    if (signal) {
        report.interrupted = true;
        report.stopped = true;
        report.stopReason = QStringLiteral("interrupted by %1").arg(InterruptGuard::name(signal));
        if (overdue)
            report.seconds = report.started.msecsTo(QDateTime::currentDateTime()) / 1000.0;
    }
    out(in.json ? QString::fromUtf8(moduletest::Json(report)) : moduletest::SummaryText(report));
    bool unwritten = false;
    for (const auto &[path, bytes] :
         {std::pair{in.junitPath,
                    in.junitPath.isEmpty() ? QByteArray() : moduletest::JUnitXml(report)},
          std::pair{in.csvPath, in.csvPath.isEmpty() ? QByteArray() : moduletest::Csv(report)}}) {
        if (path.isEmpty())
            continue;
        const QString reason = WriteWhole(path, bytes);
        if (!reason.isEmpty()) {
            err(QStringLiteral("qvctl: cannot write %1: %2\n").arg(path, reason));
            unwritten = true;
        }
    }

    if (signal) {
        const bool off = !overdue && runner.channelsOffConfirmed() && report.portFailure.isEmpty();
        err(off ? QStringLiteral("qvctl: interrupted: every relay is off\n")
                : QStringLiteral("qvctl: interrupted: the relays could not be confirmed off, they "
                                 "may still be on\n"));
    }
    if (!report.portFailure.isEmpty()) {
        err(QStringLiteral("qvctl: the port failed: %1\n").arg(report.portFailure));
        return Exit::Port;
    }
    // A report that did not arrive leaves nothing to trust, whatever the test found.
    if (unwritten)
        return Exit::Port;
    if (signal)
        return Exit::Stopped;
    bool failedStep = false, silent = report.modules.empty();
    for (const moduletest::ModuleResult &m : report.modules) {
        failedStep = failedStep || (m.answered && m.failureCount > 0);
        silent = silent || !m.answered;
    }
    if (failedStep)
        return Exit::WrongAnswer;
    if (silent)
        return Exit::NoAnswer;
    return Exit::Done;
}

} // namespace qvctl
