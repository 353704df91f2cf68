#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace moduletest {

// The serial line a module test talks over: the window's port through its send path, or
// qvctl's own port. The test paces the line itself; the line only writes and hands on what
// arrives.
class Line : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Writes a frame at once; false when the port cannot take it (failure() says why).
    virtual bool write(const QByteArray &frame) = 0;
    virtual qint32 rate() const = 0;
    // Moves the port to another rate (the configuration step); false when it cannot.
    virtual bool setRate(qint32 rate) = 0;
    virtual QString failure() const = 0;

signals:
    void received(const QByteArray &chunk);
    // The port failed while open: nothing more can be sent.
    void failed(const QString &reason);
};

} // namespace moduletest
