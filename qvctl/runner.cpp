#include "qvctl/runner.h"

#include "modbus/answer.h"
#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/names.h"
#include "protocol/baud.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "qvctl/monitor.h"
#include "qvctl/testcommand.h"
#include "qvctl/waits.h"
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

// Keeps the first bytes of a longest frame; how many more there were.
qsizetype KeepLongestFrame(QByteArray &received)
{
    const qsizetype more = std::max<qsizetype>(0, received.size() - LongestFrame);
    received.truncate(LongestFrame);
    return more;
}

QString SettingsOf(qint32 rate)
{
    const std::optional<int> code = protocol::BaudCodeOfRate(rate);
    return serial::SettingsText(
        protocol::BaudList().value(code.value_or(protocol::DefaultBaudCode)));
}

// What a network link adds to the time an answer may take.
constexpr int NetworkMarginMs = 200;

QString PermissionGroup(const QString &path)
{
    // Serial devices belong to a group whose members may open them; for a device of root's
    // group the usual one is dialout.
    QString group = QFileInfo(path).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    return group;
}

} // namespace

Runner::Runner(const Invocation &invocation, Sink out, Sink err, QObject *parent)
    : QObject(parent), m_in(invocation), m_out(std::move(out)), m_err(std::move(err))
{
    m_clock.start();
    connect(&m_port, &serial::CommPort::failed, this, [this](const serial::LineFailure &failure) {
        // The port is closed now; whatever was being awaited will not come.
        m_portFailure = failure;
        if (!m_portFailure)
            m_portFailure.kind = serial::FailureKind::Other;
        if (m_waiting)
            m_waiting->quit();
    });
}

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
    const Exit opened = open(m_in.baud);
    if (opened != Exit::Done)
        return opened;
    const Exit status = runCommand();
    m_port.close();
    return status;
}

Exit Runner::runCommand()
{
    switch (m_in.command) {
    case Command::Ports:
        break;
    case Command::On:
    case Command::Off:
        return switchChannels();
    case Command::Jog:
    case Command::DelayOn:
    case Command::DelayOff:
        return timedChannel();
    case Command::AllOn:
    case Command::AllOff:
    case Command::AllJog:
    case Command::AllDelayOn:
    case Command::AllDelayOff:
        return allChannels();
    case Command::Mask:
        return mask();
    case Command::State:
        return state();
    case Command::Address:
        return probeAddress();
    case Command::SetAddress:
        return setAddress();
    case Command::SetBaud:
        return setBaud();
    case Command::Scan:
        return scan();
    case Command::FindBaud:
        return findBaud();
    case Command::Send:
        return sendRaw();
    case Command::Test:
        return RunModuleTest(m_in, m_port, m_out, m_err);
    case Command::Monitor:
        return RunMonitor(m_in, m_port, m_out, m_err);
    }
    return Exit::Done;
}

// --- the line --------------------------------------------------------------------------------

Exit Runner::open(qint32 rate)
{
    m_port.close();
    m_portFailure = {};
    m_port.setPortName(m_in.port);
    m_port.setSettings(SettingsOf(rate));
    m_rate = rate;
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
        log(QStringLiteral("opened %1 at %2 baud").arg(path).arg(rate));
        m_lineFreeAt = 0;
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
    return fail(Exit::Port, QStringLiteral("cannot open %1: %2").arg(path, m_port.errorText()));
}

bool Runner::changeRate(qint32 rate)
{
    if (m_port.setSettings(SettingsOf(rate))) {
        m_rate = rate;
        log(QStringLiteral("rate %1 baud").arg(rate));
        return true;
    }
    return open(rate) == Exit::Done;
}

