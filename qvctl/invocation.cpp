#include "qvctl/invocation.h"

#include "modbus/crc.h"
#include "protocol/baud.h"
#include "qvctl/monitor.h"
#include "qvctl/testcommand.h"
#include "serial/tcpline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <cmath>
#include <variant>

namespace qvctl {

namespace {

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

// The twelve rates as the help and the messages list them: "300 600 ... 115200".
QString RateList()
{
    QStringList rates;
    for (const QString &entry : protocol::BaudList())
        rates << entry.trimmed();
    return rates.join(u' ');
}

// --- the commands ----------------------------------------------------------------------------
//
// Each command reads its own arguments into the invocation (the options are read by then) and
// returns the usage error, if any.

using Problem = std::optional<QString>;
using ArgumentReader = Problem (*)(const QString &name, const QStringList &args, Invocation &in);

Problem Count(const QString &name, const QStringList &args, qsizetype count, const QString &form)
{
    if (args.size() == count)
        return std::nullopt;
    return QStringLiteral("%1 takes %2").arg(name, form);
}

std::optional<int> Channel(const QString &text, const Invocation &in)
{
    return WholeNumber(text, 1, in.channelCount);
}

QString NoSuchChannel(const QString &text, const Invocation &in)
{
    return QStringLiteral("not a channel of the %1 (1..%2): %3")
        .arg(in.model)
        .arg(in.channelCount)
        .arg(text);
}

QString BadSeconds(const QString &text)
{
    return QStringLiteral("not a time of 0.1..6553.5 seconds in 0.1 steps: %1").arg(text);
}

Problem NoArguments(const QString &name, const QStringList &args, Invocation &)
{
    return Count(name, args, 0, QStringLiteral("no arguments"));
}

// A reading command: one module has to answer.
Problem NoArgumentsOneModule(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem = NoArguments(name, args, in))
        return problem;
    if (in.address == 0)
        return QStringLiteral("%1 needs the address of one module (1..255), not the broadcast "
                              "address 0")
            .arg(name);
    return std::nullopt;
}

Problem Channels(const QString &name, const QStringList &args, Invocation &in)
{
    if (args.isEmpty())
        return QStringLiteral("%1 takes one or more channels: %1 1 3").arg(name);
    for (const QString &text : args) {
        const auto c = Channel(text, in);
        if (!c)
            return NoSuchChannel(text, in);
        in.channels << *c;
    }
    return std::nullopt;
}

Problem ChannelAndTime(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem =
            Count(name, args, 2, QStringLiteral("a channel and a time: %1 1 2.5").arg(name)))
        return problem;
    const auto c = Channel(args[0], in);
    if (!c)
        return NoSuchChannel(args[0], in);
    in.channels << *c;
    const auto tenths = ParseSeconds(args[1]);
    if (!tenths)
        return BadSeconds(args[1]);
    in.tenths = *tenths;
    return std::nullopt;
}

Problem Time(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem = Count(name, args, 1, QStringLiteral("a time: %1 2.5").arg(name)))
        return problem;
    const auto tenths = ParseSeconds(args[0]);
    if (!tenths)
        return BadSeconds(args[0]);
    in.tenths = *tenths;
    return std::nullopt;
}

Problem Mask(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem =
            Count(name, args, 1, QStringLiteral("one mask: mask 10100000 or mask 0x05")))
        return problem;
    const auto mask = ParseMask(args[0]);
    if (!mask)
        return QStringLiteral("not a mask: %1 (binary digits, channel 1 first, such as "
                              "10100000; or hex such as 0x05)")
            .arg(args[0]);
    for (int k = in.channelCount; k < 8; ++k) {
        if ((*mask)[std::size_t(k)])
            return QStringLiteral("mask %1 switches channel %2, which the %3 has not")
                .arg(args[0])
                .arg(k + 1)
                .arg(in.model);
    }
    in.mask = *mask;
    return std::nullopt;
}

