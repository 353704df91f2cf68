#pragma once

#include "qvctl/invocation.h"
#include "qvctl/report.h"
#include "serial/commport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>

#include <functional>

namespace qvctl {

// Carries out one invocation on a serial port: every request written, then its answer or its
// timeout awaited on the event loop (the caller runs a QCoreApplication), checked, reported.
class Runner : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<void(const QString &)>;

    // out receives results (standard output), err messages and the --verbose log (standard
    // error); each call is one or more whole lines.
    Runner(const Invocation &invocation, Sink out, Sink err, QObject *parent = nullptr);

    Exit run();

    // The parts the benchmark times: open the port, one request and its checked answer.
    Exit open(qint32 rate);
    Exit transact(const QByteArray &request, QByteArray *answer = nullptr);

private:
    // Called with every chunk received; true ends the wait.
    using Arrival = std::function<bool(const QByteArray &chunk)>;
    enum class Heard { Done, TimedOut, PortFailed };

    Exit runCommand();
    Exit switchChannels();
    Exit timedChannel();
    Exit allChannels();
    Exit mask();
    Exit state();
    Exit probeAddress();
    Exit setAddress();
    Exit setBaud();
    Exit scan();
    Exit findBaud();
    Exit sendRaw();

    // Writes a frame once the line has been quiet for the gap between frames. Bytes waiting
    // from before are dropped unless keepInput.
    bool send(const QByteArray &frame, bool keepInput = false);
    // Waits up to timeoutMs for arrival to say done; with quietMs, also ends once bytes came and
    // the line then stayed quiet that long.
    Heard listen(int timeoutMs, const Arrival &arrival, int quietMs = 0);
    void pause(double ms);
    bool changeRate(qint32 rate);
    int timeoutFor(const QByteArray &request) const;

    void result(const Result &result);
    Exit fail(Exit status, const QString &message);
    // Records that the port failed, if nothing was recorded yet: its own failure, or that it is
    // not open.
    void notePortFailure();
    // Reports the port's failure: exit status 3.
    Exit portFailed();
    void log(const QString &text);
    QJsonObject object() const; // command and address
    QString noAnswerText(int timeoutMs) const;

    Invocation m_in;
    Sink m_out;
    Sink m_err;
    serial::CommPort m_port;
    qint32 m_rate = 9600;
    serial::LineFailure m_portFailure; // the open port failed (none while it works)
    QEventLoop *m_waiting = nullptr;   // the wait in progress, ended early when the port fails
    QElapsedTimer m_clock;
    double m_lineFreeAt = 0; // ms on m_clock
};

// The whole program: parses arguments, runs, prints; returns the exit status.
int Main(const QStringList &arguments, const Runner::Sink &out, const Runner::Sink &err);

} // namespace qvctl
