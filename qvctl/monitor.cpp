#include "qvctl/monitor.h"

#include "monitor/capture.h"
#include "monitor/clock.h"
#include "monitor/writers.h"
#include "serial/commport.h"

#include <QBuffer>
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

} // namespace

QList<QCommandLineOption> MonitorOptions()
{
    return {
        QCommandLineOption(QStringLiteral("format"),
                           QStringLiteral("monitor: one line per frame as text (default), csv "
                                          "or jsonl."),
                           QStringLiteral("FORMAT")),
        QCommandLineOption(QStringLiteral("pcap"),
                           QStringLiteral("monitor: also write the frames to FILE as pcap "
                                          "(link type 147, MODBUS RTU)."),
                           QStringLiteral("FILE")),
        QCommandLineOption(QStringLiteral("stats"),
                           QStringLiteral("monitor: the statistics per address at the end.")),
    };
}

std::optional<QString> ReadMonitorOptions(const QCommandLineParser &parser, Invocation &in)
{
    if (in.command != Command::Monitor) {
        for (const QCommandLineOption &option : MonitorOptions()) {
            if (parser.isSet(option))
                return QStringLiteral("--%1 belongs to monitor only").arg(option.names().front());
        }
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("format"))) {
        const QString name = parser.value(QStringLiteral("format"));
        const auto format = monitor::FormatNamed(name);
        if (!format || *format == monitor::Format::Pcap)
            return QStringLiteral("--format is text, csv or jsonl, not %1").arg(name);
        in.monitorFormat = *format;
    }
    in.pcapPath = parser.value(QStringLiteral("pcap"));
    in.stats = parser.isSet(QStringLiteral("stats"));
    if (parser.isSet(QStringLiteral("duration"))) {
        bool ok = false;
        in.monitorSeconds = parser.value(QStringLiteral("duration")).toDouble(&ok);
        if (!ok || in.monitorSeconds <= 0)
            return QStringLiteral("--duration: not a time in seconds: %1")
                .arg(parser.value(QStringLiteral("duration")));
    }
    return std::nullopt;
}

Exit RunMonitor(const Invocation &in, serial::CommPort &port, const Sink &out, const Sink &err)
{
    // Frames go to standard output through a buffer, one write per frame.
    QBuffer lines;
    lines.open(QIODevice::WriteOnly);
    const auto writer = monitor::MakeWriter(in.monitorFormat, lines);
    QFile pcapFile(in.pcapPath);
    std::unique_ptr<monitor::FrameWriter> pcap;
    if (!in.pcapPath.isEmpty()) {
        if (!pcapFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err(QStringLiteral("qvctl: cannot write %1: %2\n")
                    .arg(in.pcapPath, pcapFile.errorString()));
            return Exit::Port;
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
    monitor::Capture capture(in.baud);
    capture.setFormat(LineSettingsOf(in).format());
    capture.setAnswerTimeoutUs(in.timeoutMs ? qint64(*in.timeoutMs) * 1000
                                            : modbus::FrameSplitter::DefaultAnswerTimeoutUs);
    capture.setSink([&](const monitor::CapturedFrame &f) {
        writer->write(f);
        if (pcap)
            pcap->write(f);
    });

    Exit status = Exit::Done;
    QEventLoop loop;
    QObject::connect(&port, &serial::CommPort::received, &loop, [&] {
        capture.received(port.readAll(), clock.nowUs());
        flushLines();
    });
    QObject::connect(&port, &serial::CommPort::failed, &loop,
                     [&](const serial::LineFailure &failure) {
                         err(QStringLiteral("qvctl: the port failed: %1\n").arg(failure.detail));
                         status = Exit::Port;
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
    if (in.monitorSeconds > 0)
        QTimer::singleShot(int(in.monitorSeconds * 1000), &loop, &QEventLoop::quit);

    interrupted = 0;
    // The tick above sees the flag within 20 ms; std::signal works the same on Windows.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    loop.exec();

    if (port.isOpen())
        capture.received(port.readAll(), clock.nowUs());
    capture.finish();
    flushLines();
    if (pcap && !pcap->ok()) {
        err(QStringLiteral("qvctl: cannot write %1\n").arg(in.pcapPath));
        status = Exit::Port;
    }
    if (in.stats) {
        QString table = monitor::StatsTitles().join(QLatin1Char('\t')) + QLatin1Char('\n');
        for (const QStringList &row : monitor::StatsRows(capture))
            table += row.join(QLatin1Char('\t')) + QLatin1Char('\n');
        // On standard error when the frames are data on standard output.
        (in.monitorFormat == monitor::Format::Text ? out : err)(table);
    }
    return status;
}

} // namespace qvctl