Problem NewAddress(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem = Count(name, args, 1, QStringLiteral("the new address: set-address 7")))
        return problem;
    const auto value = WholeNumber(args[0], 1, 255);
    if (!value)
        return QStringLiteral("not an address 1..255: %1").arg(args[0]);
    in.newAddress = static_cast<std::uint8_t>(*value);
    return std::nullopt;
}

Problem NewRate(const QString &name, const QStringList &args, Invocation &in)
{
    if (Problem problem = Count(name, args, 1, QStringLiteral("the new rate: set-baud 19200")))
        return problem;
    const auto rate = Rate(args[0]);
    if (!rate)
        return QStringLiteral("not one of the twelve rates: %1").arg(args[0]);
    in.newBaud = *rate;
    return std::nullopt;
}

Problem Range(const QString &, const QStringList &args, Invocation &in)
{
    if (args.size() > 1)
        return QStringLiteral("scan takes at most one range: scan 1-32");
    if (args.isEmpty())
        return std::nullopt;
    const QStringList ends = args[0].split(u'-');
    const auto from = WholeNumber(ends.front(), 1, 255);
    const auto to = WholeNumber(ends.back(), 1, 255);
    if (ends.size() > 2 || !from || !to || *from > *to)
        return QStringLiteral("not a range FROM-TO within 1-255: %1").arg(args[0]);
    in.scanFrom = *from;
    in.scanTo = *to;
    return std::nullopt;
}

// test reads its arguments together with its own options (ReadTestOptions).
Problem TestArguments(const QString &, const QStringList &, Invocation &)
{
    return std::nullopt;
}

Problem HexBytes(const QString &, const QStringList &args, Invocation &in)
{
    QString error;
    const auto bytes = ParseHexBytes(args, &error);
    if (!bytes)
        return error;
    in.bytes = in.appendCrc ? modbus::WithCrc(*bytes) : *bytes;
    if (in.bytes.size() > LongestFrame)
        return QStringLiteral("send takes at most %1 bytes (the longest MODBUS RTU frame), not %2")
            .arg(LongestFrame)
            .arg(in.bytes.size());
    return std::nullopt;
}

struct CommandEntry
{
    const char *name; // as typed; "all" and a second word for the all-channel commands
    Command command;
    const char *arguments; // for the help
    const char *help;
    ArgumentReader read;
};

constexpr CommandEntry Commands[] = {
    {"ports", Command::Ports, "", "list the serial ports, one per line", NoArguments},
    {"on", Command::On, "CH...", "switch channels on (1..8), one request each", Channels},
    {"off", Command::Off, "CH...", "switch channels off", Channels},
    {"jog", Command::Jog, "CH SECONDS", "on now, off after SECONDS (0.1..6553.5)", ChannelAndTime},
    {"delay-on", Command::DelayOn, "CH SECONDS", "on after SECONDS", ChannelAndTime},
    {"delay-off", Command::DelayOff, "CH SECONDS", "off after SECONDS", ChannelAndTime},
    {"all on", Command::AllOn, "", "every channel on at once", NoArguments},
    {"all off", Command::AllOff, "", "every channel off at once", NoArguments},
    {"all jog", Command::AllJog, "SECONDS", "jog every channel of --model", Time},
    {"all delay-on", Command::AllDelayOn, "SECONDS", "every channel of --model on after SECONDS",
     Time},
    {"all delay-off", Command::AllDelayOff, "SECONDS", "every channel of --model off after SECONDS",
     Time},
    {"mask", Command::Mask, "BITS", "set every channel: 10100000 (channel 1 first) or 0x05", Mask},
    {"state", Command::State, "", "print the channels: 1:on 2:off ...", NoArgumentsOneModule},
    {"address", Command::Address, "", "print the address of the only module on the line",
     NoArguments},
    {"set-address", Command::SetAddress, "NEW",
     "give the module the address NEW (1..255), "
     "confirmed",
     NewAddress},
    {"set-baud", Command::SetBaud, "RATE", "give the module the rate RATE, confirmed at RATE",
     NewRate},
    {"scan", Command::Scan, "[FROM-TO]", "print the addresses that answer (default 1-255)", Range},
    {"find-baud", Command::FindBaud, "", "print the first rate at which a module answers",
     NoArguments},
    {"send", Command::Send, "HEX... [--crc]",
     "send raw bytes (CRC appended with --crc), print "
     "the reply",
     HexBytes},
    {"test", Command::Test, "", "check every channel of the module(s) and report (options below)",
     TestArguments},
    {"monitor", Command::Monitor, "", "listen without sending: one line per frame (options below)",
     NoArguments},
    {"watch", Command::Watch, "",
     "the state of every module of --addresses or --scan, read in turn and shown as it changes",
     TestArguments},
    {"doctor", Command::Doctor, "",
     "check the port, the adapter and the line, and say what is wrong and what to do",
     NoArgumentsOneModule},
};

