#include "qvctl/runner.h"

#include "link/search.h"
#include "modbus/answer.h"
#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/names.h"
#include "modbus/timing.h"
#include "protocol/baud.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "qvctl/doctor.h"
#include "qvctl/monitor.h"
#include "qvctl/testcommand.h"
#include "qvctl/watch.h"
#include "serial/portenumerator.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace qvctl {

using namespace modbus;

namespace {

QString Hex(QByteArrayView bytes)
{
    return protocol::HexFrameText(bytes).trimmed();
}

QString PermissionGroup(const QString &path)
{
    // Serial devices belong to a group whose members may open them; for a device of root's
    // group the usual one is dialout.
    QString group = QFileInfo(path).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    return group;
}

// What is said when the bytes back were the adapter's copy of the request and nothing else.
const QString OnlyEcho = QStringLiteral("only the adapter's echo came back: no module answered");

} // namespace

Runner::Runner(const Invocation &invocation, Sink out, Sink err, QObject *parent)
    : QObject(parent), m_in(invocation), m_out(std::move(out)), m_err(std::move(err))
{}

Runner::~Runner() = default;

Exit Runner::run()
{
    if (m_in.command == Command::Ports) {
        serial::PortEnumerator enumerator;
        enumerator.setExtraPorts(m_in.extraPorts);
        for (const QString &name : enumerator.list().names) {
            QJsonObject json;
            json.insert(QStringLiteral("command"), QStringLiteral("ports"));
            json.insert(QStringLiteral("port"), name);
            result({name, json});
        }
        return Exit::Done;
    }
    // A report left by an earlier test must not be read as this run's, whatever happens now.
    if (m_in.command == Command::Test) {
        if (const Exit removed = RemoveEarlierReports(m_in, m_err); removed != Exit::Done)
            return removed;
    }
    // The line check opens the port itself: a port that does not open is one of its findings.
    if (m_in.command == Command::Doctor)
        return RunDoctor(m_in, m_out, m_err);
    const Exit opened = open(m_in.baud);
    if (opened != Exit::Done)
        return opened;
    Exit status = Exit::Done;
    if (m_in.command == Command::Monitor) {
        // Listens only: the port's bytes are the monitor's, no master reads them.
        status = RunMonitor(m_in, m_port, m_out, m_err);
    } else if (m_in.command == Command::Watch) {
        status = RunWatch(m_in, master(), m_out, m_err);
    } else if (m_in.command == Command::Test) {
        status = RunModuleTest(m_in, master(), m_out, m_err);
    } else {
        runCommand();
        if (!m_status)
            m_loop.exec();
        status = m_status.value_or(Exit::Done);
    }
    m_task.reset();
    m_port.close();
    return status;
}

bus::Master &Runner::master()
{
    if (!m_master) {
        m_line = std::make_unique<bus::PortLine>(m_port);
        m_master = std::make_unique<bus::Master>(*m_line);
        m_master->setPacing({double(m_in.gapMs), m_in.timeoutMs, m_in.retries});
        m_master->setEcho(m_in.echo);
        connect(m_master.get(), &bus::Master::echoLearned, this, [this](bool echoes) {
            // Said once a run: the adapter's echo is news; a line without one is as expected.
            if (echoes)
                m_err(QStringLiteral("qvctl: the adapter echoes what is sent: its copy of each "
                                     "request is taken off before the answer is read\n"));
            else
                log(QStringLiteral("the line does not echo"));
        });
        // The traffic is told only with --verbose: a flood of bytes is not worth formatting.
        if (m_in.verbose) {
            connect(m_master.get(), &bus::Master::wrote, this, [this](const QByteArray &frame) {
                log(QStringLiteral("out %1").arg(Hex(frame)));
            });
            connect(m_master.get(), &bus::Master::heard, this, [this](const QByteArray &chunk) {
                log(QStringLiteral("in  %1").arg(Hex(chunk)));
            });
            connect(m_master.get(), &bus::Master::timedOut, this,
                    [this](int ms) { log(QStringLiteral("timeout after %1 ms").arg(ms)); });
            connect(m_master.get(), &bus::Master::retrying, this, [this](int retry, int retries) {
                log(QStringLiteral("retry %1 of %2").arg(retry).arg(retries));
            });
            connect(m_master.get(), &bus::Master::stray, this, [this](const QByteArray &bytes) {
                log(QStringLiteral("dropped %1").arg(Hex(bytes)));
            });
        }
    }
    return *m_master;
}

