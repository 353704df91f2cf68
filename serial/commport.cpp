#include "commport.h"

#include "protocol/chinesetext.h"
#include "serialline.h"
#include "tcpline.h"

#include <QList>
#include <QPointer>

namespace serial {

namespace {

struct VirtualPort
{
    QString name;
    QPointer<LineDevice> device;
};

QList<VirtualPort> &VirtualPorts()
{
    static QList<VirtualPort> ports;
    return ports;
}

LineDevice *FindVirtualPort(const QString &name, bool *known)
{
    for (const VirtualPort &port : VirtualPorts()) {
        if (port.name == name) {
            *known = true;
            return port.device.data();
        }
    }
    *known = false;
    return nullptr;
}

} // namespace

OpenResult OpenResultOf(FailureKind kind)
{
    switch (kind) {
    case FailureKind::None:
        return OpenResult::Ok;
    case FailureKind::NoSuchPort:
        return OpenResult::NoSuchPort;
    case FailureKind::Busy:
        return OpenResult::Busy;
    case FailureKind::NoPermission:
        return OpenResult::NoPermission;
    default:
        return OpenResult::Other;
    }
}

struct CommPort::Private
{
    QString portName;
    QString settingsText = SettingsText(QStringLiteral("9600 "));
    LineSettings settings;

    // The line while open; a SerialLine the port made for a device node is its own (owned).
    QPointer<LineDevice> device;
    bool owned = false;
    bool open = false;
    bool connecting = false;
    bool closingDevice = false;

    QByteArray input;
    bool arrivedWhileAnnouncing = false;
    protocol::ChineseStreamDecoder textDecoder{protocol::ChineseEncoding::Gbk};
    int threshold = 1;
    bool announcing = false;
    bool announcePending = false;

