#include "app/replyreader.h"

#include "serial/commport.h"

ReplyReader::ReplyReader(serial::CommPort *port, QObject *parent) : QObject(parent), m_port(port)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(DefaultWindow);
    connect(&m_timer, &QTimer::timeout, this, &ReplyReader::finish);
}

void ReplyReader::setWindow(std::chrono::milliseconds window)
{
    m_timer.setInterval(window);
}

std::chrono::milliseconds ReplyReader::window() const
{
    return m_timer.intervalAsDuration();
}

void ReplyReader::start()
{
    if (m_collecting)
        return;
    m_collecting = true;
    m_port->setReceiveThreshold(0);
    m_timer.start();
}

void ReplyReader::finish()
{
    const QByteArray reply = m_port->readAll();
    emit replyRead(reply);
    // Back to one notice per arrival on every path, so later replies are still handled.
    m_port->setReceiveThreshold(1);
    m_collecting = false;
}