void Runner::runCommand()
{
    switch (m_in.command) {
    case Command::Ports:
    case Command::Test:
    case Command::Watch:
    case Command::Monitor:
    case Command::Doctor:
        finish(Exit::Done);
        return;
    case Command::On:
    case Command::Off:
        switchChannels(0);
        return;
    case Command::Jog:
    case Command::DelayOn:
    case Command::DelayOff:
        timedChannel();
        return;
    case Command::AllOn:
    case Command::AllOff:
    case Command::AllJog:
    case Command::AllDelayOn:
    case Command::AllDelayOff:
        allChannels();
        return;
    case Command::Mask:
        mask();
        return;
    case Command::State:
        state();
        return;
    case Command::Address:
        probeAddress();
        return;
    case Command::SetAddress:
        setAddress();
        return;
    case Command::SetBaud:
        setBaud();
        return;
    case Command::Scan:
        scan();
        return;
    case Command::FindBaud:
        findBaud();
        return;
    case Command::Send:
        sendRaw();
        return;
    }
}

void Runner::finish(Exit status)
{
    if (m_status)
        return;
    m_status = status;
    m_loop.quit();
}

// --- the line --------------------------------------------------------------------------------

Exit Runner::open(qint32 rate)
{
    m_port.close();
    m_port.setPortName(m_in.port);
    bus::LineSettings line = LineSettingsOf(m_in);
    line.rate = rate;
    m_port.setLineSettings(bus::PortSettings(line));
    serial::OpenResult opened = m_port.open();
    const QString &path = m_in.port;
    if (opened == serial::OpenResult::Connecting) {
        // A network port: wait for the connection (the port gives up after its own time-out).
        QEventLoop loop;
        connect(&m_port, &serial::CommPort::opened, &loop, &QEventLoop::quit);
        connect(&m_port, &serial::CommPort::openFailed, &loop, &QEventLoop::quit);
        loop.exec();
        opened =
            m_port.isOpen() ? serial::OpenResult::Ok : serial::OpenResultOf(m_port.failure().kind);
        if (opened == serial::OpenResult::NoSuchPort)
            return fail(Exit::Port,
                        QStringLiteral("cannot connect to %1: %2").arg(path, m_port.errorText()));
    }
    switch (opened) {
    case serial::OpenResult::Ok:
        log(QStringLiteral("opened %1 at %2 baud %3")
                .arg(path)
                .arg(rate)
                .arg(bus::FormatName(line)));
        if (m_in.rs485.enabled) {
            if (const std::optional<QString> refused = m_port.setRs485(m_in.rs485))
                return fail(Exit::Port, *refused);
            log(QStringLiteral("RS-485 mode on"));
        }
        return Exit::Done;
    case serial::OpenResult::NoSuchPort:
        return fail(Exit::Port, QStringLiteral("no such port: %1").arg(path));
    case serial::OpenResult::Busy:
        return fail(Exit::Port,
                    QStringLiteral("the port %1 is in use by another program").arg(path));
    case serial::OpenResult::NoPermission:
        return fail(Exit::Port, QStringLiteral("no permission to open %1: add your account to the "
                                               "group %2 (sudo usermod -aG %2 $USER) and log in "
                                               "again")
                                    .arg(path, PermissionGroup(path)));
    case serial::OpenResult::Other:
    case serial::OpenResult::Connecting:
        break;
    }
    // A format the port cannot take is named; a device that takes no line settings at all is
    // no serial port, and says so below.
    if (m_port.failure().kind == serial::FailureKind::BadSettings &&
        line.format() != modbus::CharacterFormat{})
        return fail(Exit::Port, QStringLiteral("%1 cannot be set to %2 baud %3: %4%5")
                                    .arg(path)
                                    .arg(rate)
                                    .arg(bus::FormatName(line), m_port.errorText(),
                                         line.parity != bus::Parity::None &&
                                                 path.startsWith(QLatin1String("/dev/pts/"))
                                             ? QStringLiteral(" (a pseudo-terminal carries no "
                                                              "parity bit)")
                                             : QString()));
    return fail(Exit::Port, QStringLiteral("cannot open %1: %2").arg(path, m_port.errorText()));
}

