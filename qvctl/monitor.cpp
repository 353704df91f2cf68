#include "qvctl/monitor.h"

#include "monitor/capture.h"
#include "monitor/clock.h"
#include "monitor/writers.h"
#include "protocol/baud.h"
#include "serial/commport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <csignal>
#include <memory>

namespace qvctl {

namespace {

using Sink = std::function<void(const QString &)>;

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int)
{
    interrupted = 1;
}

struct MonitorOptions
{
    QString port;
    qint32 baud = 9600;
    double durationS = 0; // 0: until interrupted
    monitor::Format format = monitor::Format::Text;
    QString pcap;
    bool stats = false;
    qint64 timeoutUs = modbus::FrameSplitter::DefaultAnswerTimeoutUs;
};

const QStringList ValueOptions{"--port",    "--baud",    "--duration", "--format", "--pcap",
                               "--timeout", "--address", "--model",    "--retries"};

// Reads the options; an empty string when they are fine, else what is wrong.
QString Read(const QStringList &arguments, MonitorOptions &o)
{
    for (int i = 1; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        QString value;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
        } else if (ValueOptions.contains(arg)) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("%1 needs a value").arg(arg);
            value = arguments.at(++i);
        }
        bool ok = true;
        if (arg == QLatin1String("monitor")) {
            continue;
        } else if (arg == QLatin1String("--port")) {
            o.port = value;
        } else if (arg == QLatin1String("--baud")) {
            o.baud = value.toInt(&ok);
            if (!ok || !protocol::BaudCodeOfRate(o.baud))
                return QStringLiteral("not a baud rate of the list: %1").arg(value);
        } else if (arg == QLatin1String("--duration")) {
            o.durationS = value.toDouble(&ok);
            if (!ok || o.durationS <= 0)
                return QStringLiteral("not a duration in seconds: %1").arg(value);
        } else if (arg == QLatin1String("--format")) {
            const auto format = monitor::FormatNamed(value);
            if (!format || *format == monitor::Format::Pcap)
                return QStringLiteral("--format is text, csv or jsonl, not %1").arg(value);
            o.format = *format;
        } else if (arg == QLatin1String("--pcap")) {
            o.pcap = value;
        } else if (arg == QLatin1String("--timeout")) {
            const int ms = value.toInt(&ok);
            if (!ok || ms < 0)
                return QStringLiteral("not a time-out in ms: %1").arg(value);
            o.timeoutUs = qint64(ms) * 1000;
        } else if (arg == QLatin1String("--stats")) {
            o.stats = true;
        } else {
            return QStringLiteral("monitor does not take %1").arg(arg);
        }
    }
    if (o.port.isEmpty())
        return QStringLiteral("monitor needs --port");
    return {};
}

QString OpenFailure(serial::CommPort &port, serial::OpenResult result, const QString &path)
{
    switch (result) {
    case serial::OpenResult::Ok:
        return {};
    case serial::OpenResult::NoSuchPort:
        return QStringLiteral("no such port: %1").arg(path);
    case serial::OpenResult::Busy:
        return QStringLiteral("the port %1 is in use by another program").arg(path);
    case serial::OpenResult::NoPermission:
        return QStringLiteral("no permission to open %1").arg(path);
    default:
        return QStringLiteral("cannot open %1: %2").arg(path, port.errorText());
    }
}

} // namespace

bool IsMonitorCommand(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg.startsWith(QLatin1String("-"))) {
            if (ValueOptions.contains(arg))
                ++i;
            continue;
        }
        return arg == QLatin1String("monitor");
    }
    return false;
}

int RunMonitor(const QStringList &arguments, const Sink &out, const Sink &err)
{
    MonitorOptions o;
    if (const QString wrong = Read(arguments, o); !wrong.isEmpty()) {
        err(QStringLiteral("qvctl: %1 (see qvctl --help)\n").arg(wrong));
        return 2;
    }

    serial::CommPort port;
    port.setPortName(o.port);
    port.setSettings(
        serial::SettingsText(protocol::BaudList().value(*protocol::BaudCodeOfRate(o.baud))));
    serial::OpenResult opened = port.open();
    if (opened == serial::OpenResult::Connecting) {
        QEventLoop loop;
        QObject::connect(&port, &serial::CommPort::opened, &loop, &QEventLoop::quit);
        QObject::connect(&port, &serial::CommPort::openFailed, &loop, &QEventLoop::quit);
        loop.exec();
        opened = port.isOpen() ? serial::OpenResult::Ok : serial::OpenResult::Other;
    }
    if (opened != serial::OpenResult::Ok) {
        err(QStringLiteral("qvctl: %1\n").arg(OpenFailure(port, opened, o.port)));
        return 3;
    }

    // Frames go to standard output through a buffer, one write per frame.
    QBuffer lines;
    lines.open(QIODevice::WriteOnly);
    const auto writer = monitor::MakeWriter(o.format, lines);
    QFile pcapFile(o.pcap);
    std::unique_ptr<monitor::FrameWriter> pcap;
    if (!o.pcap.isEmpty()) {
        if (!pcapFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err(QStringLiteral("qvctl: cannot write %1: %2\n").arg(o.pcap, pcapFile.errorString()));
            return 3;
        }
        pcap = monitor::MakeWriter(monitor::Format::Pcap, pcapFile);
    }
    const auto flushLines = [&] {
        if (!lines.data().isEmpty())
            out(QString::fromUtf8(lines.data()));
        lines.buffer().clear();
        lines.seek(0);
    };

    monitor::Clock clock;
    monitor::Capture capture(o.baud);
    capture.setAnswerTimeoutUs(o.timeoutUs);
    capture.setSink([&](const monitor::CapturedFrame &f) {
        writer->write(f);
        if (pcap)
            pcap->write(f);
    });

    int status = 0;
    QEventLoop loop;
    QObject::connect(&port, &serial::CommPort::received, &loop, [&] {
        capture.received(port.readAll(), clock.nowUs());
        flushLines();
    });
    QObject::connect(&port, &serial::CommPort::failed, &loop,
                     [&](const serial::LineFailure &failure) {
                         err(QStringLiteral("qvctl: the port failed: %1\n").arg(failure.detail));
                         status = 3;
                         loop.quit();
                     });
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        capture.idle(clock.nowUs());
        flushLines();
        if (interrupted)
            loop.quit();
    });
    tick.start();
    if (o.durationS > 0)
        QTimer::singleShot(int(o.durationS * 1000), &loop, &QEventLoop::quit);

    interrupted = 0;
    // The tick above sees the flag within 20 ms; std::signal works the same on Windows.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    loop.exec();

    if (port.isOpen())
        capture.received(port.readAll(), clock.nowUs());
    capture.finish();
    flushLines();
    port.close();
    if (pcap && !pcap->ok()) {
        err(QStringLiteral("qvctl: cannot write %1\n").arg(o.pcap));
        status = 3;
    }
    if (o.stats) {
        QString table = monitor::StatsTitles().join(QLatin1Char('\t')) + QLatin1Char('\n');
        for (const QStringList &row : monitor::StatsRows(capture))
            table += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
        // On standard error when the frames are data on standard output.
        (o.format == monitor::Format::Text ? out : err)(table);
    }
    return status;
}

} // namespace qvctl