    LineFailure failure;
};

CommPort::CommPort(QObject *parent) : QObject(parent), d(std::make_unique<Private>()) {}

CommPort::~CommPort()
{
    close();
}

bool CommPort::setPortName(const QString &name)
{
    if (d->open)
        return false;
    d->portName = name;
    return true;
}

QString CommPort::portName() const
{
    return d->portName;
}

bool CommPort::setSettings(const QString &text)
{
    const std::optional<LineSettings> parsed = ParseSettings(text);
    if (!parsed) {
        d->failure = {FailureKind::BadSettings, 0, tr("Invalid line settings \"%1\"").arg(text)};
        return false;
    }
    return apply(*parsed, text);
}

bool CommPort::setLineSettings(const LineSettings &settings)
{
    return apply(settings, QStringLiteral("%1,%2,%3,%4")
                               .arg(settings.baudRate)
                               .arg(QLatin1Char(settings.parity))
                               .arg(settings.dataBits)
                               .arg(settings.stopBits));
}

bool CommPort::apply(const LineSettings &settings, const QString &text)
{
    if (LineDevice *line = d->device) {
        const bool applied = line->setLineSettings(settings);
        if (d->device != line)
            return false; // the line failed meanwhile; the port is closed and says why
        if (!applied) {
            d->failure = line->failure();
            if (!d->failure)
                d->failure = {FailureKind::BadSettings, 0, line->errorString()};
            return false;
        }
    }
    d->settings = settings;
    d->settingsText = text;
    return true;
}

QString CommPort::settings() const
{
    return d->settingsText;
}

LineSettings CommPort::lineSettings() const
{
    return d->settings;
}

OpenResult CommPort::open()
{
    close();
    d->failure = {};
    d->input.clear();
    d->textDecoder.resetState();

    const QString name = d->portName;
    if (name.isEmpty()) {
        d->failure = {FailureKind::NoSuchPort, 0, tr("No port chosen")};
        return OpenResult::NoSuchPort;
    }

    bool known = false;
    LineDevice *line = FindVirtualPort(name, &known);
    std::unique_ptr<LineDevice> own;
    if (!known && IsNetworkPortName(name)) {
        const std::optional<NetworkAddress> address = ParseNetworkPort(name);
        if (!address) {
            d->failure = {FailureKind::NoSuchPort, 0, tr("Not a network port: %1").arg(name)};
            return OpenResult::NoSuchPort;
        }
        own = std::make_unique<TcpLine>(*address);
        line = own.get();
    } else if (!known) {
        own = std::make_unique<SerialLine>(name);
        line = own.get();
    } else if (!line) {
        d->failure = {FailureKind::NoSuchPort, 0, tr("The virtual port %1 is gone").arg(name)};
        return OpenResult::NoSuchPort;
    }
    if (line->isOpen()) {
        d->failure = {FailureKind::Busy, 0, tr("The port %1 is in use").arg(name)};
        return OpenResult::Busy;
    }
    if (!line->open(QIODevice::ReadWrite)) {
        d->failure = line->failure();
        if (!d->failure)
            d->failure = {FailureKind::Other, 0, line->errorString()};
        return OpenResultOf(d->failure.kind);
    }
    if (line->isConnecting()) {
        if (own)
            own.release()->setParent(this);
        d->device = line;
        d->owned = !known;
        d->connecting = true;
        connect(line, &LineDevice::lineReady, this, &CommPort::connectionMade);
        connect(line, &LineDevice::lineFailed, this,
                [this, line] { connectionFailed(line->failure()); });
        return OpenResult::Connecting;
    }
    if (!line->setLineSettings(d->settings)) {
        d->failure = line->failure();
        if (!d->failure)
            d->failure = {FailureKind::BadSettings, 0, line->errorString()};
        line->close();
        return OpenResult::Other;
    }
    if (own)
        own.release()->setParent(this);
    d->device = line;
    d->owned = !known;
    attach(line);
    return OpenResult::Ok;
}

void CommPort::attach(LineDevice *line)
{
    d->open = true;
    // Queued: the port never takes input from inside its own write.
    connect(line, &QIODevice::readyRead, this, &CommPort::pullInput, Qt::QueuedConnection);
    connect(line, &LineDevice::lineFailed, this, [this, line] { fail(line->failure()); });
    connect(line, &QIODevice::aboutToClose, this, [this] {
        if (!d->closingDevice)
            fail({FailureKind::Removed, 0,
                  tr("The port %1 was closed by its device").arg(d->portName)});
    });
    connect(line, &QObject::destroyed, this, [this] {
        fail({FailureKind::Removed, 0, tr("The port %1 was removed").arg(d->portName)});
    });
    if (line->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &CommPort::pullInput, Qt::QueuedConnection);
}

void CommPort::connectionMade()
{
    LineDevice *line = d->device;
    if (!d->connecting || !line)
        return;
    d->connecting = false;
    line->disconnect(this);
    if (!line->setLineSettings(d->settings)) {
        LineFailure failure = line->failure();
        if (!failure)
            failure = {FailureKind::BadSettings, 0, line->errorString()};
        d->connecting = true; // reported as a failed open
        connectionFailed(failure);
        return;
    }
    attach(line);
    emit opened();
}

void CommPort::connectionFailed(const LineFailure &failure)
{
    if (!d->connecting)
        return;
    releaseLine();
    d->connecting = false;
    d->failure = failure;
    if (!d->failure)
        d->failure = {FailureKind::NoSuchPort, 0, {}};
    QMetaObject::invokeMethod(
        this, [this, failure = d->failure] { emit openFailed(failure); }, Qt::QueuedConnection);
}

void CommPort::close()
{
    closeLine();
    d->input.clear();
}

void CommPort::closeLine()
{
    releaseLine();
    d->open = false;
    d->connecting = false;
}

void CommPort::releaseLine()
{
    if (LineDevice *line = d->device) {
        d->device = nullptr;
        line->disconnect(this);
        d->closingDevice = true;
        line->close();
        d->closingDevice = false;
        if (d->owned)
            line->deleteLater();
    }
    d->owned = false;
}

void CommPort::fail(const LineFailure &failure)
{
    if (!d->open)
        return;
    // What arrived before the failure stays readable until the next open.
    collect();
    // Stop listening before anything else: a vanished device keeps reporting errors.
    if (LineDevice *line = d->device) {
        d->device = nullptr;
        line->disconnect(this);
        // A line of our own may be in the middle of reporting this failure: it goes from the
        // event loop. Any other line is closing itself, or gone.
        if (d->owned)
            line->deleteLater();
    }
    d->owned = false;
    d->open = false;
    d->failure = failure;
    if (!d->failure)
        d->failure.kind = FailureKind::Other;
    QMetaObject::invokeMethod(
        this, [this, failure = d->failure] { emit failed(failure); }, Qt::QueuedConnection);
}

bool CommPort::isOpen() const
{
    return d->open;
}

bool CommPort::isConnecting() const
{
    return d->connecting;
}

std::optional<QString> CommPort::setRs485(const Rs485 &mode)
{
    if (!d->device)
        return QStringLiteral("the port is not open");
    return d->device->setRs485(mode);
}

bool CommPort::isNetworkPort() const
{
    return IsNetworkPortName(d->portName);
}

LineFailure CommPort::failure() const
{
    return d->failure;
}

QString CommPort::errorText() const
{
    return d->failure.detail;
}

QString CommPort::unusableInput() const
{
    return d->device ? d->device->unusableInput() : QString();
}

qsizetype CommPort::bytesWaiting() const
{
    collect();
    return d->input.size();
}

void CommPort::collect() const
{
    if (!d->device)
        return;
    const QByteArray fresh = d->device->readAll();
    if (fresh.isEmpty())
        return;
    d->input += fresh;
    if (d->announcing)
        d->arrivedWhileAnnouncing = true;
}

std::optional<quint8> CommPort::readByte()
{
    collect();
    if (d->input.isEmpty())
        return std::nullopt;
    const auto byte = static_cast<quint8>(d->input.front());
    d->input.remove(0, 1);
    return byte;
}

QByteArray CommPort::readAll()
{
    collect();
    return std::exchange(d->input, {});
}

QByteArray CommPort::peek() const
{
    collect();
    return d->input;
}

QString CommPort::readText(qsizetype *byteCount)
{
    const QByteArray bytes = readAll();
    if (byteCount)
        *byteCount = bytes.size();
    return d->textDecoder.decode(bytes);
}

void CommPort::discardInput()
{
    d->input.clear();
    d->textDecoder.resetState();
    if (d->device)
        d->device->discardInput();
}

void CommPort::discardOutput()
{
    if (d->device)
        d->device->discardOutput();
}

bool CommPort::write(const QByteArray &bytes)
{
    if (!d->open) {
        d->failure = {FailureKind::NotOpen, 0, tr("The port is not open")};
        return false;
    }
    LineDevice *line = d->device;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = line->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            d->failure = line->failure();
            if (!d->failure)
                d->failure = {FailureKind::WriteFailed, 0, line->errorString()};
            return false;
        }
        done += n;
    }
    return true;
}