const CommandEntry *FindCommand(const QString &name)
{
    for (const CommandEntry &entry : Commands) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

// The commands, the rates and the exit status, after the options in the help.
QString CommandsHelp()
{
    QString text = QStringLiteral("Commands:\n");
    for (const CommandEntry &entry : Commands) {
        QString usage = QString::fromLatin1(entry.name);
        if (*entry.arguments)
            usage += u' ' + QString::fromLatin1(entry.arguments);
        text += QStringLiteral("  %1 %2\n").arg(usage, -30).arg(QString::fromLatin1(entry.help));
    }
    text += QStringLiteral("\nBaud rates: %1\n").arg(RateList());
    text += QStringLiteral(
        "\n"
        "Exit status: 0 done and confirmed; 1 no answer within the timeout (or only the\n"
        "adapter's echo); 2 usage error;\n"
        "3 the port or an output file cannot be opened or written (missing, busy, no\n"
        "permission, full); 4 a wrong answer (bad CRC, exception, mismatched echo); 5 test\n"
        "interrupted by Ctrl+C, SIGTERM or SIGHUP (relays off first). scan: 0 when at least\n"
        "one module answered. doctor: 0 nothing worse than a warning, 4 a fault found, 3 the\n"
        "port cannot be opened.\n");
    return text;
}

// The command at the front of args, taken off: one word, or "all" and a second word.
std::variant<const CommandEntry *, QString> ReadCommand(QStringList &args)
{
    if (args.isEmpty())
        return QStringLiteral("no command given");
    const QString word = args.takeFirst();
    if (word == QLatin1String("all")) {
        if (args.isEmpty())
            return QStringLiteral("all needs on, off, jog, delay-on or delay-off");
        const QString second = args.takeFirst();
        if (const CommandEntry *entry = FindCommand(word + u' ' + second))
            return entry;
        return QStringLiteral("all %1: not on, off, jog, delay-on or delay-off").arg(second);
    }
    if (const CommandEntry *entry = FindCommand(word))
        return entry;
    return QStringLiteral("unknown command: %1").arg(word);
}

} // namespace

