#include "modbus/mbap.h"

#include "modbus/crc.h"
#include "modbus/frames.h"

#include <QStringList>

#include <algorithm>

namespace modbus {

namespace {

std::uint8_t byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

std::uint16_t wordAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint16_t>(byteAt(bytes, i) << 8 | byteAt(bytes, i + 1));
}

QString Hex(QByteArrayView bytes)
{
    QStringList parts;
    for (const char c : bytes)
        parts.append(QStringLiteral("%1").arg(std::uint8_t(c), 2, 16, QLatin1Char('0')).toUpper());
    return parts.join(u' ');
}

void appendWord(QByteArray &out, std::uint16_t word)
{
    out.append(static_cast<char>(word >> 8));
    out.append(static_cast<char>(word & 0xFF));
}

} // namespace

QByteArray MbapFrame(std::uint16_t transaction, std::uint8_t unit, QByteArrayView pdu)
{
    QByteArray out;
    out.reserve(MbapHeaderSize + pdu.size());
    appendWord(out, transaction);
    appendWord(out, 0);
    appendWord(out, static_cast<std::uint16_t>(pdu.size() + 1));
    out.append(static_cast<char>(unit));
    out.append(pdu.data(), pdu.size());
    return out;
}

std::optional<RtuCut> NextRtuRequest(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    const QByteArray probe = ProbeFrame();
    const qsizetype common = std::min(bytes.size(), probe.size());
    if (bytes.first(common) == QByteArrayView(probe).first(common)) {
        if (bytes.size() < probe.size())
            return std::nullopt;
        return RtuCut{RtuCutKind::Probe, probe.size()};
    }
    if (bytes.size() < 2)
        return std::nullopt;

    const FrameSize size = RequestSizeOf(bytes);
    if (size.known == FrameSize::Known::NeedMoreBytes)
        return std::nullopt;
    if (size.known == FrameSize::Known::UnknownFunction) {
        const qsizetype limit = std::min(bytes.size(), MaxRtuLength);
        for (qsizetype n = 4; n <= limit; ++n) {
            if (CrcRight(bytes.first(n)))
                return RtuCut{RtuCutKind::Request, n};
        }
        if (bytes.size() >= MaxRtuLength)
            return RtuCut{RtuCutKind::Garbage, MaxRtuLength};
        return std::nullopt;
    }
    const auto &lengths = size.lengths;
    for (const qsizetype n : lengths) {
        if (n == 0)
            break;
        if (bytes.size() < n)
            return std::nullopt;
        if (CrcRight(bytes.first(n)))
            return RtuCut{RtuCutKind::Request, n};
    }
    return RtuCut{RtuCutKind::Garbage, lengths[1] ? lengths[1] : lengths[0]};
}

QByteArray MbapRequest(QByteArrayView rtu, RtuCutKind kind, std::uint16_t transaction,
                       std::optional<std::uint8_t> unit)
{
    if (rtu.isEmpty() || kind == RtuCutKind::Garbage)
        return {};
    const qsizetype pduEnd = kind == RtuCutKind::Probe ? rtu.size() : rtu.size() - 2;
    return MbapFrame(transaction, unit.value_or(byteAt(rtu, 0)), rtu.sliced(1, pduEnd - 1));
}

std::optional<AduCut> NextAdu(QByteArrayView bytes)
{
    if (bytes.size() < MbapHeaderSize)
        return std::nullopt;
    AduCut cut;
    cut.header.transaction = wordAt(bytes, 0);
    cut.header.protocolId = wordAt(bytes, 2);
    cut.header.length = wordAt(bytes, 4);
    cut.header.unit = byteAt(bytes, 6);
    if (cut.header.protocolId != 0 || cut.header.length < 2 || cut.header.length > MaxMbapLength) {
        cut.broken = true;
        cut.length = bytes.size();
        return cut;
    }
    cut.length = 6 + cut.header.length;
    if (bytes.size() < cut.length)
        return std::nullopt;
    cut.pdu = bytes.sliced(MbapHeaderSize, cut.length - MbapHeaderSize);
    return cut;
}

