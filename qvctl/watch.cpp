#include "qvctl/watch.h"

#include "link/poller.h"
#include "link/search.h"
#include "qvctl/interrupt.h"
#include "qvctl/report.h"
#include "qvctl/testcommand.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace qvctl {

namespace {

bool StandardOutputIsTerminal()
{
#if defined(Q_OS_UNIX)
    return ::isatty(STDOUT_FILENO) == 1;
#else
    return false;
#endif
}

QString StateText(const bus::Poller::Module &m)
{
    const QString when = m.online ? m.lastAnswer.toString(QStringLiteral("HH:mm:ss"))
                                  : m.offlineSince.toString(QStringLiteral("HH:mm:ss"));
    return QStringLiteral("%1: %2  %3 %4  silences %5, garbled %6")
        .arg(m.address, 3)
        .arg(m.bits ? ChannelStatesText(*m.bits, m.channelCount) : QStringLiteral("?"))
        .arg(m.online ? QStringLiteral("online, answered") : QStringLiteral("offline since"))
        .arg(when)
        .arg(m.silences)
        .arg(m.garbled);
}

QString StateJson(const bus::Poller::Module &m)
{
    QJsonObject json;
    json.insert(QStringLiteral("command"), QStringLiteral("watch"));
    json.insert(QStringLiteral("address"), m.address);
    json.insert(QStringLiteral("online"), m.online);
    if (m.bits)
        json.insert(QStringLiteral("channels"), ChannelStatesJson(*m.bits, m.channelCount));
    if (m.lastAnswer.isValid())
        json.insert(QStringLiteral("last_answer"), m.lastAnswer.toString(Qt::ISODateWithMs));
    if (!m.online && m.offlineSince.isValid())
        json.insert(QStringLiteral("offline_since"), m.offlineSince.toString(Qt::ISODateWithMs));
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + u'\n';
}

} // namespace

std::optional<QString> ReadWatchOptions(const QCommandLineParser &parser, const QStringList &args,
                                        Invocation &in)
{
    const auto value = [&](const char *name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&](const char *name) { return parser.isSet(QLatin1String(name)); };
    for (const char *name :
         {"steps", "cycles", "max-failures", "junit", "csv", "time", "tolerance"}) {
        if (isSet(name))
            return QStringLiteral("--%1 belongs to test only").arg(QLatin1String(name));
    }
    if (in.address == 0 && !isSet("addresses") && !isSet("scan"))
        return QStringLiteral("watch needs the address of a module (1..255), not the broadcast "
                              "address 0");
    in.test.addresses = {in.address};
    if (const auto problem = ReadModuleChoice(parser, args, in))
        return problem;
    if (isSet("duration")) {
        const auto seconds = ParseDuration(value("duration"));
        if (!seconds)
            return QStringLiteral("--duration: not a time in seconds: %1").arg(value("duration"));
        in.monitorSeconds = *seconds;
    }
    return std::nullopt;
}

Exit RunWatch(const Invocation &in, bus::Master &master,
              const std::function<void(const QString &)> &out,
              const std::function<void(const QString &)> &err)
{
    QEventLoop loop;
    Exit status = Exit::Done;
    // The modules given, or (below) only those the scan finds.
    QList<std::uint8_t> addresses;
    if (!in.test.scan)
        addresses = in.test.addresses;

    InterruptGuard guard("\nqvctl: interrupted again: ended at once\n", int(Exit::Done));
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (InterruptGuard::caught() || !StandardOutputFailure().isEmpty())
            loop.quit();
    });
    watch.start();
    if (in.monitorSeconds > 0)
        QTimer::singleShot(int(in.monitorSeconds * 1000), &loop, &QEventLoop::quit);
    QObject::connect(&master, &bus::Master::failed, &loop, [&](const QString &reason) {
        err(QStringLiteral("qvctl: the port failed: %1\n").arg(reason));
        status = Exit::Port;
        loop.quit();
    });

    if (in.test.scan) {
        bus::BusScan::Options options;
        options.from = in.test.scanFrom;
        options.to = in.test.scanTo;
        options.stepMs = in.timeoutMs;
        options.lastMs = in.timeoutMs;
        bus::BusScan scan(master, options);
        QObject::connect(&scan, &bus::BusScan::finished, &loop, &QEventLoop::quit);
        scan.start();
        if (scan.running())
            loop.exec();
        if (scan.running() || status != Exit::Done || InterruptGuard::caught())
            return status;
        for (const int a : scan.found())
            addresses << std::uint8_t(a);
        if (addresses.isEmpty()) {
            err(QStringLiteral("qvctl: no module answered at addresses %1-%2\n")
                    .arg(in.test.scanFrom)
                    .arg(in.test.scanTo));
            return Exit::NoAnswer;
        }
    }

    bus::Poller poller(master, {});
    QList<std::pair<std::uint8_t, int>> modules;
    for (const std::uint8_t a : addresses)
        modules.append({a, in.channelCount});
    poller.setModules(modules);

    // On a terminal the block of lines is drawn again in place; elsewhere a line per change.
    const bool redraw = !in.json && StandardOutputIsTerminal();
    bool drawn = false;
    const auto draw = [&] {
        QString text;
        if (drawn)
            text += QStringLiteral("\x1b[%1A").arg(addresses.size());
        for (const std::uint8_t a : addresses)
            text += QStringLiteral("\x1b[2K") + StateText(*poller.module(a)) + u'\n';
        drawn = true;
        out(text);
    };
    // On a terminal the times and counts move too: drawn again after a round, once a second.
    QElapsedTimer sinceDrawn;
    sinceDrawn.start();
    QObject::connect(&poller, &bus::Poller::roundDone, &loop, [&] {
        if (redraw && sinceDrawn.elapsed() >= 1000) {
            draw();
            sinceDrawn.restart();
        }
    });
    QObject::connect(&poller, &bus::Poller::changed, &loop, [&](std::uint8_t a) {
        if (redraw)
            draw();
        else
            out(in.json ? StateJson(*poller.module(a)) : StateText(*poller.module(a)) + u'\n');
    });
    poller.start();
    loop.exec();
    poller.stop();
    if (status != Exit::Done)
        return status; // a standard output that failed is said, with its status, by main()
    // Watching modules none of which ever answered is no watch: said as for any command.
    const bool anyAnswered = std::any_of(addresses.begin(), addresses.end(), [&](std::uint8_t a) {
        return poller.module(a)->lastAnswer.isValid();
    });
    if (!anyAnswered) {
        err(QStringLiteral("qvctl: no module answered while watching\n"));
        return Exit::NoAnswer;
    }
    return status;
}

} // namespace qvctl