QString CommandName(Command command)
{
    for (const CommandEntry &entry : Commands) {
        if (entry.command == command)
            return QString::fromLatin1(entry.name);
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

std::optional<double> ParseDuration(const QString &text)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    // The longest time a timer counts in ms.
    constexpr double LongestS = 2147483;
    if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > LongestS)
        return std::nullopt;
    return seconds;
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

namespace {

// The options qvctl takes.
struct Options
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Print this help and exit.")};
    QCommandLineOption version{QStringLiteral("version"),
                               QStringLiteral("Print the version and exit.")};
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("The serial port (a device path such as /dev/ttyUSB0, "
                                           "or a pseudo-terminal) or a network port, "
                                           "tcp://HOST:PORT or mbtcp://HOST:PORT[/UNIT]; "
                                           "required except for ports."),
                            QStringLiteral("PATH")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("The line rate, one of the twelve below (default "
                                           "9600)."),
                            QStringLiteral("RATE")};
    QCommandLineOption address{QStringLiteral("address"),
                               QStringLiteral("The module's address 1..255 (default 1); 0 "
                                              "broadcasts and waits for no answer."),
                               QStringLiteral("A")};
    QCommandLineOption model{QStringLiteral("model"),
                             QStringLiteral("QV-04 or QV-08 (default QV-08): the channels there "
                                            "are."),
                             QStringLiteral("MODEL")};
    QCommandLineOption timeout{
        QStringLiteral("timeout"),
        QStringLiteral("How long to wait for each answer (default: the time the request and the "
                       "longest answer take on the wire, plus 100 ms; for scan plus 8 ms)."),
        QStringLiteral("MS")};
    QCommandLineOption retries{QStringLiteral("retries"),
                               QStringLiteral("Send a request up to N more times when no answer "
                                              "or a garbled one comes (default 0)."),
                               QStringLiteral("N")};
    QCommandLineOption parity{QStringLiteral("parity"),
                              QStringLiteral("none (default), even or odd: the line's parity "
                                             "bit (modules speak 8N1; meters and drives often "
                                             "8E1)."),
                              QStringLiteral("PARITY")};
    QCommandLineOption stopBits{QStringLiteral("stop-bits"),
                                QStringLiteral("1 (default) or 2 stop bits."), QStringLiteral("N")};
    QCommandLineOption gap{QStringLiteral("gap"),
                           QStringLiteral("A pause of MS between the end of one request's "
                                          "answer and the next request (default 0: the frame "
                                          "gap only)."),
                           QStringLiteral("MS")};
    QCommandLineOption parities{QStringLiteral("parities"),
                                QStringLiteral("find-baud: the parities to sweep at each rate, "
                                               "such as none,even,odd (default none)."),
                                QStringLiteral("LIST")};
    QCommandLineOption rs485{QStringLiteral("rs485"),
                             QStringLiteral("Switch on the serial driver's RS-485 mode (RTS "
                                            "raised while sending) for a transceiver that does "
                                            "not switch direction by itself.")};
    QCommandLineOption rs485Delays{QStringLiteral("rs485-delays"),
                                   QStringLiteral("With --rs485: RTS raised BEFORE ms before "
                                                  "sending and held AFTER ms after (default "
                                                  "0,0)."),
                                   QStringLiteral("BEFORE,AFTER")};
    QCommandLineOption echo{
        QStringLiteral("echo"),
        QStringLiteral(
            "Whether the line's adapter hears itself: auto (default) learns it from what "
            "comes back, with one state read of the address at most before a command "
            "whose answer is a copy of itself; drop takes the copy of each request off "
            "before the answer is read; none reads answers as they come."),
        QStringLiteral("auto|drop|none")};
    QCommandLineOption json{QStringLiteral("json"),
                            QStringLiteral("One JSON object per result on standard output.")};
    QCommandLineOption verbose{QStringLiteral("verbose"),
                               QStringLiteral("Every frame out and in, with time stamps, on "
                                              "standard error.")};
    QCommandLineOption crc{QStringLiteral("crc"),
                           QStringLiteral("send: append the CRC-16 to the bytes.")};
    QCommandLineOption reads{QStringLiteral("reads"),
                             QStringLiteral("doctor: the state reads timed where the module "
                                            "answers (default 20)."),
                             QStringLiteral("N")};
};

