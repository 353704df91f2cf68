#include "qvctl/monitor.h"

#include "monitor/capture.h"
#include "monitor/clock.h"
#include "monitor/writers.h"
#include "qvctl/outputs.h"
#include "qvctl/report.h"
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

// What a pcap FIFO without a reader keeps waiting for one: the frames of a few minutes of a
// busy bus.
constexpr qint64 PcapWaitingBytes = 16 * 1024 * 1024;

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
        const auto seconds = ParseDuration(parser.value(QStringLiteral("duration")));
        if (!seconds)
            return QStringLiteral("--duration: not a time in seconds: %1")
                .arg(parser.value(QStringLiteral("duration")));
        in.monitorSeconds = *seconds;
    }
    return std::nullopt;
}

Exit RunMonitor(const Invocation &in, serial::CommPort &port, const Sink &out, const Sink &err)
{
    // Frames go to standard output through a buffer, one write per frame.
    QBuffer lines;
    lines.open(QIODevice::WriteOnly);
    const auto writer = monitor::MakeWriter(in.monitorFormat, lines);
    // The pcap records go through memory into the file: a FIFO nobody reads yet is opened once a
    // reader comes (never blocking), and until then its records wait here, up to a bound.
    std::unique_ptr<QFile> pcapFile;
    QBuffer pcapBytes;
    pcapBytes.open(QIODevice::WriteOnly);
    std::unique_ptr<monitor::FrameWriter> pcap;
    QString pcapFailure;
    quint64 pcapDropped = 0;
    const auto drainPcap = [&] {
        if (in.pcapPath.isEmpty() || !pcapFailure.isEmpty())
            return;
        if (!pcapFile) {
            pcapFile = OpenStream(in.pcapPath, &pcapFailure);
            if (!pcapFile)
                return;
        }
        const QByteArray &bytes = pcapBytes.data();
        if (!bytes.isEmpty() && pcapFile->write(bytes) != bytes.size())
            pcapFailure = pcapFile->errorString();
        pcapBytes.buffer().clear();
        pcapBytes.seek(0);
    };
    if (!in.pcapPath.isEmpty()) {
        pcap = monitor::MakeWriter(monitor::Format::Pcap, pcapBytes);
        drainPcap();
        if (!pcapFailure.isEmpty()) {
            err(QStringLiteral("qvctl: cannot write %1: %2\n").arg(in.pcapPath, pcapFailure));
            return Exit::Port;
        }
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
        if (pcap && (pcapFile || pcapBytes.size() < PcapWaitingBytes))
            pcap->write(f);
        else if (pcap)
            ++pcapDropped;
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
        drainPcap();
        if (interrupted || !StandardOutputFailure().isEmpty() || !pcapFailure.isEmpty())
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
    if (!in.pcapPath.isEmpty()) {
        drainPcap();
        if (pcapFailure.isEmpty() && !pcapFile)
            pcapFailure = QStringLiteral("nobody read the FIFO");
        else if (pcapFailure.isEmpty())
            pcapFailure = FlushFailure(*pcapFile);
        if (pcapFailure.isEmpty() && pcapDropped > 0)
            pcapFailure = QStringLiteral("%1 frames came before anybody read it and were dropped")
                              .arg(pcapDropped);
        if (!pcapFailure.isEmpty()) {
            err(QStringLiteral("qvctl: cannot write %1: %2\n").arg(in.pcapPath, pcapFailure));
            status = Exit::Port;
        }
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
