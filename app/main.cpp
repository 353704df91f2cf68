#include "app/commandline.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "app/monitorpage.h"
#include "settings/autostart.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "settings/location.h"
#include "sim/demo.h"
#include "sim/virtualline.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    // --help and --version answer before the window system is touched, so they work without a
    // display. Anything else is read once Qt has taken its own options (-platform, -style).
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (const app::CommandLine early = app::ParseCommandLine(rawArguments);
        early.exit && early.exitCode == 0) {
        std::fputs(qPrintable(early.output), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    const app::CommandLine commandLine = app::ParseCommandLine(QApplication::arguments());
    if (commandLine.exit) {
        std::fputs(qPrintable(commandLine.output), commandLine.exitCode ? stderr : stdout);
        return commandLine.exitCode;
    }

    // Config.ini beside the program, in the user's configuration folder or where --config says;
    // the desktop's own log-on entry, which names the file when it is not the usual one.
    app::Services services;
    services.iniPath = settings::ConfigPath(commandLine.options.configPath);
    const QString otherConfig =
        services.iniPath == settings::ConfigPath() ? QString() : services.iniPath;
    const std::unique_ptr<settings::AutoStart> autoStart = settings::SystemAutoStart(otherConfig);
    // The window's language: --lang, else the one chosen on the settings page, else the system's.
    app::InstallLanguage(app::ChosenLanguage(
        commandLine.options.language,
        settings::ReadIni(services.iniPath, settings::SystemSection, settings::LanguageKey, {})));
    services.autoStart = autoStart.get();
    Form1 window(commandLine.options, services);
    // The virtual module is listed once the window fills its port list, right after start-up.
    if (commandLine.options.demo) {
        sim::VirtualLine *demoLine = nullptr;
        sim::InstallDemoPort(&window, &demoLine);
        // While the bus monitor is shown, the demo line plays a master polling its module.
        QObject::connect(window.monitorPage, &MonitorPage::shownChanged, demoLine,
                         &sim::VirtualLine::setMasterPlaying);
    }
    window.show();
    return QApplication::exec();
}
