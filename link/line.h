#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The folder is link/; its namespace is bus (the name link is POSIX's link()).
namespace bus {

// How the line is set: a value, never settings text.
struct LineSettings
{
    qint32 rate = 9600;
    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

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