bool CommPort::writeText(const QString &text)
{
    return write(EncodeLocal8Bit(text));
}

QByteArray CommPort::EncodeLocal8Bit(const QString &text)
{
    return protocol::EncodeChinese(text, protocol::ChineseEncoding::Gbk);
}

QString CommPort::DecodeLocal8Bit(const QByteArray &bytes)
{
    return protocol::DecodeChinese(bytes, protocol::ChineseEncoding::Gbk);
}

void CommPort::setReceiveThreshold(int threshold)
{
    const int previous = d->threshold;
    d->threshold = qMax(0, threshold);
    if (previous == 0 && d->threshold > 0 && !d->input.isEmpty())
        QMetaObject::invokeMethod(this, &CommPort::announce, Qt::QueuedConnection);
}

int CommPort::receiveThreshold() const
{
    return d->threshold;
}

void CommPort::pullInput()
{
    collect();
    QPointer<CommPort> self(this);
    announce();
    if (self && d->open && !d->input.isEmpty())
        emit arrived();
}

void CommPort::announce()
{
    auto due = [this] { return d->open && d->threshold > 0 && d->input.size() >= d->threshold; };
    if (!due())
        return;
    if (d->announcing) {
        d->announcePending = true;
        return;
    }
    QPointer<CommPort> self(this);
    d->announcing = true;
    do {
        d->announcePending = false;
        d->arrivedWhileAnnouncing = false;
        emit received();
        if (!self)
            return;
        // Bytes may have come in while the receiver ran, without a fresh notice from the device.
        collect();
    } while ((d->announcePending || d->arrivedWhileAnnouncing) && due());
    d->announcing = false;
    d->announcePending = false;
    d->arrivedWhileAnnouncing = false;
}

void CommPort::RegisterVirtualPort(const QString &name, LineDevice *device)
{
    for (VirtualPort &port : VirtualPorts()) {
        if (port.name == name) {
            port.device = device;
            return;
        }
    }
    VirtualPorts().append({name, device});
}

void CommPort::UnregisterVirtualPort(const QString &name)
{
    VirtualPorts().removeIf([&](const VirtualPort &port) { return port.name == name; });
}

QStringList CommPort::VirtualPortNames()
{
    QStringList names;
    for (const VirtualPort &port : VirtualPorts()) {
        if (port.device)
            names << port.name;
    }
    return names;
}

} // namespace serial