void Runner::pause(double ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(std::ceil(ms)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    m_waiting = &loop;
    loop.exec();
    m_waiting = nullptr;
}

bool Runner::send(const QByteArray &frame, bool keepInput)
{
    // MODBUS frames are told apart by silence: the line must be quiet for a moment first.
    pause(m_lineFreeAt - double(m_clock.nsecsElapsed()) / 1e6);
    if (!keepInput) {
        const QByteArray stale = m_port.readAll();
        if (!stale.isEmpty())
            log(QStringLiteral("dropped %1").arg(Hex(stale)));
    }
    if (m_portFailure || !m_port.isOpen()) {
        notePortFailure();
        return false;
    }
    log(QStringLiteral("out %1").arg(Hex(frame)));
    if (!m_port.write(frame)) {
        notePortFailure();
        return false;
    }
    m_lineFreeAt = double(m_clock.nsecsElapsed()) / 1e6 +
                   Ms(modbus::WireTime(frame.size(), m_rate)) + modbus::QuietGapMs(m_rate);
    return true;
}

Runner::Heard Runner::listen(int timeoutMs, const Arrival &arrival, int quietMs)
{
    if (m_portFailure)
        return Heard::PortFailed;
    QEventLoop loop;
    Heard heard = Heard::TimedOut;
    bool gotBytes = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setTimerType(Qt::PreciseTimer);

    const auto take = [&] {
        const QByteArray chunk = m_port.readAll();
        if (chunk.isEmpty())
            return;
        gotBytes = true;
        m_lineFreeAt = std::max(m_lineFreeAt,
                                double(m_clock.nsecsElapsed()) / 1e6 + modbus::QuietGapMs(m_rate));
        log(QStringLiteral("in  %1").arg(Hex(chunk)));
        if (arrival(chunk)) {
            heard = Heard::Done;
            loop.quit();
        } else if (quietMs > 0) {
            quiet.start(quietMs);
        }
    };
    connect(&m_port, &serial::CommPort::received, &loop, take);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&quiet, &QTimer::timeout, &loop, [&] {
        if (gotBytes) {
            heard = Heard::Done;
            loop.quit();
        }
    });

    // Bytes that came in before the wait began are taken first.
    if (m_port.bytesWaiting() > 0)
        take();
    if (heard != Heard::Done) {
        deadline.start(timeoutMs);
        m_waiting = &loop;
        loop.exec();
        m_waiting = nullptr;
    }
    if (heard != Heard::Done && m_portFailure)
        heard = Heard::PortFailed;
    if (heard == Heard::TimedOut)
        log(QStringLiteral("timeout after %1 ms").arg(timeoutMs));
    return heard;
}

int Runner::timeoutFor(const QByteArray &request) const
{
    // Behind a gateway the answer also crosses the network and waits for the gateway's turn.
    const int network = m_port.isNetworkPort() ? NetworkMarginMs : 0;
    return m_in.timeoutMs.value_or(AnswerTimeoutMs(request.size(), LongestAnswer(request), m_rate) +
                                   network);
}

QString Runner::noAnswerText(int timeoutMs) const
{
    const QString text = QStringLiteral("no answer from address %1 within %2 ms at %3 baud")
                             .arg(m_in.address)
                             .arg(timeoutMs)
                             .arg(m_rate);
    // A gateway that did send something, though not an answer to this request, says what.
    const QString unusable = m_port.unusableInput();
    return unusable.isEmpty() ? text : QStringLiteral("%1; %2").arg(text, unusable);
}