qint32 Runner::rate() const
{
    return m_port.lineSettings().baudRate;
}

void Runner::ask(const QByteArray &request, Answered then, const QString &silence)
{
    bus::Transaction t;
    t.request = request;
    const bool broadcast = request.at(0) == 0 && request != protocol::AddressProbe().frame;
    if (broadcast)
        t.expect = bus::Expect::Nothing; // carried out by every module, answered by none
    master().submit(t, [this, request, broadcast, silence,
                        then = std::move(then)](const bus::Outcome &outcome) {
        if (outcome.portFailed)
            finish(portFailed());
        else if (broadcast || outcome.answered())
            then(outcome.received);
        else
            finish(failure(request, outcome, silence));
    });
}

Exit Runner::failure(const QByteArray &request, const bus::Outcome &outcome, const QString &silence)
{
    if (outcome.onlyEcho)
        return fail(Exit::NoAnswer, OnlyEcho);
    // Told the line does not echo, yet the bytes back are the start of the request itself.
    if (!outcome.silent() && outcome.check.verdict != Verdict::Good &&
        request.startsWith(outcome.received))
        return fail(Exit::NoAnswer, OnlyEcho + QStringLiteral(" (the line echoes: --echo auto)"));
    if (outcome.check.verdict != Verdict::Incomplete)
        return fail(Exit::WrongAnswer, outcome.check.message);
    if (!outcome.silent())
        return fail(Exit::WrongAnswer,
                    QStringLiteral("incomplete answer from address %1 within %2 ms: %3")
                        .arg(std::uint8_t(request.at(0)))
                        .arg(outcome.timeoutMs)
                        .arg(Hex(outcome.received)));
    if (!silence.isEmpty())
        return fail(Exit::NoAnswer, silence);
    return fail(
        Exit::NoAnswer,
        withUnusableInput(QStringLiteral("no answer from address %1 within %2 ms at %3 baud")
                              .arg(std::uint8_t(request.at(0)))
                              .arg(outcome.timeoutMs)
                              .arg(rate())));
}

QString Runner::withUnusableInput(const QString &noAnswer) const
{
    // A gateway that did send something, though not an answer to this request, says what.
    const QString unusable = m_port.unusableInput();
    return unusable.isEmpty() ? noAnswer : QStringLiteral("%1; %2").arg(noAnswer, unusable);
}

// --- output ----------------------------------------------------------------------------------

void Runner::result(const Result &result)
{
    m_out(ResultLine(result, m_in.json));
}

Exit Runner::fail(Exit status, const QString &message)
{
    m_err(QStringLiteral("qvctl: %1\n").arg(message));
    if (m_in.json)
        m_out(FailureJsonLine(CommandName(m_in.command), status, message));
    return status;
}

Exit Runner::portFailed()
{
    const QString detail = m_line ? m_line->failure() : m_port.errorText();
    return fail(Exit::Port, detail.isEmpty() ? QStringLiteral("the port failed")
                                             : QStringLiteral("the port failed: %1").arg(detail));
}

void Runner::log(const QString &text)
{
    if (!m_in.verbose)
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    m_err(QStringLiteral("%1 %2 %3\n").arg(stamp).arg(rate(), 6).arg(text));
}

QJsonObject Runner::object() const
{
    QJsonObject json;
    json.insert(QStringLiteral("command"), CommandName(m_in.command));
    json.insert(QStringLiteral("address"), m_in.address);
    if (m_in.address == 0)
        json.insert(QStringLiteral("broadcast"), true);
    return json;
}

// --- the commands ----------------------------------------------------------------------------

namespace {
const QString Broadcast = QStringLiteral(" (broadcast, not confirmed)");
}

void Runner::switchChannels(int index)
{
    if (index >= m_in.channels.size()) {
        finish(Exit::Done);
        return;
    }
    const bool on = m_in.command == Command::On;
    const int channel = m_in.channels.at(index);
    ask(protocol::SwitchRequest(m_in.address, std::uint8_t(channel - 1), on).frame,
        [this, index, channel, on](const QByteArray &) {
            QJsonObject json = object();
            json.insert(QStringLiteral("channel"), channel);
            json.insert(QStringLiteral("state"), on ? QStringLiteral("on") : QStringLiteral("off"));
            result({QStringLiteral("%1:%2").arg(channel).arg(on ? "on" : "off") +
                        (m_in.address == 0 ? Broadcast : QString()),
                    json});
            switchChannels(index + 1);
        });
}

