#include "app/commandline.h"
#include "app/mainwindow.h"
#include "sim/demo.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    const app::CommandLine commandLine = app::ParseCommandLine(QApplication::arguments());
    if (commandLine.exit) {
        std::fputs(qPrintable(commandLine.output), commandLine.exitCode ? stderr : stdout);
        return commandLine.exitCode;
    }

    Form1 window(commandLine.options);
    // The virtual module is listed once the window fills its port list, right after start-up.
    if (commandLine.options.demo)
        sim::InstallDemoPort(&window);
    window.show();
    return QApplication::exec();
}