// Reads the options that hold for every command into in; the usage error, if any.
Problem ReadOptions(const QCommandLineParser &parser, const Options &o, Invocation &in)
{
    for (const QCommandLineOption *single :
         {&o.baud, &o.address, &o.model, &o.timeout, &o.retries, &o.parity, &o.stopBits, &o.gap,
          &o.parities, &o.rs485Delays, &o.echo, &o.reads}) {
        if (parser.values(*single).size() > 1)
            return QStringLiteral("--%1 given more than once").arg(single->names().front());
    }
    if (parser.isSet(o.baud)) {
        const auto rate = Rate(parser.value(o.baud));
        if (!rate)
            return QStringLiteral("--baud: not one of the twelve rates: %1 (%2)")
                .arg(parser.value(o.baud), RateList());
        in.baud = *rate;
    }
    if (parser.isSet(o.address)) {
        const auto value = WholeNumber(parser.value(o.address), 0, 255);
        if (!value)
            return QStringLiteral("--address: not 0..255: %1").arg(parser.value(o.address));
        in.address = static_cast<std::uint8_t>(*value);
    }
    if (parser.isSet(o.model)) {
        const QString name = parser.value(o.model).trimmed().toUpper();
        if (name != QLatin1String("QV-04") && name != QLatin1String("QV-08"))
            return QStringLiteral("--model: not QV-04 or QV-08: %1").arg(parser.value(o.model));
        in.model = name;
        in.channelCount = name == QLatin1String("QV-04") ? 4 : 8;
    }
    if (parser.isSet(o.timeout)) {
        const auto value = WholeNumber(parser.value(o.timeout), 1, 600000);
        if (!value)
            return QStringLiteral("--timeout: not a time of 1..600000 ms: %1")
                .arg(parser.value(o.timeout));
        in.timeoutMs = *value;
    }
    if (parser.isSet(o.echo)) {
        const auto echo = bus::EchoFromText(parser.value(o.echo));
        if (!echo)
            return QStringLiteral("--echo: not auto, drop or none: %1").arg(parser.value(o.echo));
        in.echo = *echo;
    }
    if (parser.isSet(o.retries)) {
        const auto value = WholeNumber(parser.value(o.retries), 0, 100);
        if (!value)
            return QStringLiteral("--retries: not 0..100: %1").arg(parser.value(o.retries));
        in.retries = *value;
    }
    if (parser.isSet(o.parity)) {
        const auto parity = bus::ParityOf(parser.value(o.parity));
        if (!parity)
            return QStringLiteral("--parity: not none, even or odd: %1")
                .arg(parser.value(o.parity));
        in.parity = *parity;
    }
    if (parser.isSet(o.stopBits)) {
        const auto value = WholeNumber(parser.value(o.stopBits), 1, 2);
        if (!value)
            return QStringLiteral("--stop-bits: not 1 or 2: %1").arg(parser.value(o.stopBits));
        in.stopBits = *value;
    }
    if (in.parity != bus::Parity::None && in.stopBits == 2)
        return QStringLiteral("--parity and --stop-bits 2: a character has a parity bit or a "
                              "second stop bit, not both (8E1, 8O1 or 8N2)");
    if (parser.isSet(o.gap)) {
        const auto value = WholeNumber(parser.value(o.gap), 0, 60000);
        if (!value)
            return QStringLiteral("--gap: not a pause of 0..60000 ms: %1").arg(parser.value(o.gap));
        in.gapMs = *value;
    }
    if (parser.isSet(o.parities)) {
        in.parities.clear();
        for (const QString &word : parser.value(o.parities).split(u',')) {
            const auto parity = bus::ParityOf(word.trimmed());
            if (!parity || in.parities.contains(*parity))
                return QStringLiteral("--parities: a list of none, even and odd, each once: %1")
                    .arg(parser.value(o.parities));
            in.parities << *parity;
        }
    }
    in.rs485.enabled = parser.isSet(o.rs485);
    if (parser.isSet(o.rs485Delays)) {
        const QStringList delays = parser.value(o.rs485Delays).split(u',');
        const auto before = delays.size() == 2 ? WholeNumber(delays[0], 0, 1000) : std::nullopt;
        const auto after = delays.size() == 2 ? WholeNumber(delays[1], 0, 1000) : std::nullopt;
        if (!before || !after || !in.rs485.enabled)
            return QStringLiteral("--rs485-delays: two times of 0..1000 ms, BEFORE,AFTER, with "
                                  "--rs485: %1")
                .arg(parser.value(o.rs485Delays));
        in.rs485.delayBeforeMs = *before;
        in.rs485.delayAfterMs = *after;
    }
    if (parser.isSet(o.reads)) {
        const auto value = WholeNumber(parser.value(o.reads), 1, 10000);
        if (!value)
            return QStringLiteral("--reads: not 1..10000: %1").arg(parser.value(o.reads));
        in.doctorReads = *value;
    }
    in.json = parser.isSet(o.json);
    in.verbose = parser.isSet(o.verbose);
    in.appendCrc = parser.isSet(o.crc);
    return std::nullopt;
}

