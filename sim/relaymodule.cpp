#include "sim/relaymodule.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "protocol/baud.h"

#include <QRegularExpression>
#include <QStringList>

namespace sim {

namespace {

constexpr qsizetype MaxTextLine = 256;

constexpr std::uint8_t IllegalFunction = 0x01;
constexpr std::uint8_t IllegalAddress = 0x02;
constexpr std::uint8_t IllegalValue = 0x03;

constexpr std::uint16_t StateRegister = 0x0000;
constexpr std::uint16_t AddressRegister = 0x0100;
constexpr std::uint16_t BaudRegister = 0x0200;

std::uint8_t byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

std::uint16_t wordAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint16_t>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

bool startsLikeText(QByteArrayView bytes)
{
    const auto upper = [](char c) { return static_cast<char>(c & ~0x20); };
    return upper(bytes[0]) == 'A' && (bytes.size() < 2 || upper(bytes[1]) == 'T');
}

} // namespace

QString ModelName(int relayCount)
{
    return relayCount == 4 ? QStringLiteral("QV-04") : QStringLiteral("QV-08");
}

std::optional<int> RelayCountOfModel(const QString &modelName)
{
    const QString name = modelName.trimmed().toUpper();
    if (name == QLatin1String("QV-04"))
        return 4;
    if (name == QLatin1String("QV-08"))
        return 8;
    return std::nullopt;
}

namespace {

// One "name=value" fault of a module option into faults; false when it is none.
bool ParseFault(const QString &text, int relayCount, Faults &faults)
{
    static const QRegularExpression form(
        QStringLiteral("^(stuck|slow|drop|timing)=([+-]?)(\\d{1,6}(?:\\.\\d+)?)(%?)$"));
    const auto match = form.match(text.trimmed().toLower());
    if (!match.hasMatch())
        return false;
    const QString name = match.captured(1);
    const bool signedValue = !match.captured(2).isEmpty();
    const bool percent = !match.captured(4).isEmpty();
    const double value = match.captured(3).toDouble();
    const bool whole = !match.captured(3).contains(u'.');
    if (name == QLatin1String("drop")) {
        if (signedValue || value > 100)
            return false;
        faults.dropShare = value / 100.0;
        return true;
    }
    if (percent || !whole)
        return false;
    if (name == QLatin1String("timing")) {
        faults.timingMs = match.captured(2) == QLatin1String("-") ? -int(value) : int(value);
        return true;
    }
    if (signedValue)
        return false;
    if (name == QLatin1String("stuck")) {
        if (value < 1 || value > relayCount)
            return false;
        faults.stuckRelay = int(value);
        return true;
    }
    faults.slowMs = int(value);
    return true;
}

} // namespace

std::optional<ModuleConfig> ParseModuleOption(const QString &text)
{
    QStringList parts = text.split(u':');
    // The faults come after the address, the model and the rate.
    QStringList faults;
    while (parts.size() > 1 && parts.last().contains(u'='))
        faults.prepend(parts.takeLast());
    if (parts.size() > 4)
        return std::nullopt;
    ModuleConfig config;
    bool ok = false;
    const int address = parts[0].trimmed().toInt(&ok);
    if (!ok || address < 1 || address > 255)
        return std::nullopt;
    config.address = static_cast<std::uint8_t>(address);
    if (parts.size() > 1 && !parts[1].trimmed().isEmpty()) {
        const auto count = RelayCountOfModel(parts[1]);
        if (!count)
            return std::nullopt;
        config.relayCount = *count;
    }
    if (parts.size() > 2) {
        const auto code = protocol::BaudCodeOfRate(parts[2].trimmed().toInt(&ok));
        if (!ok || !code)
            return std::nullopt;
        config.baudCode = *code;
    }
    if (parts.size() > 3) {
        const QString name = parts[3].trimmed().toUpper();
        if (name == QLatin1String("8E1"))
            config.format = {'E', 1};
        else if (name == QLatin1String("8O1"))
            config.format = {'O', 1};
        else if (name == QLatin1String("8N2"))
            config.format = {'N', 2};
        else if (name != QLatin1String("8N1"))
            return std::nullopt;
    }
    for (const QString &fault : faults) {
        if (!ParseFault(fault, config.relayCount, config.faults))
            return std::nullopt;
    }
    return config;
}

std::optional<FrameCut> NextFrame(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;

    if (startsLikeText(bytes)) {
        const qsizetype lf = bytes.indexOf('\n');
        if (lf >= 0)
            return FrameCut{FrameKind::Text, lf + 1};
        if (bytes.size() > MaxTextLine)
            return FrameCut{FrameKind::Garbage, bytes.size()};
        return std::nullopt;
    }

    const QByteArray probe = modbus::ProbeFrame();
    if (bytes.size() >= 2 && bytes.first(2) == probe.first(2)) {
        if (bytes.size() < probe.size())
            return std::nullopt;
        if (bytes.first(probe.size()) == probe)
            return FrameCut{FrameKind::Probe, probe.size()};
    }

    if (bytes.size() < 2)
        return std::nullopt;

    const modbus::FrameSize size = modbus::RequestSizeOf(bytes);
    if (size.known != modbus::FrameSize::Known::Lengths)
        return std::nullopt; // more bytes, or only silence ends it
    const auto &lengths = size.lengths;

    for (const qsizetype length : lengths) {
        if (length == 0)
            break;
        if (bytes.size() < length)
            return std::nullopt;
        if (modbus::CrcRight(bytes.first(length)))
            return FrameCut{FrameKind::Rtu, length};
    }
    // A damaged frame: everything heard so far is dropped.
    return FrameCut{FrameKind::Garbage, bytes.size()};
}

FrameKind FrameAtSilence(QByteArrayView bytes)
{
    return modbus::CrcRight(bytes) ? FrameKind::Rtu : FrameKind::Garbage;
}

RelayModule::RelayModule(const ModuleConfig &config)
    : m_address(config.address), m_baudCode(config.baudCode), m_format(config.format),
      m_relayCount(config.relayCount == 4 ? 4 : MaxRelays), m_faults(config.faults)
{}

qint32 RelayModule::baudRate() const
{
    return protocol::BaudRateOfCode(m_baudCode).value_or(0);
}

bool RelayModule::relay(int index) const
{
    return index >= 0 && index < m_relayCount && m_relays[static_cast<std::size_t>(index)];
}

std::uint16_t RelayModule::relayBits() const
{
    std::uint16_t bits = 0;
    for (int k = 0; k < m_relayCount; ++k) {
        if (m_relays[static_cast<std::size_t>(k)])
            bits |= static_cast<std::uint16_t>(1u << k);
    }
    return bits;
}

void RelayModule::setRelay(int index, bool on)
{
    if (index >= 0 && index < m_relayCount)
        m_relays[static_cast<std::size_t>(index)] = on;
}

bool RelayModule::timerRunning(int index) const
{
    return index >= 0 && index < m_relayCount && m_timers[static_cast<std::size_t>(index)];
}

void RelayModule::switchRelay(int index, bool on)
{
    // A relay switched directly forgets a timed function still running on it.
    if (index >= 0 && index < m_relayCount && index + 1 != m_faults.stuckRelay) {
        m_relays[static_cast<std::size_t>(index)] = on;
        m_timers[static_cast<std::size_t>(index)].reset();
    }
}

void RelayModule::startTimer(int index, std::uint16_t tenths, bool switchOn, Micros now)
{
    if (index + 1 == m_faults.stuckRelay)
        return;
    m_timers[static_cast<std::size_t>(index)] =
        Timer{now + std::chrono::milliseconds(100) * tenths +
                  std::chrono::milliseconds(m_faults.timingMs),
              switchOn};
}

void RelayModule::advance(Micros now)
{
    for (int k = 0; k < m_relayCount; ++k) {
        auto &timer = m_timers[static_cast<std::size_t>(k)];
        if (timer && timer->due <= now) {
            m_relays[static_cast<std::size_t>(k)] = timer->switchOn;
            timer.reset();
        }
    }
}

std::optional<Micros> RelayModule::nextDeadline() const
{
    std::optional<Micros> next;
    for (int k = 0; k < m_relayCount; ++k) {
        const auto &timer = m_timers[static_cast<std::size_t>(k)];
        if (timer && (!next || timer->due < *next))
            next = timer->due;
    }
    return next;
}

void RelayModule::answerSent()
{
    if (m_pendingAddress)
        m_address = *m_pendingAddress;
    if (m_pendingBaudCode)
        m_baudCode = *m_pendingBaudCode;
    m_pendingAddress.reset();
    m_pendingBaudCode.reset();
}

QByteArray RelayModule::exception(std::uint8_t function, std::uint8_t code) const
{
    QByteArray answer;
    answer.append(static_cast<char>(m_address));
    answer.append(static_cast<char>(function | 0x80));
    answer.append(static_cast<char>(code));
    return modbus::WithCrc(answer);
}

QByteArray RelayModule::hear(FrameKind kind, QByteArrayView frame, Micros now)
{
    advance(now);
    if (m_faults.dropShare > 0 && kind != FrameKind::Garbage) {
        // xorshift32: a fixed sequence, so a run with drops can be repeated.
        m_dropState ^= m_dropState << 13;
        m_dropState ^= m_dropState >> 17;
        m_dropState ^= m_dropState << 5;
        if (double(m_dropState) / 4294967296.0 < m_faults.dropShare)
            return {};
    }
    switch (kind) {
    case FrameKind::Probe: {
        QByteArray answer;
        answer.append(static_cast<char>(m_address));
        answer.append("\x03\x02\x00", 3);
        answer.append(static_cast<char>(m_address));
        return modbus::WithCrc(answer);
    }
    case FrameKind::Text:
        return hearText(frame, now);
    case FrameKind::Rtu: {
        if (!modbus::CrcRight(frame))
            return {};
        const std::uint8_t address = byteAt(frame, 0);
        if (address != 0 && address != m_address)
            return {};
        QByteArray answer = hearRtu(frame, now);
        if (address == 0) {
            answerSent(); // a broadcast is carried out and never answered
            return {};
        }
        return answer;
    }
    case FrameKind::Garbage:
        break;
    }
    return {};
}

QByteArray RelayModule::hearRtu(QByteArrayView frame, Micros now)
{
    const std::uint8_t function = byteAt(frame, 1);
    const QByteArrayView body = frame.first(frame.size() - 2);
    const auto echo = [&] { return modbus::WithCrc(frame.first(frame.size() - 2).toByteArray()); };

    switch (function) {
    case 0x01: { // read coils
        if (body.size() != 6)
            return exception(function, IllegalValue);
        const int start = wordAt(body, 2);
        const int count = wordAt(body, 4);
        if (count < 1 || count > 2000)
            return exception(function, IllegalValue);
        if (start + count > CoilCount)
            return exception(function, IllegalAddress);
        const std::uint16_t bits = relayBits();
        QByteArray answer;
        answer.append(static_cast<char>(m_address));
        answer.append(static_cast<char>(function));
        const int byteCount = (count + 7) / 8;
        answer.append(static_cast<char>(byteCount));
        for (int b = 0; b < byteCount; ++b) {
            std::uint8_t value = 0;
            for (int i = 0; i < 8 && b * 8 + i < count; ++i) {
                if (bits >> (start + b * 8 + i) & 1)
                    value |= static_cast<std::uint8_t>(1u << i);
            }
            answer.append(static_cast<char>(value));
        }
        return modbus::WithCrc(answer);
    }
    case 0x03: { // read holding registers
        if (body.size() != 6)
            return exception(function, IllegalValue);
        const int start = wordAt(body, 2);
        const int count = wordAt(body, 4);
        if (count < 1 || count > 125)
            return exception(function, IllegalValue);
        QByteArray answer;
        answer.append(static_cast<char>(m_address));
        answer.append(static_cast<char>(function));
        answer.append(static_cast<char>(count * 2));
        for (int reg = start; reg < start + count; ++reg) {
            std::uint16_t value = 0;
            if (reg == StateRegister)
                value = relayBits();
            else if (reg == AddressRegister)
                value = m_address;
            else if (reg == BaudRegister)
                value = static_cast<std::uint16_t>(m_baudCode);
            else
                return exception(function, IllegalAddress);
            answer.append(static_cast<char>(value >> 8));
            answer.append(static_cast<char>(value & 0xFF));
        }
        return modbus::WithCrc(answer);
    }
    case 0x05: { // write single coil
        if (body.size() != 6)
            return exception(function, IllegalValue);
        const int coil = wordAt(body, 2);
        const std::uint16_t value = wordAt(body, 4);
        if (coil >= CoilCount)
            return exception(function, IllegalAddress);
        if (value != 0xFF00 && value != 0x0000)
            return exception(function, IllegalValue);
        switchRelay(coil, value == 0xFF00);
        return echo();
    }
    case 0x06: { // write single register
        if (body.size() != 6)
            return exception(function, IllegalValue);
        const int reg = wordAt(body, 2);
        const int value = wordAt(body, 4);
        if (reg == AddressRegister) {
            if (value < 1 || value > 255)
                return exception(function, IllegalValue);
            m_pendingAddress = static_cast<std::uint8_t>(value);
        } else if (reg == BaudRegister) {
            if (value >= protocol::BaudCodeCount)
                return exception(function, IllegalValue);
            m_pendingBaudCode = value;
        } else {
            return exception(function, IllegalAddress);
        }
        return echo();
    }
    case 0x0F: { // write multiple coils
        if (body.size() < 7)
            return exception(function, IllegalValue);
        const int start = wordAt(body, 2);
        const int count = wordAt(body, 4);
        const int byteCount = byteAt(body, 6);
        if (count < 1 || count > 0x07B0 || byteCount != (count + 7) / 8 ||
            body.size() != 7 + byteCount)
            return exception(function, IllegalValue);
        if (start + count > CoilCount)
            return exception(function, IllegalAddress);
        for (int i = 0; i < count; ++i) {
            const bool on = byteAt(body, 7 + i / 8) >> (i % 8) & 1;
            switchRelay(start + i, on); // coils beyond the relays are accepted and ignored
        }
        QByteArray answer = body.first(6).toByteArray();
        return modbus::WithCrc(answer);
    }
    case 0x30:   // delayed on
    case 0x32:   // delayed off
    case 0x34: { // jog: on now, off when the time runs out
        if (body.size() != 6 || byteAt(body, 2) != 0xF0)
            return exception(function, IllegalValue);
        const int index = byteAt(body, 3);
        const std::uint16_t tenths = wordAt(body, 4);
        if (index >= m_relayCount)
            return exception(function, IllegalAddress);
        if (tenths == 0)
            return exception(function, IllegalValue);
        if (function == 0x34)
            switchRelay(index, true);
        startTimer(index, tenths, function == 0x30, now);
        return echo();
    }
    case 0x31:
    case 0x33:
    case 0x35: { // the same for every relay, one time each
        if (body.size() < 4 || byteAt(body, 2) != 0xF0 || byteAt(body, 3) != 0x00)
            return exception(function, IllegalValue);
        const int pairs = static_cast<int>((body.size() - 4) / 2);
        for (int k = 0; k < pairs && k < m_relayCount; ++k) {
            const std::uint16_t tenths = wordAt(body, 4 + 2 * k);
            if (tenths == 0)
                continue; // a relay without a time is left as it is
            if (function == 0x35)
                switchRelay(k, true);
            startTimer(k, tenths, function == 0x31, now);
        }
        return echo();
    }
    default:
        return exception(function, IllegalFunction);
    }
}

QByteArray RelayModule::hearText(QByteArrayView frame, Micros now)
{
    Q_UNUSED(now);
    static const QRegularExpression command(
        QStringLiteral("^AT\\+(OUT|ALLOUT|STATUS)(\\d*)\\+(\\d{1,3})=(.*)$"),
        QRegularExpression::CaseInsensitiveOption);

    const QString line = QString::fromLatin1(frame).trimmed();
    const auto match = command.match(line);
    if (!match.hasMatch())
        return {};
    const int address = match.captured(3).toInt();
    if (address != 0 && address != m_address)
        return {};

    const QString name = match.captured(1).toUpper();
    const QString number = match.captured(2);
    const QString value = match.captured(4).toUpper();
    const bool broadcast = address == 0;
    const QByteArray ok = broadcast ? QByteArray() : QByteArrayLiteral("OK\r\n");
    const QByteArray error = broadcast ? QByteArray() : QByteArrayLiteral("ERROR\r\n");

    if (name == QLatin1String("OUT")) {
        const int relay = number.toInt();
        if (number.isEmpty() || relay < 1 || relay > m_relayCount ||
            (value != QLatin1String("ON") && value != QLatin1String("OFF")))
            return error;
        switchRelay(relay - 1, value == QLatin1String("ON"));
        return ok;
    }
    if (!number.isEmpty())
        return error;
    if (name == QLatin1String("ALLOUT")) {
        if (value != QLatin1String("ON") && value != QLatin1String("OFF"))
            return error;
        for (int k = 0; k < m_relayCount; ++k)
            switchRelay(k, value == QLatin1String("ON"));
        return ok;
    }
    // STATUS
    if (value != QLatin1String("?") || broadcast)
        return error;
    QByteArray status = "STATUS:";
    for (int k = 0; k < m_relayCount; ++k)
        status.append(relay(k) ? '1' : '0');
    status.append("\r\n");
    return status;
}

} // namespace sim
