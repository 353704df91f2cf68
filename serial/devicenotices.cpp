#include "portwatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#if defined(QUORVANE_HAVE_UDEV)
#include <libudev.h>
#endif

#if defined(Q_OS_WIN)
#include <QAbstractNativeEventFilter>
#include <windows.h>
#endif

namespace serial {

namespace {

class NoNotices final : public DeviceNotices
{
public:
    using DeviceNotices::DeviceNotices;
    QString sourceName() const override { return QStringLiteral("none"); }
};

#if defined(Q_OS_UNIX)
// Any change of /dev (a node created or removed) counts as a notice; the watch itself finds out
// whether a serial port came or went.
class DevDirectoryNotices final : public DeviceNotices
{
public:
    explicit DevDirectoryNotices(QObject *parent) : DeviceNotices(parent)
    {
        m_watcher.addPath(QStringLiteral("/dev"));
        connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
                &DeviceNotices::deviceChanged);
    }
    bool isWatching() const { return !m_watcher.directories().isEmpty(); }
    QString sourceName() const override { return QStringLiteral("dev-directory"); }

private:
    QFileSystemWatcher m_watcher;
};
#endif

#if defined(QUORVANE_HAVE_UDEV)
class UdevNotices final : public DeviceNotices
{
public:
    explicit UdevNotices(QObject *parent) : DeviceNotices(parent)
    {
        m_udev = udev_new();
        if (!m_udev)
            return;
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (!m_monitor)
            return;
        if (udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
            udev_monitor_enable_receiving(m_monitor) < 0) {
            udev_monitor_unref(m_monitor);
            m_monitor = nullptr;
            return;
        }
        m_notifier =
            new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &UdevNotices::receive);
    }
    ~UdevNotices() override
    {
        delete m_notifier;
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        if (m_udev)
            udev_unref(m_udev);
    }
    bool isWatching() const { return m_notifier != nullptr; }
    QString sourceName() const override { return QStringLiteral("udev"); }

private:
    void receive()
    {
        // Take every queued event so the socket does not stay readable.
        bool changed = false;
        while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
            const char *action = udev_device_get_action(device);
            if (action && (qstrcmp(action, "add") == 0 || qstrcmp(action, "remove") == 0))
                changed = true;
            udev_device_unref(device);
        }
        if (changed)
            emit deviceChanged();
    }

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
};
#endif

#if defined(Q_OS_WIN)
class WindowsNotices final : public DeviceNotices, public QAbstractNativeEventFilter
{
public:
    explicit WindowsNotices(QObject *parent) : DeviceNotices(parent)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~WindowsNotices() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }
    QString sourceName() const override { return QStringLiteral("windows"); }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        constexpr WPARAM DeviceArrived = 0x8000;
        constexpr WPARAM DeviceRemoved = 0x8004;
        if (msg->message == WM_DEVICECHANGE &&
            (msg->wParam == DeviceArrived || msg->wParam == DeviceRemoved) && !m_pending) {
            // Windows sends the notice to every top-level window of the program (the main
            // window, hidden popups): the copies of one notice make one deviceChanged().
            m_pending = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_pending = false;
                    emit deviceChanged();
                },
                Qt::QueuedConnection);
        }
        return false; // every message goes on unchanged
    }

private:
    bool m_pending = false;
};
#endif

} // namespace

std::unique_ptr<DeviceNotices> DeviceNotices::CreateSource(const QString &name, QObject *parent)
{
#if defined(Q_OS_WIN)
    if (name == QStringLiteral("windows"))
        return std::make_unique<WindowsNotices>(parent);
#endif
#if defined(QUORVANE_HAVE_UDEV)
    if (name == QStringLiteral("udev")) {
        auto notices = std::make_unique<UdevNotices>(parent);
        if (notices->isWatching())
            return notices;
    }
#endif
#if defined(Q_OS_UNIX)
    if (name == QStringLiteral("dev-directory")) {
        auto notices = std::make_unique<DevDirectoryNotices>(parent);
        if (notices->isWatching())
            return notices;
    }
#endif
    if (name == QStringLiteral("none"))
        return std::make_unique<NoNotices>(parent);
    return nullptr;
}

std::unique_ptr<DeviceNotices> DeviceNotices::Create(QObject *parent)
{
    QStringList order;
#if defined(Q_OS_WIN)
    order << QStringLiteral("windows");
#endif
    // udev's monitor only hears anything when the udev daemon runs.
    if (QFileInfo::exists(QStringLiteral("/run/udev/control")))
        order << QStringLiteral("udev");
    order << QStringLiteral("dev-directory") << QStringLiteral("none");
    for (const QString &name : order) {
        if (auto notices = CreateSource(name, parent))
            return notices;
    }
    return nullptr; // not reached: "none" always exists
}

} // namespace serial
