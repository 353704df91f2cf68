#pragma once

#include "sim/relaymodule.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <deque>
#include <vector>

namespace sim {

// The gateway's side of a MODBUS TCP link to a bus of modules. Each request from the link goes
// onto the bus as an RTU frame: its unit, its PDU and a CRC the gateway computes (the address
// probe, which has none of its own, gets one too). Each answer heard on the bus goes back to the
// link under the transaction id and unit of the request it answers: the oldest request still
// waiting for the answering address, else the oldest waiting probe.
class MbapGateway
{
public:
    // How long a request waits for its answer.
    static constexpr Micros AnswerWindow{1000000};

    // Bytes from the link, in any pieces; returns the RTU frames now complete, in order.
    std::vector<QByteArray> fromLink(QByteArrayView bytes, Micros now);
    // One answer heard on the bus; returns what goes back to the link, nothing when no request
    // waits for it or its CRC is wrong.
    QByteArray toLink(QByteArrayView rtuAnswer, Micros now);
    // The link's framing is lost (protocol id not 0, impossible length): the link is dropped.
    bool broken() const { return m_broken; }
    void reset();

private:
    struct Waiting
    {
        std::uint16_t transaction;
        std::uint8_t unit;
        bool probe;
        Micros since;
    };

    QByteArray m_in;
    std::deque<Waiting> m_waiting;
    bool m_broken = false;
};

} // namespace sim
