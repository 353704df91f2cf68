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

// Reads the settings text "rate,parity,data,stop", such as "9600 ,N,8,1": a baud-list entry (the
// shorter ones end in a space, and that space stands before the comma) followed by ",N,8,1".
// Blanks around every field are ignored. None for anything else (unknown parity, rate not a
// positive whole number, data bits outside 5..8, stop bits not 1 or 2, wrong field count).
std::optional<LineSettings> ParseSettings(const QString &text);

// The settings text of a baud-list entry: the entry as shown, trailing space included, then
// ",N,8,1".
QString SettingsText(const QString &baudEntry);

// A device that can stand in for a serial port (an in-process module, a test double).
//
// CommPort drives it like a port: open(QIODevice::ReadWrite) when the port opens, close() when it
// closes, setLineSettings() right after opening and on every settings change while open. A device
// that is already open when the port opens counts as busy. Bytes the port writes go to
// writeData(); bytes for the port are announced with readyRead() and fetched with read(). The
// port picks them up from the event loop, never from inside a write, so a device may emit
// readyRead() at any time, from inside writeData() too.
//
// A device that closes itself while the port holds it open (aboutToClose() not caused by the
// port) makes the port report a failure, just as a pulled adapter does.
class LineDevice : public QIODevice
{
    Q_OBJECT
public:
    using QIODevice::QIODevice;

    virtual void setLineSettings(const LineSettings &settings) = 0;
};

} // namespace serial
