#include "commandline.h"

#include "crcmath.h"
#include "frameinput.h"
#include "language.h"

namespace crccalc {

QString usageText()
{
    return QStringLiteral(
        "Usage: crc16 [--lang zh|en] [HEX...]\n"
        "\n"
        "Without arguments, opens the CRC-16 calculator window.\n"
        "\n"
        "With arguments, reads them as the bytes of a MODBUS RTU frame, two hex digits\n"
        "per byte, with or without blanks between bytes, as one or several arguments,\n"
        "and prints the frame's CRC-16 as the two bytes that end the frame on the wire\n"
        "(low byte first), for example:\n"
        "\n"
        "  crc16 01050000FF00          prints  8C 3A\n"
        "  crc16 01 03 00 00 00 01     prints  84 0A\n"
        "\n"
        "Options:\n"
        "  --lang zh|en  show the window in Chinese or English, whatever the\n"
        "                system's language\n"
        "  -h, --help    show this text and exit\n"
        "\n"
        "Exit status: 0 on success, 2 when an argument is not hex bytes.\n");
}

namespace {

CommandLineOutcome refuse(const QString &message)
{
    CommandLineOutcome outcome;
    outcome.exitCode = badArgumentsExitCode;
    outcome.err = QStringLiteral("crc16: %1\n").arg(message);
    return outcome;
}

} // namespace

CommandLineOutcome runCommandLine(const QStringList &given)
{
    CommandLineOutcome outcome;
    // --lang and its value are taken out first; what remains are bytes or other options.
    QStringList arguments;
    QList<qsizetype> numbers; // of the remaining arguments on the whole command line
    const QString langOption = QStringLiteral("--lang");
    for (qsizetype n = 0; n < given.size(); ++n) {
        const QString &argument = given[n];
        QString value;
        if (argument == langOption) {
            if (n + 1 == given.size())
                return refuse(QStringLiteral("--lang needs zh or en"));
            value = given[++n];
        } else if (argument.startsWith(langOption + QLatin1Char('='))) {
            value = argument.mid(langOption.size() + 1);
        } else {
            arguments << argument;
            numbers << n + 1;
            continue;
        }
        if (!languageOfCode(value))
            return refuse(QStringLiteral("--lang takes zh or en, not \"%1\"").arg(value));
        outcome.language = value;
    }
    if (arguments.isEmpty()) {
        outcome.openWindow = true;
        return outcome;
    }
    if (arguments.contains(QStringLiteral("-h")) || arguments.contains(QStringLiteral("--help"))) {
        outcome.out = usageText();
        return outcome;
    }

    QByteArray frame;
    for (qsizetype n = 0; n < arguments.size(); ++n) {
        const QString &argument = arguments[n];
        if (argument.startsWith(QLatin1Char('-'))) {
            CommandLineOutcome unknown =
                refuse(QStringLiteral("unknown option \"%1\"; try crc16 --help").arg(argument));
            unknown.unknownOption = true;
            return unknown;
        }
        const FrameInput input = readFrameText(argument);
        const QString where = QStringLiteral("argument %1 \"%2\": ").arg(numbers[n]).arg(argument);
        switch (input.problem) {
        case InputProblem::None:
        case InputProblem::Empty:
            break;
        case InputProblem::InvalidCharacter:
            return refuse(where + QStringLiteral("\"%1\" at column %2 is not a hex digit")
                                      .arg(argument.mid(input.position, 1))
                                      .arg(input.position + 1));
        case InputProblem::LoneDigit:
            return refuse(where +
                          QStringLiteral("\"%1\" at column %2 has no partner; every byte is two "
                                         "hex digits")
                              .arg(argument.mid(input.position, 1))
                              .arg(input.position + 1));
        }
        frame += input.bytes;
    }
    if (frame.isEmpty())
        return refuse(QStringLiteral("no bytes given; try crc16 --help"));

    outcome.out = wireOrderBytesText(CRC16(frame)) + QLatin1Char('\n');
    return outcome;
}

} // namespace crccalc