void Runner::timedChannel()
{
    const int channel = m_in.channels.front();
    protocol::TimedAction action = protocol::TimedAction::Jog;
    QString text = QStringLiteral("%1:jog %2 s");
    if (m_in.command == Command::DelayOn) {
        action = protocol::TimedAction::DelayedOn;
        text = QStringLiteral("%1:on after %2 s");
    } else if (m_in.command == Command::DelayOff) {
        action = protocol::TimedAction::DelayedOff;
        text = QStringLiteral("%1:off after %2 s");
    }
    const protocol::TimeBytes time{std::uint8_t(m_in.tenths >> 8),
                                   std::uint8_t(m_in.tenths & 0xFF)};
    ask(protocol::TimedChannelRequest(action, m_in.address, std::uint8_t(channel - 1), time).frame,
        [this, channel, text](const QByteArray &) {
            QJsonObject json = object();
            json.insert(QStringLiteral("channel"), channel);
            json.insert(QStringLiteral("seconds"), m_in.tenths / 10.0);
            result({text.arg(channel).arg(SecondsText(m_in.tenths)) +
                        (m_in.address == 0 ? Broadcast : QString()),
                    json});
            finish(Exit::Done);
        });
}

void Runner::allChannels()
{
    const int n = m_in.channelCount;
    QByteArray request;
    QString text;
    QJsonObject json = object();
    json.insert(QStringLiteral("model"), m_in.model);
    const std::uint16_t allBits = std::uint16_t((1u << n) - 1);
    switch (m_in.command) {
    case Command::AllOn:
        request = protocol::AllOnRequest(m_in.address).frame;
        text = ChannelStatesText(allBits, n);
        json.insert(QStringLiteral("channels"), ChannelStatesJson(allBits, n));
        break;
    case Command::AllOff:
        request = protocol::AllOffRequest(m_in.address).frame;
        text = ChannelStatesText(0, n);
        json.insert(QStringLiteral("channels"), ChannelStatesJson(0, n));
        break;
    default: {
        protocol::TimedAction action = protocol::TimedAction::Jog;
        QString form = QStringLiteral("all:jog %1 s");
        if (m_in.command == Command::AllDelayOn) {
            action = protocol::TimedAction::DelayedOn;
            form = QStringLiteral("all:on after %1 s");
        } else if (m_in.command == Command::AllDelayOff) {
            action = protocol::TimedAction::DelayedOff;
            form = QStringLiteral("all:off after %1 s");
        }
        const std::vector<protocol::TimeBytes> times(
            std::size_t(n), {std::uint8_t(m_in.tenths >> 8), std::uint8_t(m_in.tenths & 0xFF)});
        request = protocol::TimedAllRequest(action, m_in.address, times, n).frame;
        text = form.arg(SecondsText(m_in.tenths));
        json.insert(QStringLiteral("seconds"), m_in.tenths / 10.0);
        break;
    }
    }
    ask(request, [this, text, json](const QByteArray &) {
        result({text + (m_in.address == 0 ? Broadcast : QString()), json});
        finish(Exit::Done);
    });
}

void Runner::mask()
{
    ask(protocol::MaskRequest(m_in.address, m_in.mask).frame, [this](const QByteArray &) {
        const std::uint16_t bits = protocol::ChannelMask(m_in.mask);
        QJsonObject json = object();
        json.insert(QStringLiteral("mask"), bits);
        json.insert(QStringLiteral("channels"), ChannelStatesJson(bits, m_in.channelCount));
        result({ChannelStatesText(bits, m_in.channelCount) +
                    (m_in.address == 0 ? Broadcast : QString()),
                json});
        finish(Exit::Done);
    });
}

void Runner::state()
{
    ask(protocol::StateRequest(m_in.address).frame, [this](const QByteArray &answer) {
        const std::uint16_t bits = RegisterValue(answer);
        QJsonObject json = object();
        json.insert(QStringLiteral("value"), bits);
        json.insert(QStringLiteral("channels"), ChannelStatesJson(bits, m_in.channelCount));
        result({ChannelStatesText(bits, m_in.channelCount), json});
        finish(Exit::Done);
    });
}

