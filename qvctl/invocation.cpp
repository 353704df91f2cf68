#include "qvctl/invocation.h"

#include "modbus/crc.h"
#include "protocol/baud.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

namespace qvctl {

namespace {

const QString Commands = QStringLiteral(
    "Commands:\n"
    "  ports                          list the serial ports, one per line\n"
    "  on CH...                       switch channels on (1..8), one request each\n"
    "  off CH...                      switch channels off\n"
    "  jog CH SECONDS                 on now, off after SECONDS (0.1..6553.5)\n"
    "  delay-on CH SECONDS            on after SECONDS\n"
    "  delay-off CH SECONDS           off after SECONDS\n"
    "  all on | all off               every channel at once\n"
    "  all jog|delay-on|delay-off SECONDS\n"
    "                                 the same time for every channel of --model\n"
    "  mask BITS                      set every channel: 10100000 (channel 1 first) or 0x05\n"
    "  state                          print the channels: 1:on 2:off ...\n"
    "  address                        print the address of the only module on the line\n"
    "  set-address NEW                give the module the address NEW (1..255), confirmed\n"
    "  set-baud RATE                  give the module the rate RATE, confirmed at RATE\n"
    "  scan [FROM-TO]                 print the addresses that answer (default 1-255)\n"
    "  find-baud                      print the first rate at which a module answers\n"
    "  send HEX... [--crc]            send raw bytes (CRC appended with --crc), print the reply\n"
    "\n"
    "Baud rates: 300 600 1200 2400 4800 9600 14400 19200 38400 56000 57600 115200\n"
    "\n"
    "Exit status: 0 done and confirmed; 1 no answer within the timeout; 2 usage error;\n"
    "3 the port cannot be opened (missing, busy, no permission); 4 a wrong answer\n"
    "(bad CRC, exception, mismatched echo). scan: 0 when at least one module answered.\n");

struct CommandWord
{
    const char *name;
    Command command;
};

// The words a command starts with; "all" is followed by a second word.
constexpr CommandWord Words[] = {
    {"ports", Command::Ports},
    {"on", Command::On},
    {"off", Command::Off},
    {"jog", Command::Jog},
    {"delay-on", Command::DelayOn},
    {"delay-off", Command::DelayOff},
    {"mask", Command::Mask},
    {"state", Command::State},
    {"address", Command::Address},
    {"set-address", Command::SetAddress},
    {"set-baud", Command::SetBaud},
    {"scan", Command::Scan},
    {"find-baud", Command::FindBaud},
    {"send", Command::Send},
};

constexpr CommandWord AllWords[] = {
    {"on", Command::AllOn},
    {"off", Command::AllOff},
    {"jog", Command::AllJog},
    {"delay-on", Command::AllDelayOn},
    {"delay-off", Command::AllDelayOff},
};

std::optional<int> WholeNumber(const QString &text, int low, int high)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int value = text.toInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<qint32> Rate(const QString &text)
{
    const std::optional<int> value = WholeNumber(text, 1, 1000000);
    if (!value || !protocol::BaudCodeOfRate(*value))
        return std::nullopt;
    return *value;
}

ParseOutcome Error(const QString &message)
{
    ParseOutcome outcome;
    outcome.kind = ParseOutcome::Kind::Error;
    outcome.text = message;
    return outcome;
}

} // namespace

QString CommandName(Command command)
{
    for (const CommandWord &word : Words) {
        if (word.command == command)
            return QString::fromLatin1(word.name);
    }
    for (const CommandWord &word : AllWords) {
        if (word.command == command)
            return QStringLiteral("all ") + QString::fromLatin1(word.name);
    }
    return {};
}

std::optional<std::uint16_t> ParseSeconds(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,5})(?:\\.([0-9]+))?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const QString fraction = match.captured(2);
    // Only the first decimal counts; 2.55 is no time in 0.1 steps.
    for (qsizetype i = 1; i < fraction.size(); ++i) {
        if (fraction[i] != u'0')
            return std::nullopt;
    }
    const int tenths =
        match.captured(1).toInt() * 10 + (fraction.isEmpty() ? 0 : fraction[0].digitValue());
    if (tenths < 1 || tenths > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(tenths);
}

