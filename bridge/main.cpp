// quorvane-bridge: owns the relay modules' buses and offers every channel over MQTT.
//
//   quorvane-bridge [--config FILE] [--check]
//
// Exit status: 0 stopped by a signal, 1 the broker's client could not be set up, 2 a bad
// command line or configuration file (nothing sent to any bus), 3 the broker refused the
// bridge's credentials before ever accepting it (nothing sent to any bus).

#include "bridge/config.h"
#include "bridge/service.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <mosquitto.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

void Say(const QString &text)
{
    std::fprintf(stderr, "quorvane-bridge: %s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-bridge"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Offers the channels of MODBUS RTU relay modules over MQTT."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(
        {QStringLiteral("c"), QStringLiteral("config")},
        QStringLiteral("The configuration file (default /etc/quorvane/bridge.conf)."),
        QStringLiteral("FILE"), QStringLiteral("/etc/quorvane/bridge.conf"));
    const QCommandLineOption checkOption(QStringLiteral("check"),
                                         QStringLiteral("Check the configuration file and exit."));
    parser.addOption(configOption);
    parser.addOption(checkOption);
    if (!parser.parse(QCoreApplication::arguments())) {
        Say(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty()) {
        Say(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
        return 2;
    }

    const QString path = parser.value(configOption);
    const bridge::ConfigResult read = bridge::ReadConfigFile(path);
    for (const QString &warning : read.warnings)
        Say(QStringLiteral("warning: %1").arg(warning));
    if (!read.config) {
        Say(read.line > 0 ? QStringLiteral("%1:%2: %3").arg(path).arg(read.line).arg(read.reason)
                          : QStringLiteral("%1: %2").arg(path, read.reason));
        return 2;
    }
    if (parser.isSet(checkOption)) {
        int modules = 0;
        for (const bridge::BusConfig &b : read.config->buses)
            modules += int(b.modules.size());
        std::printf("%s: %d buses, %d modules\n", qPrintable(path), int(read.config->buses.size()),
                    modules);
        return 0;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        Say(QStringLiteral("cannot watch for signals"));
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    mosquitto_lib_init();
    int status = 0;
    {
        bridge::Service service(*read.config, QStringLiteral(QUORVANE_VERSION));
        QObject::connect(&service, &bridge::Service::log, &app, &Say);
        QObject::connect(&service, &bridge::Service::fatal, &app, [&](const QString &text) {
            Say(text);
            status = 3;
            app.quit();
        });
        QObject::connect(&service, &bridge::Service::finished, &app, &QCoreApplication::quit);
        QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
        bool stopping = false;
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
            char byte = 0;
            [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
            if (stopping) {
                Say(QStringLiteral("stopped at once"));
                app.quit();
                return;
            }
            stopping = true;
            Say(QStringLiteral("stopping"));
            service.stop();
        });
        const QString problem = service.start();
        if (!problem.isEmpty()) {
            Say(problem);
            status = 1;
        } else {
            app.exec();
        }
    }
    mosquitto_lib_cleanup();
    return status;
}
