#pragma once

#include "link/master.h"
#include "link/portline.h"
#include "qvctl/invocation.h"
#include "qvctl/report.h"
#include "serial/commport.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qvctl {

// Carries out one invocation on a serial port: its requests go through the line's master, one
// after the other, each answer checked before the next; the results are printed as they come.
// The caller runs no event loop: run() runs one until the command is over.
class Runner : public QObject
{
    Q_OBJECT
public:
    using Sink = std::function<void(const QString &)>;

    // out receives results (standard output), err messages and the --verbose log (standard
    // error); each call is one or more whole lines.
    Runner(const Invocation &invocation, Sink out, Sink err, QObject *parent = nullptr);
    ~Runner() override;

    Exit run();

    // Opens the port at rate (waiting for a network port's connection); the benchmark uses it
    // with master() to time single requests.
    Exit open(qint32 rate);
    bus::Master &master();

private:
    // Called with a good answer (empty for a broadcast).
    using Answered = std::function<void(const QByteArray &answer)>;

    // Starts the command; finish() ends it.
    void runCommand();
    void finish(Exit status);
    // Sends request through the master; then() follows a good answer, anything else ends the
    // command with its failure. silence: the message when no answer came (default: no answer
    // from the address within the wait).
    void ask(const QByteArray &request, Answered then, const QString &silence = {});
    Exit failure(const QByteArray &request, const bus::Outcome &outcome, const QString &silence);
    // A no-answer message with what a gateway sent instead, if anything.
    QString withUnusableInput(const QString &noAnswer) const;

    void switchChannels(int index);
    void timedChannel();
    void allChannels();
    void mask();
    void state();
    void probeAddress();
    void setAddress();
    void setBaud();
    void scan();
    void findBaud();
    void sendRaw();

    void result(const Result &result);
    Exit fail(Exit status, const QString &message);
    // Reports the port's failure: exit status 3.
    Exit portFailed();
    void log(const QString &text);
    QJsonObject object() const; // command and address
    qint32 rate() const;

    Invocation m_in;
    Sink m_out;
    Sink m_err;
    serial::CommPort m_port;
    // Made once the port is open, for every command that sends (monitor only listens).
    std::unique_ptr<bus::PortLine> m_line;
    std::unique_ptr<bus::Master> m_master;
    std::unique_ptr<QObject> m_task; // the scan or the baud search under way
    QEventLoop m_loop;
    std::optional<Exit> m_status;
};

// The whole program: parses arguments, runs, prints; returns the exit status.
int Main(const QStringList &arguments, const Runner::Sink &out, const Runner::Sink &err);

} // namespace qvctl