void Runner::probeAddress()
{
    // Every module answers the probe: listen the whole wait to hear a second one.
    bus::Transaction t;
    t.request = protocol::AddressProbe().frame;
    t.expect = bus::Expect::Window;
    t.timeoutMs = master().timeoutFor(t.request);
    master().submit(t, [this, t](const bus::Outcome &outcome) {
        if (outcome.portFailed) {
            finish(portFailed());
            return;
        }
        if (outcome.onlyEcho) {
            finish(fail(Exit::NoAnswer, OnlyEcho));
            return;
        }
        if (outcome.silent()) {
            finish(fail(Exit::NoAnswer,
                        QStringLiteral("no module answered the address probe within %1 ms at %2 "
                                       "baud")
                            .arg(outcome.timeoutMs)
                            .arg(rate())));
            return;
        }
        QByteArray rest = outcome.received;
        std::vector<int> addresses;
        for (const RegisterAnswer &a : TakeRegisterAnswers(rest)) {
            // A module answers with its address twice: as the frame's address and as the value.
            // A MODBUS TCP gateway answers under the unit it was asked at, the probe's own 0x24,
            // and the value alone says who answered.
            const bool own = a.value == a.address || a.address == modbus::ProbeAddress;
            if (!a.exception && own &&
                std::find(addresses.begin(), addresses.end(), a.value) == addresses.end())
                addresses.push_back(a.value);
        }
        if (addresses.size() == 1) {
            QJsonObject json;
            json.insert(QStringLiteral("command"), CommandName(m_in.command));
            json.insert(QStringLiteral("address"), addresses.front());
            result({QString::number(addresses.front()), json});
            finish(Exit::Done);
            return;
        }
        if (addresses.size() > 1) {
            QStringList list;
            for (const int a : addresses)
                list << QString::number(a);
            finish(fail(Exit::WrongAnswer,
                        QStringLiteral("more than one module answered (%1); the probe needs one "
                                       "module on the line: use scan")
                            .arg(list.join(QStringLiteral(", ")))));
            return;
        }
        const Check check = CheckAnswer(t.request, outcome.received);
        finish(
            fail(Exit::WrongAnswer,
                 check.message.isEmpty()
                     ? QStringLiteral("not an answer to the probe: %1").arg(Hex(outcome.received))
                     : check.message));
    });
}

void Runner::setAddress()
{
    const std::uint8_t newAddress = m_in.newAddress;
    ask(protocol::SetAddressRequest(m_in.address, newAddress).frame,
        [this, newAddress](const QByteArray &) {
            QJsonObject json = object();
            json.insert(QStringLiteral("new-address"), newAddress);
            if (m_in.address == 0) {
                json.insert(QStringLiteral("confirmed"), false);
                result({QStringLiteral("address %1").arg(newAddress) + Broadcast, json});
                finish(Exit::Done);
                return;
            }
            // The module takes the new address once its echo is out; a state read there confirms
            // it.
            ask(
                protocol::StateRequest(newAddress).frame,
                [this, newAddress, json](const QByteArray &) mutable {
                    json.insert(QStringLiteral("confirmed"), true);
                    result({QStringLiteral("address %1, confirmed").arg(newAddress), json});
                    finish(Exit::Done);
                },
                QStringLiteral("the module echoed the new address %1 but does not answer at it")
                    .arg(newAddress));
        });
}

void Runner::setBaud()
{
    const qint32 newRate = m_in.newBaud;
    const auto code = protocol::BaudCodeOfRate(newRate);
    ask(protocol::SetRateRequest(m_in.address, std::uint8_t(*code)).frame,
        [this, newRate](const QByteArray &) {
            QJsonObject json = object();
            json.insert(QStringLiteral("baud"), newRate);
            if (m_in.address == 0) {
                json.insert(QStringLiteral("confirmed"), false);
                result({QStringLiteral("baud %1").arg(newRate) + Broadcast, json});
                finish(Exit::Done);
                return;
            }
            // The echo came at the old rate; the module listens at the new one from now on.
            bus::LineSettings line = LineSettingsOf(m_in);
            line.rate = newRate;
            if (!master().setLineSettings(line)) {
                finish(portFailed());
                return;
            }
            log(QStringLiteral("rate %1 baud").arg(newRate));
            ask(
                protocol::StateRequest(m_in.address).frame,
                [this, newRate, json](const QByteArray &) mutable {
                    json.insert(QStringLiteral("confirmed"), true);
                    result({QStringLiteral("baud %1, confirmed").arg(newRate), json});
                    finish(Exit::Done);
                },
                QStringLiteral("the module echoed the new rate %1 but does not answer at it")
                    .arg(newRate));
        });
}