std::optional<std::array<bool, 8>> ParseMask(const QString &text)
{
    static const QRegularExpression binary(QStringLiteral("^[01]{1,8}$"));
    static const QRegularExpression hex(QStringLiteral("^0[xX]([0-9A-Fa-f]{1,2})$"));
    std::array<bool, 8> mask{};
    if (binary.match(text).hasMatch()) {
        for (qsizetype k = 0; k < text.size(); ++k)
            mask[std::size_t(k)] = text[k] == u'1';
        return mask;
    }
    const QRegularExpressionMatch match = hex.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const uint value = match.captured(1).toUInt(nullptr, 16);
    for (std::size_t k = 0; k < 8; ++k)
        mask[k] = (value >> k) & 1u;
    return mask;
}

std::optional<QByteArray> ParseHexBytes(const QStringList &arguments, QString *error)
{
    static const QRegularExpression hexBytes(QStringLiteral("^(?:[0-9A-Fa-f]{2})+$"));
    QByteArray bytes;
    for (const QString &argument : arguments) {
        const QStringList groups = argument.split(u' ', Qt::SkipEmptyParts);
        bool ok = !groups.isEmpty();
        for (const QString &group : groups)
            ok = ok && hexBytes.match(group).hasMatch();
        if (ok) {
            for (const QString &group : groups)
                bytes += QByteArray::fromHex(group.toLatin1());
        }
        if (!ok) {
            *error = QStringLiteral("not hex bytes: \"%1\" (two hex digits a byte, such as "
                                    "01050000FF00)")
                         .arg(argument);
            return std::nullopt;
        }
    }
    if (bytes.isEmpty()) {
        *error = QStringLiteral("send needs the bytes to send, such as 01050000FF00");
        return std::nullopt;
    }
    return bytes;
}

