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
    connect(&m_sample, &QTimer::timeout, this, [this] { m_seen = arrivedCount(); });
    connect(&m_poll, &QTimer::timeout, this, &ReplyReader::poll);
    connect(m_port, &serial::CommPort::arrived, this, &ReplyReader::arrived);
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
    begin({});
}

void ReplyReader::startUntilWhole(EarlyEnd early)
{
    begin(std::move(early));
}

qsizetype ReplyReader::arrivedCount() const
{
    return m_taken + m_port->bytesWaiting();
}

void ReplyReader::begin(EarlyEnd early)
{
    if (m_collecting)
        return;
    m_collecting = true;
    m_early = std::move(early);
    m_taken = 0;
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
    // The bytes that opened the reply may be all of it; looked at once the caller has returned.
    if (m_early.whole)
        QMetaObject::invokeMethod(this, &ReplyReader::checkWhole, Qt::QueuedConnection);
}

void ReplyReader::arrived()
{
    if (!m_tail) {
        checkWhole();
        return;
    }
    if (m_early.sameRequest && !m_early.sameRequest()) {
        finishTail(false);
        return;
    }
    const QByteArray bytes = m_port->readAll();
    m_taken += bytes.size();
    if (!bytes.isEmpty())
        emit tailRead(bytes);
}

void ReplyReader::checkWhole()
{
    if (!m_collecting || m_tail || !m_early.whole || !m_early.whole(m_port->peek()))
        return;
    // Whole: read and interpreted now. The window's timers run on, so that what still arrives
    // before the window would have ended is known as this reply's tail.
    const QByteArray reply = m_port->readAll();
    m_taken += reply.size();
    m_tail = true;
    emit replyRead(reply);
}

void ReplyReader::endTail()
{
    if (m_tail)
        finishTail(true);
}

void ReplyReader::finishTail(bool takeWaiting)
{
    m_poll.stop();
    m_sample.stop();
    m_timer.stop();
    m_tail = false;
    if (takeWaiting) {
        const QByteArray bytes = m_port->readAll();
        if (!bytes.isEmpty())
            emit tailRead(bytes);
    }
    // Bytes left waiting are announced as the next reply once the threshold is back.
    m_port->setReceiveThreshold(1);
    m_collecting = false;
    m_early = {};
}

void ReplyReader::windowEnded()
{
    m_sample.stop();
    const qsizetype waiting = arrivedCount();
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
    if (const qsizetype waiting = arrivedCount(); waiting != m_seen) {
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
    if (m_tail) {
        finishTail(true);
        return;
    }
    m_poll.stop();
    m_sample.stop();
    m_timer.stop();
    const QByteArray reply = m_port->readAll();
    emit replyRead(reply);
    // Back to one notice per arrival on every path, so later replies are still handled.
    m_port->setReceiveThreshold(1);
    m_collecting = false;
    m_early = {};
}
