// quorvane-bridge end to end: two quorvane-sim buses of eight QV-08 modules each at 9600 baud,
// a local mosquitto, the bridge polling both. Prints the time from a command published to the
// broker to the module's new state published by the bridge (median, 95th percentile), against
// the same command's wire round trip plus one state read made directly in the same run, and the
// bridge's CPU and memory while it only polls.
//
//   quorvane-bench-bridge [commands] [idle seconds] [poll interval in seconds, default 1] [nagle]

#include "bench/measure.h"
#include "bridge/mqttclient.h"
#include "link/master.h"
#include "link/portline.h"
#include "protocol/requests.h"
#include "serial/commport.h"
#include "tests/support/simprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mosquitto.h>
#include <unistd.h>
#include <vector>

using bench::Median;
using bench::RunUntil;

namespace {

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

// utime + stime of a process, in seconds.
double CpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}

double RssMb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The wire part alone: the switch and one state read, through a master of its own.
std::vector<double> WireRoundTrips(const QString &path, int count)
{
    std::vector<double> times;
    serial::CommPort port;
    port.setPortName(path);
    if (port.open() != serial::OpenResult::Ok)
        return times;
    bus::PortLine line(port);
    bus::Master master(line);
    master.setEcho(bus::Echo::None);
    for (int i = 0; i < count; ++i) {
        const auto address = std::uint8_t(1 + i % 8);
        const auto channel = std::uint8_t(i % 8);
        bool done = false;
        QElapsedTimer clock;
        clock.start();
        bus::Transaction command;
        command.request = protocol::SwitchRequest(address, channel, i % 2 == 0).frame;
        master.submit(command, [&](const bus::Outcome &) {
            bus::Transaction read;
            read.request = bus::StateRead(address);
            master.submit(read, [&](const bus::Outcome &o) {
                if (o.answered())
                    times.push_back(double(clock.nsecsElapsed()) / 1e6);
                done = true;
            });
        });
        RunUntil([&] { return done; }, 5000);
        // Spaced as the commands through the bridge are: the line quiet before each.
        RunUntil([] { return false; }, 20 + (i * 37) % 90);
    }
    // Everything off again for the bridge.
    for (int a = 1; a <= 8; ++a) {
        bool done = false;
        bus::Transaction off;
        off.request = protocol::AllOffRequest(std::uint8_t(a)).frame;
        master.submit(off, [&](const bus::Outcome &) { done = true; });
        RunUntil([&] { return done; }, 5000);
    }
    port.close();
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int commands = argc > 1 ? std::max(10, atoi(argv[1])) : 100;
    const int idleSeconds = argc > 2 ? std::max(2, atoi(argv[2])) : 20;
    const QString pollSeconds = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("1");
    // "nagle": the broker as it comes, small messages waiting for the acknowledgement of the one
    // before.
    const bool brokerNoDelay = !(argc > 4 && QByteArray(argv[4]) == "nagle");
    QString mosquitto = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (mosquitto.isEmpty())
        mosquitto = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                   {QStringLiteral("/usr/sbin")});
    if (mosquitto.isEmpty()) {
        std::fprintf(stderr, "quorvane-bench-bridge: mosquitto is not installed\n");
        return 1;
    }
    QTemporaryDir dir;
    int port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile brokerConf(dir.filePath(QStringLiteral("broker.conf")));
    if (!brokerConf.open(QIODevice::WriteOnly))
        return 1;
    // Small messages leave the broker at once (its default waits for the acknowledgement of the
    // one before: about 10 ms more per command here).
    brokerConf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n%2%3")
                         .arg(port)
                         .arg(brokerNoDelay ? QStringLiteral("set_tcp_nodelay true\n") : QString())
                         .arg(::getuid() == 0 ? QStringLiteral("user root\n") : QString())
                         .toUtf8());
    brokerConf.close();
    QProcess broker;
    broker.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    broker.start(mosquitto, {QStringLiteral("-c"), brokerConf.fileName()});

    QStringList modules;
    for (int a = 1; a <= 8; ++a)
        modules << QStringLiteral("--module") << QStringLiteral("%1:QV-08:9600").arg(a);
    SimProcess simA(modules), simB(modules);
    if (!RunUntil(
            [&] {
                simA.process().waitForReadyRead(20);
                simB.process().waitForReadyRead(20);
                return simA.ready() && simB.ready();
            },
            10000)) {
        std::fprintf(stderr, "quorvane-bench-bridge: quorvane-sim did not start\n");
        return 1;
    }

    // The wire part, in this run, on both buses before the bridge owns them.
    std::vector<double> wire = WireRoundTrips(simA.path(), commands / 2);
    const std::vector<double> wireB = WireRoundTrips(simB.path(), commands - commands / 2);
    wire.insert(wire.end(), wireB.begin(), wireB.end());

    QString conf =
        QStringLiteral("[broker]\nhost = 127.0.0.1\nport = %1\n[bridge]\ndiscovery = off\n")
            .arg(port);
    for (const auto &[name, path] : {std::pair{QStringLiteral("a"), simA.path()},
                                     std::pair{QStringLiteral("b"), simB.path()}}) {
        conf += QStringLiteral("[bus %1]\nport = %2\necho = none\npoll_interval = %3\n")
                    .arg(name, path, pollSeconds);
        for (int a = 1; a <= 8; ++a)
            conf += QStringLiteral("[module %1 %2]\n").arg(name).arg(a);
    }
    QFile bridgeConf(dir.filePath(QStringLiteral("bridge.conf")));
    if (!bridgeConf.open(QIODevice::WriteOnly))
        return 1;
    bridgeConf.write(conf.toUtf8());
    bridgeConf.close();
    QProcess bridgeProcess;
    bridgeProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bridgeProcess.start(QStringLiteral(QUORVANE_BRIDGE),
                        {QStringLiteral("--config"), bridgeConf.fileName()});

    mosquitto_lib_init();
    QHash<QString, QByteArray> states;
    QHash<QString, double> arrived;
    QElapsedTimer clock;
    clock.start();
    bridge::MqttClient::Options options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = port;
    options.clientId = QStringLiteral("quorvane-bench-bridge");
    bridge::MqttClient client(options);
    QObject::connect(&client, &bridge::MqttClient::message,
                     [&](const QString &topic, const QByteArray &payload, bool) {
                         states.insert(topic, payload);
                         arrived.insert(topic, double(clock.nsecsElapsed()) / 1e6);
                     });
    QObject::connect(&client, &bridge::MqttClient::connected,
                     [&] { client.subscribe(QStringLiteral("quorvane/+/+/+/state")); });
    if (!client.start().isEmpty())
        return 1;
    // Every state known: the bridge is up and polling both buses.
    if (!RunUntil([&] { return states.size() == 2 * 8 * 8; }, 30000)) {
        std::fprintf(stderr, "quorvane-bench-bridge: the bridge published %d of 128 states\n",
                     int(states.size()));
        return 1;
    }

    // The broker's part alone: a message to a topic this client takes itself, there and back.
    std::vector<double> mqtt;
    client.subscribe(QStringLiteral("quorvane-bench/ping"));
    for (int i = 0; i < 50; ++i) {
        const QString ping = QStringLiteral("quorvane-bench/ping");
        const QByteArray token = QByteArray::number(i);
        const double sent = double(clock.nsecsElapsed()) / 1e6;
        client.publish(ping, token, false);
        if (RunUntil([&] { return states.value(ping) == token; }, 5000))
            mqtt.push_back(arrived.value(ping) - sent);
    }

    std::vector<double> viaBridge;
    for (int i = 0; i < commands; ++i) {
        const QString bus = i % 2 ? QStringLiteral("b") : QStringLiteral("a");
        const int address = 1 + (i / 2) % 8;
        const int channel = 1 + (i / 16) % 8;
        const QString state =
            QStringLiteral("quorvane/%1/%2/%3/state").arg(bus).arg(address).arg(channel);
        const QByteArray want = states.value(state) == "ON" ? "OFF" : "ON";
        const double sent = double(clock.nsecsElapsed()) / 1e6;
        client.publish(QStringLiteral("quorvane/%1/%2/%3/set").arg(bus).arg(address).arg(channel),
                       want, false);
        if (RunUntil([&] { return states.value(state) == want; }, 5000))
            viaBridge.push_back(arrived.value(state) - sent);
        // Commands come one at a time, between polls at random points.
        RunUntil([] { return false; }, 20 + (i * 37) % 90);
    }

    // Idle: only the polls.
    RunUntil([] { return false; }, 2000);
    const double cpu0 = CpuSeconds(bridgeProcess.processId());
    QElapsedTimer idle;
    idle.start();
    RunUntil([] { return false; }, idleSeconds * 1000);
    const double cpu =
        (CpuSeconds(bridgeProcess.processId()) - cpu0) / (double(idle.elapsed()) / 1000);
    const double rss = RssMb(bridgeProcess.processId());

    std::printf("two buses at 9600 baud, eight QV-08 each, a round of polls every %s s; %d "
                "commands; broker %s\n",
                qPrintable(pollSeconds), commands,
                brokerNoDelay ? "with set_tcp_nodelay" : "as it comes (Nagle)");
    std::printf("%-44s %10s %10s\n", "", "median ms", "p95 ms");
    std::printf("%-44s %10.1f %10.1f\n", "wire: switch + one state read (direct)", Median(wire),
                Percentile(wire, 0.95));
    std::printf("%-44s %10.1f %10.1f\n", "MQTT set -> state published (bridge)", Median(viaBridge),
                Percentile(viaBridge, 0.95));
    std::printf("%-44s %10.1f %10.1f\n", "MQTT alone: there and back through the broker",
                Median(mqtt), Percentile(mqtt, 0.95));
    std::printf("%-44s %10.2f %10.2f\n", "bridge / wire (goal: within 1.5)",
                Median(viaBridge) / std::max(0.001, Median(wire)),
                Percentile(viaBridge, 0.95) / std::max(0.001, Percentile(wire, 0.95)));
    std::printf("bridge idle polling over %d s: %.2f %% of a core, %.1f MB resident "
                "(goal: under 2 %%, under 30 MB)\n",
                idleSeconds, cpu * 100, rss);
    if (viaBridge.size() != std::size_t(commands))
        std::printf("%d commands got no state in 5 s\n", commands - int(viaBridge.size()));

    client.stop();
    ::kill(pid_t(bridgeProcess.processId()), SIGTERM);
    bridgeProcess.waitForFinished(10000);
    ::kill(pid_t(broker.processId()), SIGTERM);
    broker.waitForFinished(5000);
    mosquitto_lib_cleanup();
    return 0;
}
