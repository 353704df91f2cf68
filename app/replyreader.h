#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

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
class ReplyReader : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultWindow{100};

    explicit ReplyReader(serial::CommPort *port, QObject *parent = nullptr);

    void setWindow(std::chrono::milliseconds window);
    std::chrono::milliseconds window() const;

    // Begins a reply window. Does nothing while one is already open.
    void start();

    // True from start() until the reply has been read and interpreted; a timer step that sends
    // must skip its tick meanwhile, so requests are paced by the replies.
    bool collecting() const { return m_collecting; }

signals:
    // All bytes present when the window closed, possibly none (the port may have been closed
    // meanwhile). The port's receive threshold returns to 1 after every receiver has returned.
    void replyRead(const QByteArray &reply);

private:
    void windowEnded();
    void poll();
    void finish();

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
};
