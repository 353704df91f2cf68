#include "commandline.h"
#include "crcwindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const crccalc::CommandLineOutcome outcome = crccalc::runCommandLine(arguments);
    if (!outcome.openWindow) {
        std::fputs(outcome.out.toLocal8Bit().constData(), stdout);
        std::fputs(outcome.err.toLocal8Bit().constData(), stderr);
        return outcome.exitCode;
    }

    QApplication app(argc, argv);
    crccalc::CrcWindow window;
    window.show();
    return QApplication::exec();
}
