#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <deque>
#include <optional>

namespace modbus {

// MODBUS TCP framing: the header (MBAP) in front of each request and answer on a TCP link to a
// gateway. Transaction id, protocol id 0, the length of what follows the length field (the unit
// byte and the PDU), and the unit: the slave the gateway passes the PDU to.
constexpr qsizetype MbapHeaderSize = 7;
// A PDU is at most 253 bytes long: length fields above 254 cannot occur.
constexpr int MaxMbapLength = 254;

struct MbapHeader
{
    std::uint16_t transaction = 0;
    std::uint16_t protocolId = 0;
    std::uint16_t length = 0;
    std::uint8_t unit = 0;

    bool operator==(const MbapHeader &) const = default;
};

// The header and the PDU as they leave on the link.
QByteArray MbapFrame(std::uint16_t transaction, std::uint8_t unit, QByteArrayView pdu);

// How the request bytes the port writes cut into requests.
enum class RtuCutKind {
    Request, // an RTU request: address, PDU, a CRC that checks
    Probe,   // the fixed address probe 24 FF 03 A0 00 C6, which carries no CRC
    Garbage, // bytes no gateway could pass on (a wrong CRC): dropped
};

struct RtuCut
{
    RtuCutKind kind;
    qsizetype length;

    bool operator==(const RtuCut &) const = default;
};

// The first request at the start of bytes, or none while more bytes are needed to tell. The
// length comes from the function code where it fixes one (all functions this program sends);
// for another function the shortest stretch of at least four bytes whose CRC checks is taken.
std::optional<RtuCut> NextRtuRequest(QByteArrayView bytes);

// Whether bytes are nothing but whole requests (each with a CRC that checks, or the probe), so
// that a MODBUS TCP gateway passes all of them on.
bool IsWholeRequests(QByteArrayView bytes);

// The MODBUS TCP request for one cut request: the CRC dropped (the probe goes whole, it has
// none), the unit the frame's first byte unless unit is given.
QByteArray MbapRequest(QByteArrayView rtu, RtuCutKind kind, std::uint16_t transaction,
                       std::optional<std::uint8_t> unit = std::nullopt);

// How a stream of MODBUS TCP frames cuts.
struct AduCut
{
    bool broken = false; // the protocol id is not 0 or the length impossible: framing is lost
    qsizetype length = 0;
    MbapHeader header;
    QByteArrayView pdu;
};

// The first frame at the start of bytes, or none while more bytes are needed.
std::optional<AduCut> NextAdu(QByteArrayView bytes);

// An RTU frame: the unit, the PDU and its CRC, low byte first.
QByteArray RtuFrame(std::uint8_t unit, QByteArrayView pdu);

// One side of a MODBUS TCP link as the port sees it: RTU requests in, MODBUS TCP out; MODBUS TCP
// answers in, RTU answers out. Requests and answers may come in any pieces, several at once.
//
// Each request takes the next transaction id. An answer is taken only under the id of a request
// still waiting for one, with protocol id 0; it becomes the RTU frame the module would have sent
// on a serial line: its unit (the request's address when a fixed unit is used) and PDU, with the
// CRC computed again. Answers under another id are refused and counted.
class MbapClient
{
public:
    // Requests kept waiting for their answer; older ones are forgotten.
    static constexpr std::size_t MaxWaiting = 256;

    explicit MbapClient(std::optional<std::uint8_t> unit = std::nullopt) : m_unit(unit) {}

    // Bytes the port wrote; returns the MODBUS TCP requests now complete, to send.
    QByteArray request(QByteArrayView rtuBytes);
    // Bytes from the link; returns the RTU answers now complete.
    QByteArray answer(QByteArrayView linkBytes);

    // Request bytes not yet making a whole request.
    qsizetype pendingRequestBytes() const { return m_out.size(); }
    // Drops them (they never became a request).
    void dropPendingRequest() { m_out.clear(); }
    // The answer stream lost its framing; nothing more is taken from it.
    bool broken() const { return m_broken; }
    int refused() const { return m_refused; }
    int dropped() const { return m_dropped; }
    // What came since the last request that did not become an answer: an answer refused for its
    // transaction id, or a frame whose length field announces more than has come. Empty when
    // nothing such came.
    QString unusableInput() const;
    // Resets the session (a new connection): ids start again at 1.
    void reset();

private:
    struct Waiting
    {
        std::uint16_t transaction;
        std::uint8_t address;
    };

    std::optional<std::uint8_t> m_unit;
    QByteArray m_out;
    QByteArray m_in;
    std::deque<Waiting> m_waiting;
    std::uint16_t m_next = 1;
    bool m_broken = false;
    int m_refused = 0;
    int m_dropped = 0;
    QString m_refusedText; // the last refused answer since the last request
};

} // namespace modbus