QByteArray RtuFrame(std::uint8_t unit, QByteArrayView pdu)
{
    QByteArray frame;
    frame.reserve(pdu.size() + 3);
    frame.append(static_cast<char>(unit));
    frame.append(pdu.data(), pdu.size());
    frame.append(2, '\0');
    AppendCrc(frame);
    return frame;
}

bool IsWholeRequests(QByteArrayView bytes)
{
    qsizetype used = 0;
    while (used < bytes.size()) {
        const std::optional<RtuCut> cut = NextRtuRequest(bytes.sliced(used));
        if (!cut || cut->kind == RtuCutKind::Garbage)
            return false;
        used += cut->length;
    }
    return used > 0;
}

QByteArray MbapClient::request(QByteArrayView rtuBytes)
{
    m_out.append(rtuBytes.data(), rtuBytes.size());
    QByteArray adus;
    qsizetype used = 0;
    while (const std::optional<RtuCut> cut = NextRtuRequest(QByteArrayView(m_out).sliced(used))) {
        const QByteArrayView rtu = QByteArrayView(m_out).sliced(used, cut->length);
        used += cut->length;
        if (cut->kind == RtuCutKind::Garbage) {
            ++m_dropped;
            continue;
        }
        m_refusedText.clear();
        const std::uint16_t transaction = m_next++;
        if (m_next == 0)
            m_next = 1;
        adus += MbapRequest(rtu, cut->kind, transaction, m_unit);
        m_waiting.push_back({transaction, byteAt(rtu, 0)});
        if (m_waiting.size() > MaxWaiting)
            m_waiting.pop_front();
    }
    m_out.remove(0, used);
    return adus;
}

QByteArray MbapClient::answer(QByteArrayView linkBytes)
{
    if (m_broken)
        return {};
    m_in.append(linkBytes.data(), linkBytes.size());
    QByteArray rtu;
    qsizetype used = 0;
    while (const std::optional<AduCut> cut = NextAdu(QByteArrayView(m_in).sliced(used))) {
        if (cut->broken) {
            m_broken = true;
            m_in.clear();
            return rtu;
        }
        used += cut->length;
        const auto waiting =
            std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Waiting &w) {
                return w.transaction == cut->header.transaction;
            });
        if (waiting == m_waiting.end()) {
            ++m_refused;
            m_refusedText =
                QStringLiteral("the gateway answered under transaction id %1, which no request "
                               "waits for (%2 was the last sent): %3")
                    .arg(cut->header.transaction)
                    .arg(std::uint16_t(m_next == 1 ? 0xFFFF : m_next - 1))
                    .arg(Hex(QByteArrayView(m_in).sliced(used - cut->length, cut->length)));
            continue;
        }
        const std::uint8_t unit = m_unit ? waiting->address : cut->header.unit;
        m_waiting.erase(waiting);
        rtu += RtuFrame(unit, cut->pdu);
    }
    m_in.remove(0, used);
    return rtu;
}

QString MbapClient::unusableInput() const
{
    QStringList parts;
    if (!m_refusedText.isEmpty())
        parts.append(m_refusedText);
    if (m_in.size() >= MbapHeaderSize) {
        const std::uint16_t length = wordAt(m_in, 4);
        parts.append(
            QStringLiteral("the gateway's header announces %1 bytes after its length "
                           "field, %2 came: %3")
                .arg(length)
                .arg(m_in.size() - 6)
                .arg(Hex(QByteArrayView(m_in).first(std::min<qsizetype>(m_in.size(), 64)))));
    }
    return parts.join(QStringLiteral("; "));
}

void MbapClient::reset()
{
    m_refusedText.clear();
    m_out.clear();
    m_in.clear();
    m_waiting.clear();
    m_next = 1;
    m_broken = false;
    m_refused = 0;
    m_dropped = 0;
}

} // namespace modbus
