#include "sim/gateway.h"

#include "modbus/crc.h"
#include "modbus/frames.h"
#include "modbus/mbap.h"

#include <algorithm>

namespace sim {

namespace {

// The probe travels as unit 24 with the rest of its bytes as the PDU.
const QByteArray ProbePdu = modbus::ProbeFrame().mid(1);
constexpr std::uint8_t ProbeUnit = modbus::ProbeAddress;

} // namespace

std::vector<QByteArray> MbapGateway::fromLink(QByteArrayView bytes, Micros now)
{
    std::vector<QByteArray> frames;
    if (m_broken)
        return frames;
    m_in.append(bytes.data(), bytes.size());
    qsizetype used = 0;
    while (const auto cut = modbus::NextAdu(QByteArrayView(m_in).sliced(used))) {
        if (cut->broken) {
            m_broken = true;
            m_in.clear();
            return frames;
        }
        used += cut->length;
        const bool probe = cut->header.unit == ProbeUnit && cut->pdu == ProbePdu;
        m_waiting.push_back({cut->header.transaction, cut->header.unit, probe, now});
        frames.push_back(modbus::RtuFrame(cut->header.unit, cut->pdu));
    }
    m_in.remove(0, used);
    return frames;
}

QByteArray MbapGateway::toLink(QByteArrayView rtuAnswer, Micros now)
{
    std::erase_if(m_waiting, [&](const Waiting &w) { return now - w.since > AnswerWindow; });
    if (!modbus::CrcRight(rtuAnswer))
        return {};
    const auto address = static_cast<std::uint8_t>(rtuAnswer[0]);
    auto waiting = std::find_if(m_waiting.begin(), m_waiting.end(),
                                [&](const Waiting &w) { return !w.probe && w.unit == address; });
    if (waiting == m_waiting.end())
        waiting = std::find_if(m_waiting.begin(), m_waiting.end(),
                               [](const Waiting &w) { return w.probe; });
    if (waiting == m_waiting.end())
        return {};
    const Waiting answered = *waiting;
    m_waiting.erase(waiting);
    return modbus::MbapFrame(answered.transaction, answered.unit,
                             rtuAnswer.sliced(1, rtuAnswer.size() - 3));
}

void MbapGateway::reset()
{
    m_in.clear();
    m_waiting.clear();
    m_broken = false;
}

} // namespace sim
