#include "app/commandline.h"

#include "app/language.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace app {

namespace {
// The help text names the program as it was started, also before the application object exists
// (when --help is answered without touching the window system).
QString helpText(const QCommandLineParser &parser, const QStringList &arguments)
{
    QString text = parser.helpText();
    if (!QCoreApplication::instance() && !arguments.isEmpty())
        text.replace(QStringLiteral("<executable_name>"), arguments.front());
    return text;
}
} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tests and operates MODBUS RTU relay modules over a serial line."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral(
            "Also list PATH in the port list (a pseudo-terminal, a socat or ser2net "
            "link, any port the system does not list), or a network port: tcp://HOST:PORT "
            "(RTU over TCP) or mbtcp://HOST:PORT[/UNIT] (MODBUS TCP). Repeatable."),
        QStringLiteral("PATH"));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Offer a virtual eight-channel module at address 1, 9600 baud, as the port "
                       "\"DEMO\", and select it."));
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("Keep the settings in PATH instead of Config.ini beside the program (or in "
                       "the user's configuration folder when the program's folder is not "
                       "writable)."),
        QStringLiteral("PATH"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QStringLiteral("Show the window in Chinese (zh) or English (en), whatever the system's "
                       "language and the choice kept in the settings."),
        QStringLiteral("zh|en"));
    parser.addOption(port);
    parser.addOption(lang);
    parser.addOption(demo);
    parser.addOption(config);

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.exit = true;
        result.exitCode = 2;
        result.output = parser.errorText() + u'\n' + helpText(parser, arguments);
        return result;
    }
    if (parser.isSet(help)) {
        result.exit = true;
        result.output = helpText(parser, arguments);
        return result;
    }
    if (parser.isSet(version)) {
        result.exit = true;
        result.output = QCoreApplication::applicationName() + u' ' +
                        QCoreApplication::applicationVersion() + u'\n';
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exit = true;
        result.exitCode = 2;
        result.output =
            QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().front()) +
            helpText(parser, arguments);
        return result;
    }
    for (const QString &path : parser.values(port)) {
        if (!path.isEmpty() && !result.options.extraPorts.contains(path))
            result.options.extraPorts << path;
    }
    result.options.demo = parser.isSet(demo);
    if (parser.isSet(lang)) {
        result.options.language = parser.value(lang);
        if (!LanguageOfCode(result.options.language)) {
            result.exit = true;
            result.exitCode = 2;
            result.output =
                QStringLiteral("--lang takes zh or en, not: %1\n").arg(result.options.language) +
                helpText(parser, arguments);
            return result;
        }
    }
    if (parser.isSet(config)) {
        result.options.configPath = parser.value(config);
        if (result.options.configPath.isEmpty()) {
            result.exit = true;
            result.exitCode = 2;
            result.output =
                QStringLiteral("--config needs a file name\n") + helpText(parser, arguments);
        }
    }
    return result;
}

} // namespace app
