// How fast qvctl works a line: prints figures, asserts nothing.
//
//   qvctl-bench [RUNS]
//
// 1. One "on 1" round trip at 9600 baud against quorvane-sim over a pseudo-terminal: the write
//    of the request to the checked echo, inside the program, median over RUNS (default 50);
//    beside it the wire-time floor and the whole command (start to exit) of qvctl and of mbpoll
//    writing the same coil; the whole command with --echo none and --echo auto beside each other
//    (auto reads the state once first to learn whether the line echoes), and behind an adapter
//    that hears itself (quorvane-sim --echo) with auto and drop.
// 2. The same round trip over each kind of port: the pseudo-terminal, tcp:// (RTU over TCP) and
//    mbtcp:// (MODBUS TCP) on loopback, the simulator's bus at 9600 baud behind each.
// 3. "scan 1-255" with two modules on the line, at 9600 and at 2400 baud: duration and what it
//    found.

#include "bench/measure.h"
#include "modbus/timing.h"
#include "protocol/requests.h"
#include "qvctl/runner.h"
#include "tests/support/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using bench::Median;

namespace {

void Pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool StartSim(SimProcess &sim)
{
    QElapsedTimer clock;
    clock.start();
    while (!sim.ready() && clock.elapsed() < 10000)
        sim.process().waitForReadyRead(100);
    return sim.ready();
}

struct Command
{
    double ms = -1;
    int exitCode = -1;
    QByteArray output;
};

Command RunCommand(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    Command command;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return command;
    }
    command.ms = double(clock.nsecsElapsed()) / 1e6;
    command.exitCode = process.exitCode();
    command.output = process.readAllStandardOutput();
    return command;
}

double MedianCommand(int runs, const QString &program, const QStringList &arguments, int *failures)
{
    std::vector<double> times;
    *failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Command c = RunCommand(program, arguments);
        if (c.exitCode != 0)
            ++*failures;
        else
            times.push_back(c.ms);
    }
    return Median(times);
}

// One request through the master, from queued to its answer checked.
bool Transact(bus::Master &master, const QByteArray &request)
{
    QEventLoop loop;
    bool answered = false;
    bus::Transaction t;
    t.request = request;
    master.submit(t, [&](const bus::Outcome &outcome) {
        answered = outcome.answered();
        loop.quit();
    });
    loop.exec();
    return answered;
}

void RoundTrip(int runs)
{
    SimProcess sim({QStringLiteral("--module"), QStringLiteral("1")});
    if (!StartSim(sim)) {
        std::printf("quorvane-sim did not start\n");
        return;
    }
    const QByteArray on = protocol::SwitchRequest(1, 0, true).frame;
    std::vector<double> times;
    int failures = 0;
    {
        qvctl::Invocation in;
        in.port = sim.path();
        in.baud = 9600;
        in.echo = bus::Echo::None;
        qvctl::Runner runner(
            in, [](const QString &) {},
            [](const QString &text) { std::fputs(qPrintable(text), stderr); });
        if (runner.open(9600) != qvctl::Exit::Done)
            return;
        for (int i = 0; i < runs; ++i) {
            Pause(20); // the line quiet, so no gap between frames is waited for inside the timing
            QElapsedTimer clock;
            clock.start();
            if (Transact(runner.master(), on))
                times.push_back(double(clock.nsecsElapsed()) / 1e6);
            else
                ++failures;
        }
    } // the port is closed again for the commands below
    const double wire = modbus::Ms(modbus::WireTime(8 + 8, 9600));
    const double turnaround = 4.0;
    std::printf("on 1 at 9600 baud, %d runs against quorvane-sim over a pseudo-terminal\n", runs);
    std::printf("  round trip, request written to echo checked: median %.2f ms (%d failed)\n",
                Median(times), failures);
    std::printf("  wire-time floor: 16 bytes at 10 bits/byte %.2f ms + turnaround %.0f ms = %.2f "
                "ms\n",
                wire, turnaround, wire + turnaround);
    std::printf("    (the pseudo-terminal carries the request at once; the simulator delays only "
                "its answer: %.2f ms)\n",
                modbus::Ms(modbus::WireTime(8, 9600)) + turnaround);

    const QString qvctl = QCoreApplication::applicationDirPath() + QStringLiteral("/qvctl");
    for (const char *echo : {"none", "auto"}) {
        int qvFailures = 0;
        const double qv =
            MedianCommand(runs, qvctl,
                          {QStringLiteral("--port"), sim.path(), QStringLiteral("--echo"),
                           QString::fromLatin1(echo), QStringLiteral("on"), QStringLiteral("1")},
                          &qvFailures);
        std::printf("  whole command, start to exit: qvctl --echo %s on 1  median %.2f ms (%d "
                    "failed)\n",
                    echo, qv, qvFailures);
    }
    {
        SimProcess echoing(
            {QStringLiteral("--echo"), QStringLiteral("--module"), QStringLiteral("1")});
        if (StartSim(echoing)) {
            for (const char *echo : {"auto", "drop"}) {
                int qvFailures = 0;
                const double qv = MedianCommand(
                    runs, qvctl,
                    {QStringLiteral("--port"), echoing.path(), QStringLiteral("--echo"),
                     QString::fromLatin1(echo), QStringLiteral("on"), QStringLiteral("1")},
                    &qvFailures);
                std::printf("  behind an echo (quorvane-sim --echo): qvctl --echo %s on 1  median "
                            "%.2f ms (%d failed)\n",
                            echo, qv, qvFailures);
            }
        }
    }
    const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
    if (mbpoll.isEmpty()) {
        std::printf("  mbpoll is not installed\n");
        return;
    }
    int mbFailures = 0;
    const double mb = MedianCommand(runs, mbpoll,
                                    {"-m", "rtu", "-b", "9600", "-P", "none", "-a", "1", "-t", "0",
                                     "-r", "1", "-1", sim.path(), "1"},
                                    &mbFailures);
    std::printf("  whole command, start to exit: mbpoll -1 (coil 1)  median %.2f ms (%d failed)\n",
                mb, mbFailures);
}