Exit Runner::transact(const QByteArray &request, QByteArray *answer)
{
    const std::uint8_t address = static_cast<std::uint8_t>(request.at(0));
    if (address == 0 && request != protocol::AddressProbe().frame) {
        // A broadcast is carried out by every module and answered by none.
        if (!send(request))
            return portFailed();
        pause(m_lineFreeAt - double(m_clock.nsecsElapsed()) / 1e6); // let it leave the line
        return Exit::Done;
    }
    const int timeoutMs = timeoutFor(request);
    Exit status = Exit::NoAnswer;
    QString message;
    for (int attempt = 0; attempt <= m_in.retries; ++attempt) {
        if (attempt > 0)
            log(QStringLiteral("retry %1 of %2").arg(attempt).arg(m_in.retries));
        if (!send(request))
            return portFailed();
        QByteArray received;
        const Heard heard = listen(timeoutMs, [&](const QByteArray &chunk) {
            received += chunk;
            return CheckAnswer(request, received).verdict != Verdict::Incomplete;
        });
        if (heard == Heard::PortFailed)
            return portFailed();
        const Check check = CheckAnswer(request, received);
        switch (check.verdict) {
        case Verdict::Good:
            if (answer)
                *answer = received.first(check.length);
            return Exit::Done;
        case Verdict::Incomplete:
            // Nothing, or a part of an answer: both may go better on another try.
            if (received.isEmpty()) {
                status = Exit::NoAnswer;
                message = noAnswerText(timeoutMs);
            } else {
                status = Exit::WrongAnswer;
                message = QStringLiteral("incomplete answer from address %1 within %2 ms: %3")
                              .arg(address)
                              .arg(timeoutMs)
                              .arg(Hex(received));
            }
            break;
        case Verdict::BadCrc:
            status = Exit::WrongAnswer;
            message = check.message;
            break;
        default:
            // The module said something definite: asking again would not change it.
            return fail(Exit::WrongAnswer, check.message);
        }
    }
    return fail(status, message);
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

void Runner::notePortFailure()
{
    if (m_portFailure)
        return;
    m_portFailure = m_port.failure();
    if (!m_portFailure)
        m_portFailure.kind = serial::FailureKind::NotOpen;
}

Exit Runner::portFailed()
{
    const QString &detail = m_portFailure.detail;
    return fail(Exit::Port, detail.isEmpty() ? QStringLiteral("the port failed")
                                             : QStringLiteral("the port failed: %1").arg(detail));
}

void Runner::log(const QString &text)
{
    if (!m_in.verbose)
        return;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    m_err(QStringLiteral("%1 %2 %3\n").arg(stamp).arg(m_rate, 6).arg(text));
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

Exit Runner::switchChannels()
{
    const bool on = m_in.command == Command::On;
    for (const int channel : m_in.channels) {
        const Exit status =
            transact(protocol::SwitchRequest(m_in.address, std::uint8_t(channel - 1), on).frame);
        if (status != Exit::Done)
            return status;
        QJsonObject json = object();
        json.insert(QStringLiteral("channel"), channel);
        json.insert(QStringLiteral("state"), on ? QStringLiteral("on") : QStringLiteral("off"));
        result({QStringLiteral("%1:%2").arg(channel).arg(on ? "on" : "off") +
                    (m_in.address == 0 ? Broadcast : QString()),
                json});
    }
    return Exit::Done;
}

Exit Runner::timedChannel()
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
    const Exit status = transact(
        protocol::TimedChannelRequest(action, m_in.address, std::uint8_t(channel - 1), time).frame);
    if (status != Exit::Done)
        return status;
    QJsonObject json = object();
    json.insert(QStringLiteral("channel"), channel);
    json.insert(QStringLiteral("seconds"), m_in.tenths / 10.0);
    result({text.arg(channel).arg(SecondsText(m_in.tenths)) +
                (m_in.address == 0 ? Broadcast : QString()),
            json});
    return Exit::Done;
}

Exit Runner::allChannels()
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
    const Exit status = transact(request);
    if (status != Exit::Done)
        return status;
    result({text + (m_in.address == 0 ? Broadcast : QString()), json});
    return Exit::Done;
}

Exit Runner::mask()
{
    const Exit status = transact(protocol::MaskRequest(m_in.address, m_in.mask).frame);
    if (status != Exit::Done)
        return status;
    const std::uint16_t bits = protocol::ChannelMask(m_in.mask);
    QJsonObject json = object();
    json.insert(QStringLiteral("mask"), bits);
    json.insert(QStringLiteral("channels"), ChannelStatesJson(bits, m_in.channelCount));
    result(
        {ChannelStatesText(bits, m_in.channelCount) + (m_in.address == 0 ? Broadcast : QString()),
         json});
    return Exit::Done;
}

Exit Runner::state()
{
    QByteArray answer;
    const Exit status = transact(protocol::StateRequest(m_in.address).frame, &answer);
    if (status != Exit::Done)
        return status;
    const std::uint16_t bits = RegisterValue(answer);
    QJsonObject json = object();
    json.insert(QStringLiteral("value"), bits);
    json.insert(QStringLiteral("channels"), ChannelStatesJson(bits, m_in.channelCount));
    result({ChannelStatesText(bits, m_in.channelCount), json});
    return Exit::Done;
}

Exit Runner::probeAddress()
{
    const QByteArray probe = protocol::AddressProbe().frame;
    const int timeoutMs = timeoutFor(probe);
    Exit status = Exit::NoAnswer;
    QString message;
    for (int attempt = 0; attempt <= m_in.retries; ++attempt) {
        if (!send(probe))
            return portFailed();
        // Every module answers the probe: listen the whole time to hear a second one.
        QByteArray received;
        const Heard heard = listen(timeoutMs, [&](const QByteArray &chunk) {
            received += chunk;
            return false;
        });
        if (heard == Heard::PortFailed)
            return portFailed();
        if (received.isEmpty()) {
            status = Exit::NoAnswer;
            message = QStringLiteral("no module answered the address probe within %1 ms at %2 baud")
                          .arg(timeoutMs)
                          .arg(m_rate);
            continue;
        }
        QByteArray rest = received;
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
            return Exit::Done;
        }
        if (addresses.size() > 1) {
            QStringList list;
            for (const int a : addresses)
                list << QString::number(a);
            return fail(Exit::WrongAnswer,
                        QStringLiteral("more than one module answered (%1); the probe needs one "
                                       "module on the line: use scan")
                            .arg(list.join(QStringLiteral(", "))));
        }
        const Check check = CheckAnswer(probe, received);
        status = Exit::WrongAnswer;
        message = check.message.isEmpty()
                      ? QStringLiteral("not an answer to the probe: %1").arg(Hex(received))
                      : check.message;
    }
    return fail(status, message);
}

