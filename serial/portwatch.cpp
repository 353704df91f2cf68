#include "portwatch.h"

namespace serial {

WatchUpdate DecideWatchUpdate(const PortListing &listing, const QString &selected, bool portOpen)
{
    WatchUpdate update;
    update.ports = listing.names;
    // The exact name: COM1 must not count as present because COM10 is.
    update.selectedPresent = !selected.isEmpty() && listing.names.contains(selected);
    update.closePort = portOpen && !update.selectedPresent;
    if (update.selectedPresent)
        update.selection = selected;
    else if (!listing.names.isEmpty())
        update.selection = listing.names.front();
    return update;
}

PortWatch::PortWatch(PortEnumerator enumerator, std::function<QString()> selected,
                     std::function<bool()> portOpen, QObject *parent)
    : QObject(parent), m_enumerator(std::move(enumerator)), m_selected(std::move(selected)),
      m_portOpen(std::move(portOpen))
{
    qRegisterMetaType<WatchUpdate>();
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::tick);
}

void PortWatch::setListedCount(int count)
{
    m_listedCount = count;
}

int PortWatch::listedCount() const
{
    return m_listedCount;
}

void PortWatch::setInterval(int ms)
{
    m_timer.setInterval(ms);
}

bool PortWatch::isPolling() const
{
    return m_timer.isActive();
}

void PortWatch::notice()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void PortWatch::tick()
{
    const PortListing listing = m_enumerator.list();
    if (listing.deviceCount == m_listedCount)
        return; // nothing changed yet: keep polling
    m_listedCount = listing.deviceCount;
    m_timer.stop();
    const QString selected = m_selected ? m_selected() : QString();
    const bool portOpen = m_portOpen ? m_portOpen() : false;
    emit changed(DecideWatchUpdate(listing, selected, portOpen));
}

} // namespace serial
