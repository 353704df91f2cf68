#pragma once

#include "linedevice.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace serial {

// Why an open failed. NoSuchPort and Busy are the two failures the window tells apart with their
// own messages; NoPermission is told apart too (a device node the user may not open); anything
// else is Other, with CommPort::failure() saying what happened.
// Connecting: a network port is being connected; opened() or openFailed() tells how it ended.
enum class OpenResult { Ok, NoSuchPort, Busy, NoPermission, Other, Connecting };

// The open result a failure of that kind stands for.
OpenResult OpenResultOf(FailureKind kind);

// The program's one serial port (the window's MSComm1). It drives one line: a SerialLine for a
// device node, a TcpLine for a network port (tcp://HOST:PORT, mbtcp://HOST:PORT[/UNIT]), or a
// registered virtual port served by a LineDevice.
//
// Everything happens on the thread that owns the object. Arriving bytes are collected into the
// port's own input buffer from the event loop; received() announces them.
class CommPort : public QObject
{
    Q_OBJECT
public:
    explicit CommPort(QObject *parent = nullptr);
    ~CommPort() override;

    // The port to open: "COMn" on Windows, a device path such as "/dev/ttyUSB0" elsewhere, or
    // the name of a registered virtual port. Ignored (returns false) while open.
    bool setPortName(const QString &name);
    QString portName() const;

    // The settings text, such as "9600 ,N,8,1" (see ParseSettings). Applied at once while open,
    // else at the next open. Returns false and keeps the previous settings when the text does not
    // parse or the open port refuses them (failure() says why).
    bool setSettings(const QString &text);
    // The same with the settings as values; settings() then reads "rate,parity,data,stop".
    bool setLineSettings(const LineSettings &settings);
    // The driver's RS-485 mode, on the open port (see LineDevice::setRs485); the refusal in
    // words, none when done. Nothing else about the port changes either way.
    std::optional<QString> setRs485(const Rs485 &mode);
    QString settings() const;
    LineSettings lineSettings() const;

    // Opens the named port with the current settings. Both buffers start empty. Opening an open
    // port closes it first. A network port answers Connecting: it is not open yet (isOpen() is
    // false, writes fail) and opened() or openFailed() follows; close() meanwhile gives up
    // silently.
    OpenResult open();
    bool isConnecting() const;
    // The port's line is a network port: the rate is the gateway's, not the port's.
    bool isNetworkPort() const;
    // Closes the port and drops the bytes waiting. Closing a closed port does nothing.
    void close();
    bool isOpen() const;
    // The last failure (open, settings, write, or a failure while open); errorText() is its
    // detail, the driver's own text.
    LineFailure failure() const;
    QString errorText() const;
    // What the line received that it could not pass on as an answer (see
    // LineDevice::unusableInput()); empty for most lines and when nothing such came.
    QString unusableInput() const;

    // Input. bytesWaiting() counts the bytes received and not yet read.
    qsizetype bytesWaiting() const;
    // The next waiting byte, or none when nothing waits.
    std::optional<quint8> readByte();
    // Every waiting byte.
    QByteArray readAll();
    // Every waiting byte, left waiting.
    QByteArray peek() const;
    // Every waiting byte as text of the local 8-bit code page (GBK). A character split across
    // arrivals is kept back until its rest arrives. *byteCount receives the number of bytes taken.
    QString readText(qsizetype *byteCount = nullptr);
    void discardInput();
    // Drops output not yet sent.
    void discardOutput();

    // Output: the whole array, or nothing when the port is closed (returns false).
    bool write(const QByteArray &bytes);
    // Text in the local 8-bit code page (GBK), written whole.
    bool writeText(const QString &text);
    static QByteArray EncodeLocal8Bit(const QString &text);
    static QString DecodeLocal8Bit(const QByteArray &bytes);

    // 1: every arrival raises received(). 0: arrivals stay buffered silently. (A larger n waits
    // until n bytes are waiting.) When the threshold
    // returns to 1 while bytes wait, received() follows from the event loop, so nothing sits
    // unnoticed until the next arrival. received() is never raised again while a receiver of it
    // is still running; arrivals meanwhile are announced once it has returned.
    void setReceiveThreshold(int threshold);
    int receiveThreshold() const;

    // Virtual ports: a name (such as "DEMO") served by a device in this process. The registry is
    // process-wide; the device stays owned by the caller. A destroyed device is no longer listed,
    // and opening its name reports NoSuchPort.
    static void RegisterVirtualPort(const QString &name, LineDevice *device);
    static void UnregisterVirtualPort(const QString &name);
    // Names of live devices in the order registered.
    static QStringList VirtualPortNames();

signals:
    // A port that was connecting is open.
    void opened();
    // A port that was connecting could not be opened; it is closed. From the event loop.
    void openFailed(const serial::LineFailure &failure);
    // Bytes arrived (the data-received event).
    void received();
    // Bytes came into the input buffer, whatever the receive threshold: for a reader that
    // watches a reply grow while the data-received event is held back. Follows received().
    void arrived();
    // The open port failed (adapter pulled, other end gone). The port is closed at once (isOpen()
    // is false from then on) and this follows from the event loop, once per failure. Bytes that
    // had arrived before the failure stay readable until the next open.
    void failed(const serial::LineFailure &failure);

private:
    struct Private;
    std::unique_ptr<Private> d;

    bool apply(const LineSettings &settings, const QString &text);
    void collect() const;
    void pullInput();
    void announce();
    void fail(const LineFailure &failure);
    void closeLine();
    // Lets go of the line: closes it quietly and drops it when the port made it.
    void releaseLine();
    void attach(LineDevice *line);
    void connectionMade();
    void connectionFailed(const LineFailure &failure);
};

} // namespace serial

Q_DECLARE_METATYPE(serial::LineFailure)
