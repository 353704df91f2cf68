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
// A reader given a test of wholeness ends the reply as soon as the bytes gathered pass it. The
// window still runs to its end as it would have: bytes arriving meanwhile are the reply's tail,
// handed on as such and never the start of another reply.
class ReplyReader : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultWindow{100};

    // Whether the bytes received since the reply's first byte are a whole reply.
    using WholeCheck = std::function<bool(const QByteArray &received)>;

    explicit ReplyReader(serial::CommPort *port, QObject *parent = nullptr);

    void setWindow(std::chrono::milliseconds window);
    std::chrono::milliseconds window() const;

    // Begins a reply window. Does nothing while one is already open.
    void start();
    // Begins a reply window that ends early once the bytes gathered are whole.
    void startUntilWhole(WholeCheck whole);

    // True from start() until the reply has been read and interpreted; a timer step that sends
    // must skip its tick meanwhile, so requests are paced by the replies.
    bool collecting() const { return m_collecting; }
    // True after a reply ended early, until its window would have ended.
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
    void begin(WholeCheck whole);
    void checkWhole();
    void arrived();
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
    WholeCheck m_whole;
    bool m_tail = false;
    qsizetype m_taken = 0; // bytes already read from the port for this reply
};
