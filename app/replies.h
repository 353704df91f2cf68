#pragma once

#include "app/replyreader.h"
#include "protocol/requests.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Form1;

// What the window does when bytes arrive: by the active page and the routing flag Text9 they go
// either to the reply interpreter or to the serial console. A reply is gathered for a short
// window without blocking (ReplyReader), shown in the received box and interpreted in the light
// of the last request (ParseReply). A reply that is a whole answer to the request last sent is
// read at once; what still arrives within its window is only added to the received box.
class Replies : public QObject
{
    Q_OBJECT
public:
    static constexpr int ConsolePage = 4;
    static constexpr int MonitorPage = 7;

    explicit Replies(Form1 &form);

    // The receive notification of the port.
    void OnComm();
    // Starts reading a reply: the received box is cleared, the window opens.
    void ParseReply();
    // Interprets one reply read after the window.
    void Interpret(const QByteArray &reply);
    // Bytes that arrived after a reply was read early: shown after it, not interpreted.
    void ShowTail(const QByteArray &bytes);

    // A request kind is recorded: until its frame is written, no earlier frame stands for it.
    void RequestRecorded();
    // Something was written to the port: a request (whose answer may end its reply early) or
    // the console's bytes. Whatever arrives from now on starts a new reply.
    void Written(const protocol::Request *request);
    // Keeps Text9 in step with the page on view: false on the console page, true elsewhere.
    void safetabs1_TabSwitch();

    // True while a reply is being gathered or interpreted; a sending timer step skips its tick.
    bool collecting() const { return m_reader.collecting(); }
    ReplyReader &reader() { return m_reader; }

    // Whether arriving bytes go to the reply interpreter now.
    bool routesToInterpreter() const;

    // The adapter's echo. True when request must wait for a state read that learns whether the
    // line echoes (set to learn, on a line not yet learned, before the first request whose answer
    // is a copy of itself); the request is then sent once the line is learned.
    bool learnsEchoBefore(const protocol::Request &request);
    // The leading copy of the request is the adapter's and is taken off before reading.
    bool dropsEcho() const;

    // The module test claims the port: until released, what arrives goes to onArrival alone
    // (which reads it from the port), whatever page is on view, and the window's other senders
    // are refused (wire.h). Claim only while no reply is being collected.
    void claim(std::function<void()> onArrival);
    void release();
    bool claimed() const { return bool(m_claim); }

signals:
    // Bytes for the bus monitor are waiting in the port (while its page is shown).
    void monitorReceive();

    // Bytes for the serial console are waiting in the port. When nothing is connected here, they
    // are dropped so they cannot be mistaken for the next reply.
    void consoleReceive();

private:
    // How a reply starting now can end before its window: when it is a whole answer to the
    // request last written, while that is the request RequestKind names and the console page is
    // not on view. None otherwise.
    std::optional<ReplyReader::EarlyEnd> earlyEnd() const;

    // The learning read is over: the request it held back goes now.
    void sendHeldBack();

    Form1 &f;
    ReplyReader m_reader;
    std::optional<protocol::Request> m_written;
    std::optional<protocol::Request> m_heldBack; // waits for the learning read
    QTimer m_learning;                           // the learning read's wait for its first byte
    // Bytes of the current reply in the received box: no answer is longer than a longest frame,
    // and a line that floods keeps no more than that.
    qsizetype m_shown = 0;
    std::function<void()> m_claim;
};