Exit Runner::setAddress()
{
    const std::uint8_t newAddress = m_in.newAddress;
    Exit status = transact(protocol::SetAddressRequest(m_in.address, newAddress).frame);
    if (status != Exit::Done)
        return status;
    QJsonObject json = object();
    json.insert(QStringLiteral("new-address"), newAddress);
    if (m_in.address == 0) {
        json.insert(QStringLiteral("confirmed"), false);
        result({QStringLiteral("address %1").arg(newAddress) + Broadcast, json});
        return Exit::Done;
    }
    // The module takes the new address once its echo is out; the state read there confirms it.
    QByteArray answer;
    const std::uint8_t old = m_in.address;
    m_in.address = newAddress;
    status = transact(protocol::StateRequest(newAddress).frame, &answer);
    m_in.address = old;
    if (status == Exit::NoAnswer)
        return fail(status, QStringLiteral("the module echoed the new address %1 but does not "
                                           "answer at it")
                                .arg(newAddress));
    if (status != Exit::Done)
        return status;
    json.insert(QStringLiteral("confirmed"), true);
    result({QStringLiteral("address %1, confirmed").arg(newAddress), json});
    return Exit::Done;
}

Exit Runner::setBaud()
{
    const qint32 rate = m_in.newBaud;
    const auto code = protocol::BaudCodeOfRate(rate);
    Exit status = transact(protocol::SetRateRequest(m_in.address, std::uint8_t(*code)).frame);
    if (status != Exit::Done)
        return status;
    QJsonObject json = object();
    json.insert(QStringLiteral("baud"), rate);
    if (m_in.address == 0) {
        json.insert(QStringLiteral("confirmed"), false);
        result({QStringLiteral("baud %1").arg(rate) + Broadcast, json});
        return Exit::Done;
    }
    // The echo came at the old rate; the module listens at the new one from now on.
    status = open(rate);
    if (status != Exit::Done)
        return status;
    status = transact(protocol::StateRequest(m_in.address).frame);
    if (status == Exit::NoAnswer)
        return fail(status, QStringLiteral("the module echoed the new rate %1 but does not answer "
                                           "at it")
                                .arg(rate));
    if (status != Exit::Done)
        return status;
    json.insert(QStringLiteral("confirmed"), true);
    result({QStringLiteral("baud %1, confirmed").arg(rate), json});
    return Exit::Done;
}

Exit Runner::scan()
{
    // Paced by the line: a request, then its answer or its (short) timeout, then the next. An
    // answer that comes late is credited to the address it names, so nothing is lost when a
    // module turns round slowly; the last address gets the full timeout.
    const int stepMs = m_in.timeoutMs.value_or(ScanStepMs(m_rate));
    const int lastMs = m_in.timeoutMs.value_or(AnswerTimeoutMs(8, 7, m_rate));
    std::set<int> found;
    QByteArray buffer;
    const auto credit = [&](int asked) {
        int garbled = 0;
        for (const RegisterAnswer &a : TakeRegisterAnswers(buffer, &garbled)) {
            if (a.address < m_in.scanFrom || a.address > asked || found.count(a.address))
                continue;
            found.insert(a.address);
            if (a.exception)
                log(QStringLiteral("address %1 answers with exception %2 (%3)")
                        .arg(a.address)
                        .arg(a.value)
                        .arg(ExceptionName(std::uint8_t(a.value))));
            QJsonObject json;
            json.insert(QStringLiteral("command"), QStringLiteral("scan"));
            json.insert(QStringLiteral("address"), a.address);
            result({QString::number(a.address), json});
        }
        if (garbled > 0)
            log(QStringLiteral("%1 garbled bytes skipped").arg(garbled));
    };
    for (int n = m_in.scanFrom; n <= m_in.scanTo; ++n) {
        for (int attempt = 0; attempt <= m_in.retries && !found.count(n); ++attempt) {
            if (!send(protocol::ScanRequest(std::uint8_t(n)).frame, true))
                return portFailed();
            const Heard heard =
                listen(n == m_in.scanTo ? lastMs : stepMs, [&](const QByteArray &chunk) {
                    buffer += chunk;
                    credit(n);
                    return found.count(n) > 0;
                });
            if (heard == Heard::PortFailed)
                return portFailed();
        }
    }
    if (found.empty())
        return fail(Exit::NoAnswer, QStringLiteral("no module answered at addresses %1-%2 at %3 "
                                                   "baud")
                                        .arg(m_in.scanFrom)
                                        .arg(m_in.scanTo)
                                        .arg(m_rate));
    return Exit::Done;
}

