#pragma once

#include "linedevice.h"
#include "modbus/mbap.h"

#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace serial {

// A bus reached over the network, named like a port:
//   tcp://HOST:PORT           a transparent serial server: the bytes of the wire, CRC included
//   mbtcp://HOST:PORT[/UNIT]  a MODBUS TCP gateway; UNIT (0..255), when given, is the unit of
//                             every request instead of the frame's own address
struct NetworkAddress
{
    enum class Framing { Rtu, Mbap };
    Framing framing = Framing::Rtu;
    QString host;
    quint16 port = 0;
    std::optional<std::uint8_t> unit;

    bool operator==(const NetworkAddress &) const = default;
};

// True for a name of either form, well formed or not.
bool IsNetworkPortName(const QString &name);
// None for a name that is not a well-formed network port; then *problem names the part that is
// wrong.
std::optional<NetworkAddress> ParseNetworkPort(const QString &name, QString *problem = nullptr);

// A network port as a line. open() starts connecting and returns at once: isConnecting() is true
// until lineReady() (connected) or lineFailed() (refused, unreachable, no answer within
// ConnectTimeoutMs; failure() reads NoSuchPort, with the error number of the cause). A connection
// lost while open raises lineFailed() once, as Removed.
//
// The rate is the gateway's: setLineSettings() accepts any settings and changes nothing.
//
// On a MODBUS TCP link, the port's RTU requests leave as MODBUS TCP requests and the answers come
// back as RTU frames (see modbus::MbapClient). Request bytes that do not make a whole request
// within PieceTimeoutMs are dropped.
class TcpLine : public LineDevice
{
    Q_OBJECT
public:
    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int PieceTimeoutMs = 500;

    explicit TcpLine(const NetworkAddress &address, QObject *parent = nullptr);
    ~TcpLine() override;

    bool open(OpenMode mode) override;
    void close() override;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool isConnecting() const override { return m_connecting; }

    bool setLineSettings(const LineSettings &) override { return true; }
    LineFailure failure() const override { return m_failure; }
    void discardInput() override;
    void discardOutput() override;

    // MODBUS TCP answers refused for a transaction id no request waits for.
    int refusedAnswers() const { return m_mbap.refused(); }
    QString unusableInput() const override { return m_mbap.unusableInput(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool mbap() const { return m_address.framing == NetworkAddress::Framing::Mbap; }
    void connected();
    void socketError(QAbstractSocket::SocketError error);
    void connectTimedOut();
    void arrived();
    void lost(const LineFailure &failure);

    NetworkAddress m_address;
    QTcpSocket m_socket;
    QTimer m_connectTimer;
    QTimer m_pieceTimer;
    modbus::MbapClient m_mbap;
    QByteArray m_answers; // RTU answers of a MODBUS TCP link, not yet read
    LineFailure m_failure;
    bool m_connecting = false;
    bool m_failed = false;
};

} // namespace serial
