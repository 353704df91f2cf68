#pragma once

#include "modbus/timing.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

// The folder is link/; its namespace is bus (the name link is POSIX's link()).
namespace bus {

enum class Parity : char { None = 'N', Even = 'E', Odd = 'O' };

// How the line is set: a value, never settings text. Eight data bits always; the modules speak
// 8N1, the meters and drives sharing their bus often 8E1, 8O1 or 8N2.
struct LineSettings
{
    qint32 rate = 9600;
    Parity parity = Parity::None;
    int stopBits = 1;

    modbus::CharacterFormat format() const { return {8, parity != Parity::None, stopBits}; }
    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// The format's name: "8N1", "8E1", "8O1", "8N2".
QString FormatName(const LineSettings &settings);
// A format by its name (case-insensitive: "8n1", "8E1", "8O1", "8N2"), applied to settings;
// none for another name (parity and two stop bits together are no format of these buses).
std::optional<LineSettings> WithFormat(LineSettings settings, const QString &name);
// A parity by the word a command line gives it: "none", "even", "odd".
std::optional<Parity> ParityOf(const QString &word);

// The line a master talks over: qvctl's own port, or the window's port through its send path.
// The master paces the line itself; the line only writes and hands on what arrives.
class Line : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Writes a frame at once; false when the port cannot take it (failure() says why).
    virtual bool write(const QByteArray &frame) = 0;
    virtual LineSettings settings() const = 0;
    // Moves the port to other settings (a module's new rate, the baud search); false when it
    // cannot (failure() says why).
    virtual bool setSettings(const LineSettings &settings) = 0;
    virtual QString failure() const = 0;
    // A network port: the rate is the gateway's, and answers also cross the network.
    virtual bool isNetwork() const { return false; }

    qint32 rate() const { return settings().rate; }

signals:
    void received(const QByteArray &chunk);
    // The port failed while open: nothing more can be sent.
    void failed(const QString &reason);
};

} // namespace bus