Exit Runner::findBaud()
{
    if (m_port.isNetworkPort())
        return fail(Exit::Usage, QStringLiteral("the baud rate of a network port is set by its "
                                                "gateway: there is no rate to search"));
    const QByteArray probe = protocol::AddressProbe().frame;
    for (int code = 0; code < protocol::BaudCodeCount; ++code) {
        const qint32 rate = *protocol::BaudRateOfCode(code);
        if (!changeRate(rate))
            return m_portFailure ? portFailed() : Exit::Port;
        const int timeoutMs = timeoutFor(probe);
        for (int attempt = 0; attempt <= m_in.retries; ++attempt) {
            if (!send(probe))
                return portFailed();
            QByteArray buffer;
            std::optional<RegisterAnswer> good;
            const Heard heard = listen(timeoutMs, [&](const QByteArray &chunk) {
                buffer += chunk;
                for (const RegisterAnswer &a : TakeRegisterAnswers(buffer)) {
                    if (!a.exception && a.value == a.address)
                        good = a;
                }
                return good.has_value();
            });
            if (heard == Heard::PortFailed)
                return portFailed();
            if (good) {
                QJsonObject json;
                json.insert(QStringLiteral("command"), CommandName(m_in.command));
                json.insert(QStringLiteral("baud"), rate);
                json.insert(QStringLiteral("address"), good->address);
                result({QString::number(rate), json});
                return Exit::Done;
            }
        }
    }
    return fail(Exit::NoAnswer,
                QStringLiteral("no module answered the address probe at any of the twelve rates"));
}

Exit Runner::sendRaw()
{
    const QByteArray &frame = m_in.bytes;
    const bool framed = CrcRight(frame);
    QJsonObject json;
    json.insert(QStringLiteral("command"), QStringLiteral("send"));
    json.insert(QStringLiteral("sent"), Hex(frame));
    if (framed && frame.at(0) == 0) {
        if (!send(frame))
            return portFailed();
        json.insert(QStringLiteral("broadcast"), true);
        result({QStringLiteral("sent") + Broadcast, json});
        return Exit::Done;
    }
    // A known request ends with its answer; anything else once the line has gone quiet.
    const qsizetype expected = AnswerLength(frame);
    const int timeoutMs = m_in.timeoutMs.value_or(
        AnswerTimeoutMs(frame.size(), expected > 0 ? LongestAnswer(frame) : 256, m_rate));
    const int quietMs = int(std::ceil(modbus::QuietGapMs(m_rate))) + 20;
    QByteArray received;
    for (int attempt = 0; attempt <= m_in.retries; ++attempt) {
        if (!send(frame))
            return portFailed();
        received.clear();
        const Heard heard = listen(
            timeoutMs,
            [&](const QByteArray &chunk) {
                received += chunk;
                return framed && expected > 0 &&
                       CheckAnswer(frame, received).verdict != Verdict::Incomplete;
            },
            quietMs);
        if (heard == Heard::PortFailed)
            return portFailed();
        if (!received.isEmpty())
            break;
    }
    if (received.isEmpty()) {
        const QString unusable = m_port.unusableInput();
        return fail(Exit::NoAnswer,
                    QStringLiteral("no answer within %1 ms at %2 baud").arg(timeoutMs).arg(m_rate) +
                        (unusable.isEmpty() ? QString() : QStringLiteral("; ") + unusable));
    }
    const qsizetype dropped = KeepLongestFrame(received);
    json.insert(QStringLiteral("received"), Hex(received));
    if (dropped > 0)
        json.insert(QStringLiteral("dropped"), double(dropped));
    result({Hex(received), json});
    if (dropped > 0) {
        m_err(QStringLiteral("qvctl: more came back than the longest frame: the first %1 bytes "
                             "are shown, %2 more were dropped\n")
                  .arg(LongestFrame)
                  .arg(dropped));
        return Exit::WrongAnswer;
    }
    if (!framed)
        return Exit::Done; // text or other bytes: nothing to check them against
    const Check check =
        expected > 0 ? CheckAnswer(frame, received) : CheckWholeAnswer(frame, received);
    const QString problem = check.verdict == Verdict::Incomplete
                                ? QStringLiteral("incomplete answer: %1").arg(Hex(received))
                                : check.message;
    if (!problem.isEmpty()) {
        m_err(QStringLiteral("qvctl: %1\n").arg(problem));
        return Exit::WrongAnswer;
    }
    return Exit::Done;
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