void Runner::scan()
{
    bus::BusScan::Options options;
    options.from = m_in.scanFrom;
    options.to = m_in.scanTo;
    options.stepMs = m_in.timeoutMs;
    options.lastMs = m_in.timeoutMs;
    options.retries = m_in.retries;
    auto scan = std::make_unique<bus::BusScan>(master(), options);
    connect(scan.get(), &bus::BusScan::moduleFound, this, [this](int address, bool exception) {
        if (exception)
            log(QStringLiteral("address %1 answers with an exception").arg(address));
        QJsonObject json;
        json.insert(QStringLiteral("command"), QStringLiteral("scan"));
        json.insert(QStringLiteral("address"), address);
        result({QString::number(address), json});
    });
    connect(scan.get(), &bus::BusScan::finished, this,
            [this, scan = scan.get()](bool, bool portFailure) {
                if (portFailure)
                    finish(portFailed());
                else if (scan->found().empty())
                    finish(fail(Exit::NoAnswer,
                                QStringLiteral("no module answered at addresses %1-%2 at %3 baud")
                                    .arg(m_in.scanFrom)
                                    .arg(m_in.scanTo)
                                    .arg(rate())));
                else
                    finish(Exit::Done);
            });
    scan->start();
    m_task = std::move(scan);
}

void Runner::findBaud()
{
    if (m_port.isNetworkPort()) {
        finish(fail(Exit::Usage, QStringLiteral("the baud rate of a network port is set by its "
                                                "gateway: there is no rate to search")));
        return;
    }
    bus::BaudSearch::Options options;
    for (int code = 0; code < protocol::BaudCodeCount; ++code) {
        for (const bus::Parity parity : m_in.parities)
            options.tries << bus::LineSettings{*protocol::BaudRateOfCode(code), parity, 1};
    }
    const bool sweepsParity = m_in.parities != QList<bus::Parity>{bus::Parity::None};
    options.accepts = bus::IsProbeAnswer;
    options.waitMs = m_in.timeoutMs;
    options.retries = m_in.retries;
    auto search = std::make_unique<bus::BaudSearch>(master(), options);
    connect(search.get(), &bus::BaudSearch::trying, this, [this](const bus::LineSettings &line) {
        log(QStringLiteral("rate %1 baud %2").arg(line.rate).arg(bus::FormatName(line)));
    });
    connect(search.get(), &bus::BaudSearch::found, this,
            [this, sweepsParity](const bus::LineSettings &line, const QByteArray &answer) {
                QJsonObject json;
                json.insert(QStringLiteral("command"), CommandName(m_in.command));
                json.insert(QStringLiteral("baud"), line.rate);
                json.insert(QStringLiteral("format"), bus::FormatName(line));
                json.insert(QStringLiteral("address"), int(std::uint8_t(answer.at(0))));
                const QString text =
                    sweepsParity ? QStringLiteral("%1 %2").arg(line.rate).arg(bus::FormatName(line))
                                 : QString::number(line.rate);
                result({text, json});
                finish(Exit::Done);
            });
    connect(
        search.get(), &bus::BaudSearch::refused, this,
        [this, told = QStringList()](const bus::LineSettings &line, const QString &reason) mutable {
            // Said once for each format the line cannot take.
            if (told.contains(bus::FormatName(line)))
                return;
            told << bus::FormatName(line);
            m_err(QStringLiteral("qvctl: %1 cannot be set to %2 baud %3: %4\n")
                      .arg(m_in.port)
                      .arg(line.rate)
                      .arg(bus::FormatName(line), reason));
        });
    connect(search.get(), &bus::BaudSearch::exhausted, this, [this] {
        finish(fail(Exit::NoAnswer,
                    QStringLiteral("no module answered the address probe at any of the twelve "
                                   "rates")));
    });
    connect(search.get(), &bus::BaudSearch::stopped, this, [this](bool) { finish(portFailed()); });
    search->start();
    m_task = std::move(search);
}