// The port options, once the command is known: ports lists them, every other command needs one.
Problem ReadPort(const QCommandLineParser &parser, const Options &o, Invocation &in)
{
    const QStringList ports = parser.values(o.port);
    if (in.command == Command::Ports) {
        in.extraPorts = ports;
        return std::nullopt;
    }
    if (ports.isEmpty() || ports.front().isEmpty())
        return QStringLiteral("%1 needs --port PATH").arg(CommandName(in.command));
    if (ports.size() > 1)
        return QStringLiteral("--port given more than once");
    in.port = ports.front();
    QString problem;
    if (serial::IsNetworkPortName(in.port) && !serial::ParseNetworkPort(in.port, &problem))
        return QStringLiteral("--port %1: %2").arg(in.port, problem);
    return std::nullopt;
}

ParseOutcome Printed(ParseOutcome::Kind kind, const QString &text)
{
    ParseOutcome outcome;
    outcome.kind = kind;
    outcome.text = text;
    return outcome;
}

} // namespace

bus::LineSettings LineSettingsOf(const Invocation &in)
{
    return {in.baud, in.parity, in.stopBits};
}

ParseOutcome ParseArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Switches, times, reads and configures MODBUS RTU relay modules over a "
                       "serial line, for scripts and test benches."));
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("What to do (below)."),
                                 QStringLiteral("COMMAND [ARGS]"));
    const Options o;
    parser.addOptions({o.help, o.version, o.port, o.baud, o.address, o.model, o.timeout, o.retries,
                       o.parity, o.stopBits, o.gap, o.parities, o.rs485, o.rs485Delays, o.echo,
                       o.json, o.verbose, o.crc, o.reads});
    parser.addOptions(TestOptions());
    parser.addOptions(MonitorOptions());
    if (!parser.parse(arguments))
        return Error(parser.errorText());

    if (parser.isSet(o.help)) {
        QString text = parser.helpText();
        if (!arguments.isEmpty())
            text.replace(QStringLiteral("<executable_name>"), arguments.front());
        return Printed(ParseOutcome::Kind::Help, text + u'\n' + CommandsHelp());
    }
    if (parser.isSet(o.version)) {
        const QString name = QCoreApplication::applicationName().isEmpty()
                                 ? QStringLiteral("qvctl")
                                 : QCoreApplication::applicationName();
        return Printed(ParseOutcome::Kind::Version,
                       name + u' ' + QCoreApplication::applicationVersion() + u'\n');
    }

    Invocation in;
    if (const Problem problem = ReadOptions(parser, o, in))
        return Error(*problem);
    QStringList args = parser.positionalArguments();
    const auto command = ReadCommand(args);
    if (const QString *problem = std::get_if<QString>(&command))
        return Error(*problem);
    const CommandEntry &entry = *std::get<const CommandEntry *>(command);
    in.command = entry.command;
    if (in.appendCrc && in.command != Command::Send)
        return Error(QStringLiteral("--crc belongs to send only"));
    if (parser.isSet(o.parities) && in.command != Command::FindBaud)
        return Error(QStringLiteral("--parities belongs to find-baud only"));
    if (parser.isSet(o.reads) && in.command != Command::Doctor)
        return Error(QStringLiteral("--reads belongs to doctor only"));
    if (const Problem problem = ReadPort(parser, o, in))
        return Error(*problem);
    if (const Problem problem = entry.read(CommandName(in.command), args, in))
        return Error(*problem);
    if (const Problem problem = ReadTestOptions(parser, args, in))
        return Error(*problem);
    if (const Problem problem = ReadMonitorOptions(parser, in))
        return Error(*problem);

    ParseOutcome outcome;
    outcome.kind = ParseOutcome::Kind::Run;
    outcome.invocation = in;
    return outcome;
}

} // namespace qvctl
