#pragma once

#include "link/line.h"
#include "link/master.h"
#include "link/portline.h"
#include "protocol/requests.h"
#include "serial/linedevice.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class Form1;

// The window's link to the modules: its one master on the port, who receives what arrives, and
// what a reply does to the window.
//
// Every request of the window is a transaction of the master, one on the line at a time. Its
// reply is gathered for a short window from its first byte (ended at once by a whole answer to
// it), shown in the received box and interpreted by position in the light of the request's kind.
// What arrives when nothing was asked (an answer later than its wait, another talker) is read
// in a window of its own and interpreted in the light of the last request recorded; bytes that
// follow a reply read early, within its window, are only added to the received box.
//
// Arriving bytes go to the master unless a page takes them: the bus monitor while it listens
// (it is handed a copy of what answers a request on the line), the serial console while its
// page is shown and no request routes replies to the interpreter. While the module test holds
// the master, they go to the master whatever is shown.
class Replies : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultWindow{100};

    explicit Replies(Form1 &form);
    ~Replies() override;

    bus::Master &master() { return *m_master; }

    // Queues request; false when the port is closed or another holds the master (nothing is
    // queued then).
    bool submit(const protocol::Request &request);
    // Bytes the console wrote: what arrives from now on answers no request of the window.
    void consoleWrote();

    // The receive notification of the port.
    void OnComm();

    // The pages tell whether they take what arrives.
    void setConsoleShown(bool shown);
    void setMonitorListening(bool listening);
    // Whether arriving bytes go to the master (and from it to the reply interpreter) now.
    bool routesToInterpreter() const;

    // True while a request is queued or on the line, or a reply is being read: a sending timer
    // step skips its tick.
    bool collecting() const { return m_master->busy(); }

    // A reply was read before its window ended, and the window is still running: what arrives
    // is its tail, shown and not interpreted.
    bool inTail() const;

    // The line's format beside its rate (parity and stop bits of format; its rate is not
    // used), the pause between requests and the answer wait (none: from the line's rate). The
    // format applies at the next open or rate change.
    void setLineFormat(const bus::LineSettings &format) { m_format = format; }
    const bus::LineSettings &lineFormat() const { return m_format; }
    void setPacing(double pauseMs, std::optional<int> answerWaitMs);
    // The port's settings at rate in the line's format.
    serial::LineSettings portSettingsAt(qint32 rate) const;

    // The reading window (tests shorten it).
    void setWindow(std::chrono::milliseconds window);

    // The port was opened, or the echo setting changed: whether the adapter echoes is learned
    // anew.
    void learnLineAnew();
    // What is known of the open port's echo (none until learned).
    std::optional<bool> lineEchoes() const { return m_master->lineEchoes(); }

signals:
    // Every reply read, in full (the adapter's echo included), before it is interpreted.
    void replyRead(const QByteArray &bytes);
    // What arrived, for the bus monitor (while it listens). A reply to a request of the window's
    // goes to the master as well: the monitor in a window of its own sees the traffic of the
    // main window's clicks without taking their answers.
    void monitorReceive(const QByteArray &bytes);
    // Bytes for the serial console are waiting in the port. When nothing is connected here, they
    // are dropped so they cannot be mistaken for the next reply.
    void consoleReceive();

private:
    // A transaction of the window's is over.
    void answered(const protocol::Request &request, const bus::Outcome &outcome);
    // Bytes nobody asked for: a reply in the light of the last request, or a tail.
    void unasked(const QByteArray &bytes, double firstByteMs);
    // Interprets one reply (echo taken off) in the light of kind; shown is what the received box
    // shows of it, note what follows that.
    void interpret(const QByteArray &reply, std::optional<protocol::RequestKind> kind,
                   const QByteArray &sentFrame, const QString &shown);
    void showTail(const QByteArray &bytes);
    // Whether received is one whole answer to request, read at once rather than after the window.
    bool wholeAnswer(const protocol::Request &request, const QByteArray &received) const;

    Form1 &f;
    std::unique_ptr<bus::PortLine> m_line; // handed what the router gives the master
    std::unique_ptr<bus::Master> m_master;
    std::chrono::milliseconds m_window = DefaultWindow;
    // The request written last, and until when (on the master's clock) bytes after its reply
    // are its tail; none once the console wrote.
    std::optional<protocol::Request> m_lastWritten;
    double m_tailUntil = -1;
    bus::LineSettings m_format;
    bool m_consoleShown = false;
    bool m_monitorListening = false;
    bool m_echoLearned = false; // learned to echo, not said yet
    // Bytes of the current reply in the received box: no answer is longer than a longest frame,
    // and a line that floods keeps no more than that.
    qsizetype m_shown = 0;
};