void Runner::sendRaw()
{
    const QByteArray &frame = m_in.bytes;
    const bool framed = CrcRight(frame);
    QJsonObject json;
    json.insert(QStringLiteral("command"), QStringLiteral("send"));
    json.insert(QStringLiteral("sent"), Hex(frame));
    bus::Transaction t;
    t.request = frame;
    if (framed && frame.at(0) == 0) {
        t.expect = bus::Expect::Nothing;
        master().submit(t, [this, json](const bus::Outcome &outcome) mutable {
            if (outcome.portFailed) {
                finish(portFailed());
                return;
            }
            json.insert(QStringLiteral("broadcast"), true);
            result({QStringLiteral("sent") + Broadcast, json});
            finish(Exit::Done);
        });
        return;
    }
    // A known request ends with its answer; anything else once the line has gone quiet.
    const qsizetype expected = AnswerLength(frame);
    t.expect = bus::Expect::Window;
    const modbus::CharacterFormat format = LineSettingsOf(m_in).format();
    t.timeoutMs = m_in.timeoutMs.value_or(
        AnswerTimeoutMs(frame.size(), expected > 0 ? LongestAnswer(frame) : 256, rate(), format));
    t.quietMs = int(std::ceil(modbus::QuietGapMs(rate(), format))) + 20;
    if (framed && expected > 0)
        t.enough = [frame](const QByteArray &received) {
            return CheckAnswer(frame, received).verdict != Verdict::Incomplete;
        };
    master().submit(t, [this, frame, framed, expected, json](const bus::Outcome &outcome) mutable {
        if (outcome.portFailed) {
            finish(portFailed());
            return;
        }
        // The master keeps at most the longest frame of what came back.
        const QByteArray &received = outcome.received;
        if (outcome.onlyEcho) {
            finish(fail(Exit::NoAnswer, OnlyEcho));
            return;
        }
        if (received.isEmpty()) {
            finish(fail(Exit::NoAnswer,
                        withUnusableInput(QStringLiteral("no answer within %1 ms at %2 baud")
                                              .arg(outcome.timeoutMs)
                                              .arg(rate()))));
            return;
        }
        json.insert(QStringLiteral("received"), Hex(received));
        if (outcome.droppedBytes > 0)
            json.insert(QStringLiteral("dropped"), double(outcome.droppedBytes));
        result({Hex(received), json});
        if (outcome.droppedBytes > 0) {
            m_err(QStringLiteral("qvctl: more came back than the longest frame: the first %1 "
                                 "bytes are shown, %2 more were dropped\n")
                      .arg(received.size())
                      .arg(outcome.droppedBytes));
            finish(Exit::WrongAnswer);
            return;
        }
        if (!framed) {
            finish(Exit::Done); // text or other bytes: nothing to check them against
            return;
        }
        const Check check =
            expected > 0 ? CheckAnswer(frame, received) : CheckWholeAnswer(frame, received);
        const QString problem = check.verdict == Verdict::Incomplete
                                    ? QStringLiteral("incomplete answer: %1").arg(Hex(received))
                                    : check.message;
        if (!problem.isEmpty()) {
            m_err(QStringLiteral("qvctl: %1\n").arg(problem));
            finish(Exit::WrongAnswer);
            return;
        }
        finish(Exit::Done);
    });
}

// --- the program -----------------------------------------------------------------------------

int Main(const QStringList &arguments, const Runner::Sink &out, const Runner::Sink &err)
{
    const ParseOutcome parsed = ParseArguments(arguments);
    switch (parsed.kind) {
    case ParseOutcome::Kind::Help:
    case ParseOutcome::Kind::Version:
        out(parsed.text);
        return int(Exit::Done);
    case ParseOutcome::Kind::Error:
        err(QStringLiteral("qvctl: %1 (see qvctl --help)\n").arg(parsed.text));
        return int(Exit::Usage);
    case ParseOutcome::Kind::Run:
        break;
    }
    Runner runner(parsed.invocation, out, err);
    return int(runner.run());
}

} // namespace qvctl
