#include "commandline.h"
#include "crcwindow.h"
#include "language.h"

#include <QApplication>

#include <cstdio>

namespace {

int print(const crccalc::CommandLineOutcome &outcome)
{
    std::fputs(outcome.out.toLocal8Bit().constData(), stdout);
    std::fputs(outcome.err.toLocal8Bit().constData(), stderr);
    return outcome.exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    // Hex bytes, --help and a wrong --lang answer before the window system is touched, so they
    // work without a display. An option we do not know may be one of Qt's own (-platform,
    // -style): Qt takes those first, and the rest is read again.
    crccalc::CommandLineOutcome outcome = crccalc::runCommandLine(arguments);
    if (!outcome.openWindow && !outcome.unknownOption)
        return print(outcome);

    QApplication app(argc, argv);
    if (!outcome.openWindow) {
        outcome = crccalc::runCommandLine(QApplication::arguments().mid(1));
        if (!outcome.openWindow)
            return print(outcome);
    }
    crccalc::installLanguage(crccalc::chosenLanguage(outcome.language));
    crccalc::CrcWindow window;
    window.show();
    return QApplication::exec();
}