// The median of runs "on 1" round trips inside the program, request written to echo checked.
double MedianTransact(const QString &port, int runs, int *failures)
{
    const QByteArray on = protocol::SwitchRequest(1, 0, true).frame;
    std::vector<double> times;
    *failures = 0;
    qvctl::Invocation in;
    in.port = port;
    in.baud = 9600;
    in.echo = bus::Echo::None;
    qvctl::Runner runner(
        in, [](const QString &) {},
        [](const QString &text) { std::fputs(qPrintable(text), stderr); });
    if (runner.open(9600) != qvctl::Exit::Done) {
        *failures = runs;
        return 0;
    }
    for (int i = 0; i < runs; ++i) {
        Pause(20);
        QElapsedTimer clock;
        clock.start();
        if (Transact(runner.master(), on))
            times.push_back(double(clock.nsecsElapsed()) / 1e6);
        else
            ++*failures;
    }
    return Median(times);
}

void RoundTripByPort(int runs)
{
    std::printf("on 1 at 9600 baud by kind of port, %d runs each, request written to echo "
                "checked\n",
                runs);
    const struct
    {
        const char *label;
        QStringList arguments;
    } kinds[] = {
        {"pseudo-terminal ", {}},
        {"tcp://  loopback", {QStringLiteral("--tcp"), QStringLiteral("0")}},
        {"mbtcp:// loopback", {QStringLiteral("--mbtcp"), QStringLiteral("0")}},
    };
    for (const auto &kind : kinds) {
        SimProcess sim(kind.arguments +
                       QStringList{QStringLiteral("--module"), QStringLiteral("1")});
        if (!StartSim(sim)) {
            std::printf("  %s: quorvane-sim did not start\n", kind.label);
            continue;
        }
        int failures = 0;
        const double ms = MedianTransact(sim.path(), runs, &failures);
        std::printf("  %-17s median %.2f ms (%d failed)\n", kind.label, ms, failures);
    }
    std::printf(
        "  (the simulator's own part: the answer's 8 bytes at 9600 baud and the turnaround, "
        "%.2f ms)\n",
        modbus::Ms(modbus::WireTime(8, 9600)) + 4.0);
}

void Scan(qint32 rate)
{
    const QString r = QString::number(rate);
    SimProcess sim({QStringLiteral("--module"), QStringLiteral("17:QV-08:") + r,
                    QStringLiteral("--module"), QStringLiteral("240:QV-04:") + r});
    if (!StartSim(sim)) {
        std::printf("quorvane-sim did not start\n");
        return;
    }
    const QString qvctl = QCoreApplication::applicationDirPath() + QStringLiteral("/qvctl");
    const Command c =
        RunCommand(qvctl, {QStringLiteral("--port"), sim.path(), QStringLiteral("--baud"), r,
                           QStringLiteral("scan"), QStringLiteral("1-255")});
    QByteArray found = c.output.trimmed();
    found.replace('\n', ' ');
    std::printf("scan 1-255 at %d baud, modules 17 and 240: %.2f s, exit %d, found: %s (%s)\n",
                rate, c.ms / 1000.0, c.exitCode, found.constData(),
                found == "17 240" ? "both" : "NOT both");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 50;
    RoundTrip(runs);
    RoundTripByPort(runs);
    Scan(9600);
    Scan(2400);
    return 0;
}
