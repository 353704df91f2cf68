#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace serial {
class CommPort;
}

// Collects one reply from the port. When the first bytes of a reply are noticed, further
// arrivals are only buffered (receive threshold 0) while a short single-shot window runs, so the
// whole reply is in the buffer; then every waiting byte is read as one reply and handed to the
// interpreter. On a slow line a reply can outlast the window: when bytes were still arriving
// during the last frame gap (3.5 characters at the port's rate and line settings) before the window
// ends, collecting goes on until the line has been silent for a frame gap. The window never
// blocks: the event loop keeps running throughout.
//
// A reply can end early: once the bytes gathered are whole (a test the caller gives), they are read
// and handed on at once. The window still runs to its end as it would have, and the reply is
// still being collected until then: bytes arriving meanwhile are the reply's tail, handed on as
// such and never the start of another reply, unless the request it answers has been replaced.
class ReplyReader : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultWindow{100};

    // How a reply may end before its window.
    struct EarlyEnd
    {
        // Whether the bytes received since the reply's first byte are a whole reply.
        std::function<bool(const QByteArray &received)> whole;
        // After the reply was read early: whether the request it answered still stands, so that
        // what arrives is its tail. When not, what arrives starts the next reply.
        std::function<bool()> sameRequest;
    };

    explicit ReplyReader(serial::CommPort *port, QObject *parent = nullptr);

    void setWindow(std::chrono::milliseconds window);
    std::chrono::milliseconds window() const;

    // Begins a reply window. Does nothing while one is already open.
    void start();
    // Begins a reply window that may end early.
    void startUntilWhole(EarlyEnd early);

    // True from start() until the reply has been read and interpreted and its window is over; a
    // timer step that sends must skip its tick meanwhile, so requests are paced by the replies.
    bool collecting() const { return m_collecting; }
    // True after a reply was read early, until its window ends.
    bool inTail() const { return m_tail; }
    // Ends a tail now (something new is sent): bytes already waiting are still its tail, the
    // next arrival starts a new reply. Does nothing outside a tail.
    void endTail();

signals:
    // All bytes present when the window closed, possibly none (the port may have been closed
    // meanwhile), or the whole reply when it ended early. The port's receive threshold returns
    // to 1 after every receiver has returned, or at the end of the tail.
    void replyRead(const QByteArray &reply);
    // Bytes that arrived after a reply ended early and before its window would have ended.
    void tailRead(const QByteArray &bytes);

private:
    void begin(EarlyEnd early);
    void checkWhole();
    void arrived();
    // Ends a tail; the bytes waiting are its last part, or are left for the next reply.
    void finishTail(bool takeWaiting);
    void windowEnded();
    void poll();
    void finish();
    // Bytes received since the reply began, whether taken from the port yet or not.
    qsizetype arrivedCount() const;

    serial::CommPort *m_port;
    QTimer m_timer;  // the reply window
    QTimer m_sample; // one frame gap before the window ends: what had arrived by then
    QTimer m_poll;   // after the window, while bytes keep coming
    QElapsedTimer m_sinceArrival;
    std::chrono::microseconds m_gap{0};
    qsizetype m_seen = 0;
    // A line that never falls silent (a stream, another master polling) still ends the reply:
    // at the longest a frame can take after the window.
    QElapsedTimer m_sinceStart;
    std::chrono::microseconds m_longest{0};
    bool m_quietOnce = false;
    bool m_collecting = false;
    EarlyEnd m_early;
    bool m_tail = false;
    qsizetype m_taken = 0; // bytes already read from the port for this reply
};
