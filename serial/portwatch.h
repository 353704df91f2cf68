#pragma once

#include "portenumerator.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace serial {

// What a watch tick found once the number of serial devices changed.
struct WatchUpdate
{
    QStringList ports;            // the new list, in order
    QString selection;            // the entry to select: the selected port when still listed, else
                                  // the first entry, else empty
    bool selectedPresent = false; // the selected port is listed (exact name)
    bool closePort = false;       // the port was open and its name is no longer listed
};

// The decision of one tick, as a pure function: listing is the fresh enumeration, selected the
// port chosen in the list, portOpen whether the port is open.
WatchUpdate DecideWatchUpdate(const PortListing &listing, const QString &selected, bool portOpen);

// The hot-plug watch. Idle until notice() (a device arrived or left); then it enumerates every
// interval (200 ms) until the device count differs from the count last listed, reports the new
// list through changed() once, and goes idle again. Devices that do not change the count (a USB
// stick) keep it polling until the count changes. A caller with a timer of its own may call
// tick() from it instead of notice().
class PortWatch : public QObject
{
    Q_OBJECT
public:
    // enumerator lists the ports; selected and portOpen are asked at the tick that reports.
    PortWatch(PortEnumerator enumerator, std::function<QString()> selected,
              std::function<bool()> portOpen, QObject *parent = nullptr);

    // Sets the count a full listing found (start-up or a manual refresh).
    void setListedCount(int count);
    int listedCount() const;

    void setInterval(int ms);
    bool isPolling() const;

public slots:
    // A device arrived or was removed.
    void notice();
    // One poll (runs by the timer; public so tests can drive it).
    void tick();

signals:
    void changed(const serial::WatchUpdate &update);

private:
    PortEnumerator m_enumerator;
    std::function<QString()> m_selected;
    std::function<bool()> m_portOpen;
    QTimer m_timer;
    int m_listedCount = 0;
};

// Where device notices come from: a udev monitor on the tty subsystem where udev runs, else a
// watch on /dev (Linux); the device-change message (Windows). Emits deviceChanged() on every
// arrival or removal; the caller connects it to PortWatch::notice().
class DeviceNotices : public QObject
{
    Q_OBJECT
public:
    static std::unique_ptr<DeviceNotices> Create(QObject *parent = nullptr);
    // One source by its name (see sourceName()), or null where it is not available.
    static std::unique_ptr<DeviceNotices> CreateSource(const QString &name,
                                                       QObject *parent = nullptr);
    // Which source is in use, for diagnostics: "udev", "dev-directory", "windows" or "none".
    virtual QString sourceName() const = 0;

signals:
    void deviceChanged();

protected:
    using QObject::QObject;
};

} // namespace serial

Q_DECLARE_METATYPE(serial::WatchUpdate)
