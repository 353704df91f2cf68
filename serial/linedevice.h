#pragma once

#include <QIODevice>
#include <QString>

#include <optional>

namespace serial {

// Line settings of a serial port. The program always uses no parity, 8 data bits, 1 stop bit;
// only the rate changes.
struct LineSettings
{
    qint32 baudRate = 9600;
    char parity = 'N'; // 'N', 'E', 'O', 'M' or 'S'
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2

    bool operator==(const LineSettings &) const = default;
};

// The RS-485 mode of a serial driver: RTS raised while sending, with delays before and after
// (ms), so a transceiver without automatic direction control talks and listens in turn.
struct Rs485
{
    bool enabled = false;
    int delayBeforeMs = 0;
    int delayAfterMs = 0;
};

// Reads the settings text "rate,parity,data,stop", such as "9600 ,N,8,1": a baud-list entry (the
// shorter ones end in a space, and that space stands before the comma) followed by ",N,8,1".
// Blanks around every field are ignored. None for anything else (unknown parity, rate not a
// positive whole number, data bits outside 5..8, stop bits not 1 or 2, wrong field count).
std::optional<LineSettings> ParseSettings(const QString &text);

// The settings text of a baud-list entry: the entry as shown, trailing space included, then
// ",N,8,1".
QString SettingsText(const QString &baudEntry);

// What went wrong with a line, for the window to put into words: the kind, the system's error
// number where one is known (0 otherwise) and the driver's own text.
enum class FailureKind {
    None,
    NoSuchPort,    // no such device or virtual port, or no port chosen
    Busy,          // held by another program (or by this one)
    NoPermission,  // the user may not open the device node
    Removed,       // the device went away while open (adapter pulled, other end gone)
    BadSettings,   // the settings text does not parse, or the device refuses the settings
    NotOpen,       // written while closed
    ReadFailed,    // the device reported an error while reading
    WriteFailed,   // the device reported an error while writing
    NotResponding, // the device timed out
    Other,
};

struct LineFailure
{
    FailureKind kind = FailureKind::None;
    int errorNumber = 0;
    QString detail;

    explicit operator bool() const { return kind != FailureKind::None; }
};

// A line: a serial adapter, a pseudo-terminal, a network port, an in-process module, a test
// double.
//
// CommPort drives it like a port: open(QIODevice::ReadWrite) when the port opens, close() when it
// closes, setLineSettings() right after opening and on every settings change while open (false:
// refused, the device keeps its previous settings; failure() says why). A device that is already
// open when the port opens counts as busy. Bytes the port writes go to
// writeData(); bytes for the port are announced with readyRead() and fetched with read(). The
// port picks them up from the event loop, never from inside a write, so a device may emit
// readyRead() at any time, from inside writeData() too.
//
// A line that has to connect first (a network port) returns true from open() at once and is
// isConnecting() until it raises lineReady() (connected: the port opens) or lineFailed() (the
// port reports the open as failed). Meanwhile the port writes nothing to it.
//
// A device that closes itself while the port holds it open (aboutToClose() not caused by the
// port), or that raises lineFailed(), makes the port report a failure, just as a pulled adapter
// does.
class LineDevice : public QIODevice
{
    Q_OBJECT
public:
    using QIODevice::QIODevice;

    virtual bool setLineSettings(const LineSettings &settings) = 0;

    // Why the last open, settings change or transfer failed; none after a success.
    virtual LineFailure failure() const { return {}; }
    // Drop what was received and not yet read, and what was written and not yet sent.
    virtual void discardInput() { readAll(); }
    virtual void discardOutput() {}
    virtual bool isConnecting() const { return false; }
    // Switches the driver's RS-485 mode (the transceiver's direction driven by RTS) on or off;
    // the reason in words when the driver or the line refuses it, none when done.
    virtual std::optional<QString> setRs485(const Rs485 &mode);
    // What came in since the last write that could not be passed on as an answer (a gateway's
    // answer to another request, a frame announced longer than what came), for a message when
    // the answer is missed; empty when nothing such came.
    virtual QString unusableInput() const { return {}; }

signals:
    // The open line failed (failure() says how); the port closes it.
    void lineFailed();
    // A line that was connecting is connected.
    void lineReady();
};

} // namespace serial