ParseOutcome ParseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Switches, times, reads and configures MODBUS RTU relay modules over a "
                       "serial line, for scripts and test benches."));
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("What to do (below)."),
                                 QStringLiteral("COMMAND [ARGS]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the version and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The serial port (a device path such as "
                                                 "/dev/ttyUSB0, or a pseudo-terminal) or a "
                                                 "network port, tcp://HOST:PORT or "
                                                 "mbtcp://HOST:PORT[/UNIT]; required except for "
                                                 "ports."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("The line rate, one of the twelve below "
                                                 "(default 9600)."),
                                  QStringLiteral("RATE"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("The module's address 1..255 (default 1); "
                                                    "0 broadcasts and waits for no answer."),
                                     QStringLiteral("A"));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("QV-04 or QV-08 (default QV-08): the "
                                                  "channels there are."),
                                   QStringLiteral("MODEL"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("How long to wait for each answer (default: the time the request and the "
                       "longest answer take on the wire, plus 100 ms; for scan plus 8 ms)."),
        QStringLiteral("MS"));
    const QCommandLineOption retries(QStringLiteral("retries"),
                                     QStringLiteral("Send a request up to N more times when no "
                                                    "answer or a garbled one comes (default 0)."),
                                     QStringLiteral("N"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("One JSON object per result on standard output."));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Every frame out and in, with time stamps, "
                                                    "on standard error."));
    const QCommandLineOption crc(QStringLiteral("crc"),
                                 QStringLiteral("send: append the CRC-16 to the bytes."));
    parser.addOptions(
        {help, version, port, baud, address, model, timeout, retries, json, verbose, crc});

    if (!parser.parse(arguments))
        return Error(parser.errorText());

    if (parser.isSet(help)) {
        ParseOutcome outcome;
        outcome.kind = ParseOutcome::Kind::Help;
        QString text = parser.helpText();
        if (!arguments.isEmpty())
            text.replace(QStringLiteral("<executable_name>"), arguments.front());
        outcome.text = text + u'\n' + Commands;
        return outcome;
    }
    if (parser.isSet(version)) {
        ParseOutcome outcome;
        outcome.kind = ParseOutcome::Kind::Version;
        const QString name = QCoreApplication::applicationName().isEmpty()
                                 ? QStringLiteral("qvctl")
                                 : QCoreApplication::applicationName();
        outcome.text = name + u' ' + QCoreApplication::applicationVersion() + u'\n';
        return outcome;
    }

    Invocation in;
    for (const QCommandLineOption *single : {&baud, &address, &model, &timeout, &retries}) {
        if (parser.values(*single).size() > 1)
            return Error(QStringLiteral("--%1 given more than once").arg(single->names().front()));
    }
    if (parser.isSet(baud)) {
        const auto rate = Rate(parser.value(baud));
        if (!rate)
            return Error(QStringLiteral("--baud: not one of the twelve rates: %1 (300 600 1200 "
                                        "2400 4800 9600 14400 19200 38400 56000 57600 115200)")
                             .arg(parser.value(baud)));
        in.baud = *rate;
    }
    if (parser.isSet(address)) {
        const auto value = WholeNumber(parser.value(address), 0, 255);
        if (!value)
            return Error(QStringLiteral("--address: not 0..255: %1").arg(parser.value(address)));
        in.address = static_cast<std::uint8_t>(*value);
    }
    if (parser.isSet(model)) {
        const QString name = parser.value(model).trimmed().toUpper();
        if (name != QLatin1String("QV-04") && name != QLatin1String("QV-08"))
            return Error(
                QStringLiteral("--model: not QV-04 or QV-08: %1").arg(parser.value(model)));
        in.model = name;
        in.channelCount = name == QLatin1String("QV-04") ? 4 : 8;
    }
    if (parser.isSet(timeout)) {
        const auto value = WholeNumber(parser.value(timeout), 1, 600000);
        if (!value)
            return Error(QStringLiteral("--timeout: not a time of 1..600000 ms: %1")
                             .arg(parser.value(timeout)));
        in.timeoutMs = *value;
    }
    if (parser.isSet(retries)) {
        const auto value = WholeNumber(parser.value(retries), 0, 100);
        if (!value)
            return Error(QStringLiteral("--retries: not 0..100: %1").arg(parser.value(retries)));
        in.retries = *value;
    }
    in.json = parser.isSet(json);
    in.verbose = parser.isSet(verbose);
    in.appendCrc = parser.isSet(crc);

    QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return Error(QStringLiteral("no command given"));
    const QString word = args.takeFirst();
    std::optional<Command> command;
    for (const CommandWord &w : Words) {
        if (word == QLatin1String(w.name))
            command = w.command;
    }
    if (word == QLatin1String("all")) {
        if (args.isEmpty())
            return Error(QStringLiteral("all needs on, off, jog, delay-on or delay-off"));
        const QString second = args.takeFirst();
        for (const CommandWord &w : AllWords) {
            if (second == QLatin1String(w.name))
                command = w.command;
        }
        if (!command)
            return Error(
                QStringLiteral("all %1: not on, off, jog, delay-on or delay-off").arg(second));
    }
    if (!command)
        return Error(QStringLiteral("unknown command: %1").arg(word));
    in.command = *command;
    const QString name = CommandName(in.command);

    if (in.appendCrc && in.command != Command::Send)
        return Error(QStringLiteral("--crc belongs to send only"));

    const QStringList ports = parser.values(port);
    if (in.command == Command::Ports) {
        in.extraPorts = ports;
    } else {
        if (ports.isEmpty() || ports.front().isEmpty())
            return Error(QStringLiteral("%1 needs --port PATH").arg(name));
        if (ports.size() > 1)
            return Error(QStringLiteral("--port given more than once"));
        in.port = ports.front();
    }

    const auto argumentCount = [&](qsizetype count, const QString &form) -> std::optional<QString> {
        if (args.size() == count)
            return std::nullopt;
        return QStringLiteral("%1 takes %2").arg(name, form);
    };
    const auto channel = [&](const QString &text) -> std::optional<int> {
        return WholeNumber(text, 1, in.channelCount);
    };
    const auto noSuchChannel = [&](const QString &text) {
        return Error(QStringLiteral("not a channel of the %1 (1..%2): %3")
                         .arg(in.model)
                         .arg(in.channelCount)
                         .arg(text));
    };
    const auto badSeconds = [](const QString &text) {
        return Error(
            QStringLiteral("not a time of 0.1..6553.5 seconds in 0.1 steps: %1").arg(text));
    };
    // Reading commands need one module to answer.
    const auto needsOneModule = [&]() -> std::optional<ParseOutcome> {
        if (in.address == 0)
            return Error(QStringLiteral("%1 needs the address of one module (1..255), not the "
                                        "broadcast address 0")
                             .arg(name));
        return std::nullopt;
    };

    switch (in.command) {
    case Command::Ports:
    case Command::AllOn:
    case Command::AllOff:
    case Command::Address:
    case Command::FindBaud:
        if (auto e = argumentCount(0, QStringLiteral("no arguments")))
            return Error(*e);
        break;
    case Command::State:
        if (auto e = argumentCount(0, QStringLiteral("no arguments")))
            return Error(*e);
        if (auto e = needsOneModule())
            return *e;
        break;
    case Command::On:
    case Command::Off:
        if (args.isEmpty())
            return Error(QStringLiteral("%1 takes one or more channels: %1 1 3").arg(name));
        for (const QString &text : args) {
            const auto c = channel(text);
            if (!c)
                return noSuchChannel(text);
            in.channels << *c;
        }
        break;
    case Command::Jog:
    case Command::DelayOn:
    case Command::DelayOff: {
        if (auto e = argumentCount(2, QStringLiteral("a channel and a time: %1 1 2.5").arg(name)))
            return Error(*e);
        const auto c = channel(args[0]);
        if (!c)
            return noSuchChannel(args[0]);
        in.channels << *c;
        const auto tenths = ParseSeconds(args[1]);
        if (!tenths)
            return badSeconds(args[1]);
        in.tenths = *tenths;
        break;
    }
    case Command::AllJog:
    case Command::AllDelayOn:
    case Command::AllDelayOff: {
        if (auto e = argumentCount(1, QStringLiteral("a time: %1 2.5").arg(name)))
            return Error(*e);
        const auto tenths = ParseSeconds(args[0]);
        if (!tenths)
            return badSeconds(args[0]);
        in.tenths = *tenths;
        break;
    }
    case Command::Mask: {
        if (auto e = argumentCount(1, QStringLiteral("one mask: mask 10100000 or mask 0x05")))
            return Error(*e);
        const auto mask = ParseMask(args[0]);
        if (!mask)
            return Error(QStringLiteral("not a mask: %1 (binary digits, channel 1 first, such as "
                                        "10100000; or hex such as 0x05)")
                             .arg(args[0]));
        for (int k = in.channelCount; k < 8; ++k) {
            if ((*mask)[std::size_t(k)])
                return Error(QStringLiteral("mask %1 switches channel %2, which the %3 has not")
                                 .arg(args[0])
                                 .arg(k + 1)
                                 .arg(in.model));
        }
        in.mask = *mask;
        break;
    }
    case Command::SetAddress: {
        if (auto e = argumentCount(1, QStringLiteral("the new address: set-address 7")))
            return Error(*e);
        const auto value = WholeNumber(args[0], 1, 255);
        if (!value)
            return Error(QStringLiteral("not an address 1..255: %1").arg(args[0]));
        in.newAddress = static_cast<std::uint8_t>(*value);
        break;
    }
    case Command::SetBaud: {
        if (auto e = argumentCount(1, QStringLiteral("the new rate: set-baud 19200")))
            return Error(*e);
        const auto rate = Rate(args[0]);
        if (!rate)
            return Error(QStringLiteral("not one of the twelve rates: %1").arg(args[0]));
        in.newBaud = *rate;
        break;
    }
    case Command::Scan: {
        if (args.size() > 1)
            return Error(QStringLiteral("scan takes at most one range: scan 1-32"));
        if (!args.isEmpty()) {
            const QStringList ends = args[0].split(u'-');
            const auto from = ends.size() <= 2 ? WholeNumber(ends.front(), 1, 255) : std::nullopt;
            const auto to = ends.size() <= 2 ? WholeNumber(ends.back(), 1, 255) : std::nullopt;
            if (!from || !to || *from > *to)
                return Error(QStringLiteral("not a range FROM-TO within 1-255: %1").arg(args[0]));
            in.scanFrom = *from;
            in.scanTo = *to;
        }
        break;
    }
    case Command::Send: {
        QString error;
        const auto bytes = ParseHexBytes(args, &error);
        if (!bytes)
            return Error(error);
        in.bytes = *bytes;
        if (in.appendCrc) {
            in.bytes.append(2, '\0');
            modbus::AppendCrc(in.bytes);
        }
        break;
    }
    }

    ParseOutcome outcome;
    outcome.kind = ParseOutcome::Kind::Run;
    outcome.invocation = in;
    return outcome;
}

} // namespace qvctl
