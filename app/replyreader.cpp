#include "app/replyreader.h"

#include "modbus/frames.h"
#include "modbus/timing.h"
#include "serial/commport.h"

#include <algorithm>

using namespace std::chrono;

ReplyReader::ReplyReader(serial::CommPort *port, QObject *parent) : QObject(parent), m_port(port)
{
    for (QTimer *timer : {&m_timer, &m_sample, &m_poll})
        timer->setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    m_sample.setSingleShot(true);
    m_timer.setInterval(DefaultWindow);
    connect(&m_timer, &QTimer::timeout, this, &ReplyReader::windowEnded);
    connect(&m_sample, &QTimer::timeout, this, [this] { m_seen = m_port->bytesWaiting(); });
    connect(&m_poll, &QTimer::timeout, this, &ReplyReader::poll);
}

void ReplyReader::setWindow(milliseconds window)
{
    m_timer.setInterval(window);
}

milliseconds ReplyReader::window() const
{
    return m_timer.intervalAsDuration();
}

void ReplyReader::start()
{
    if (m_collecting)
        return;
    m_collecting = true;
    m_port->setReceiveThreshold(0);
    // The frame gap in whole microseconds, rounded up (117 ms at 300 baud, 3.65 ms at 9600).
    const serial::LineSettings line = m_port->lineSettings();
    const modbus::CharacterFormat format{line.dataBits, line.parity != 'N', line.stopBits};
    m_gap = ceil<microseconds>(modbus::FrameGap(line.baudRate, format));
    m_seen = m_port->bytesWaiting();
    m_longest = window() +
                ceil<microseconds>(modbus::WireTime(modbus::MaxRtuLength, line.baudRate, format));
    m_sinceStart.start();
    const milliseconds beforeEnd = window() - ceil<milliseconds>(m_gap);
    if (beforeEnd > milliseconds{0})
        m_sample.start(beforeEnd);
    m_timer.start();
}

void ReplyReader::windowEnded()
{
    m_sample.stop();
    const qsizetype waiting = m_port->bytesWaiting();
    if (waiting == m_seen || !m_port->isOpen() || m_gap <= microseconds{0}) {
        finish();
        return;
    }
    // Bytes came in during the last frame gap: the reply is still on its way.
    m_seen = waiting;
    m_sinceArrival.start();
    m_quietOnce = false;
    m_poll.start(std::max(milliseconds{1}, ceil<milliseconds>(m_gap / 8)));
}

void ReplyReader::poll()
{
    if (!m_port->isOpen()) {
        finish();
        return;
    }
    if (nanoseconds{m_sinceStart.nsecsElapsed()} >= m_longest) {
        finish();
        return;
    }
    if (const qsizetype waiting = m_port->bytesWaiting(); waiting != m_seen) {
        m_seen = waiting;
        m_sinceArrival.start();
        m_quietOnce = false;
        return;
    }
    if (nanoseconds{m_sinceArrival.nsecsElapsed()} < m_gap)
        return;
    // Silent for a frame gap. One more quiet look first: after the window was held up, bytes
    // already on the line may not have been taken in yet.
    if (!m_quietOnce) {
        m_quietOnce = true;
        return;
    }
    finish();
}

void ReplyReader::finish()
{
    m_poll.stop();
    m_sample.stop();
    m_timer.stop();
    const QByteArray reply = m_port->readAll();
    emit replyRead(reply);
    // Back to one notice per arrival on every path, so later replies are still handled.
    m_port->setReceiveThreshold(1);
    m_collecting = false;
}
