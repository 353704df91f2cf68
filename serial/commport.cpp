#include "commport.h"

#include "holders.h"
#include "openerror.h"

#include <QList>
#include <QPointer>
#include <QSerialPort>
#include <QStringDecoder>
#include <QStringEncoder>

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

// The local 8-bit code page of this Chinese program.
constexpr const char *LocalCodePage = "GBK";

QSerialPort::Parity ToQtParity(char parity)
{
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

bool ApplySettings(QSerialPort &port, const LineSettings &s)
{
    return port.setBaudRate(s.baudRate) &&
           port.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
           port.setParity(ToQtParity(s.parity)) &&
           port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
           port.setFlowControl(QSerialPort::NoFlowControl);
}

bool IsFailureWhileOpen(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

struct CommPort::Private
{
    QString portName;
    QString settingsText = SettingsText(QStringLiteral("9600 "));
    LineSettings settings;

    QSerialPort *serial = nullptr;
    QPointer<LineDevice> device;
    bool open = false;
    bool closingDevice = false;

    QByteArray input;
    bool arrivedWhileAnnouncing = false;
    QStringDecoder textDecoder{LocalCodePage};
    InputMode inputMode = InputMode::Binary;
    int threshold = 1;
    bool announcing = false;
    bool announcePending = false;

    QString error;
};

CommPort::CommPort(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    if (!d->textDecoder.isValid())
        d->textDecoder = QStringDecoder(QStringConverter::System);
}

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
        d->error = tr("Invalid line settings \"%1\"").arg(text);
        return false;
    }
    if (QSerialPort *port = d->serial) {
        const bool applied = ApplySettings(*port, *parsed);
        if (d->serial != port)
            return false; // the device failed meanwhile; the port is closed and says why
        if (!applied) {
            d->error = port->errorString();
            port->clearError();
            ApplySettings(*port, d->settings);
            return false;
        }
    }
    if (d->device)
        d->device->setLineSettings(*parsed);
    d->settings = *parsed;
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
    d->error.clear();
    d->input.clear();
    d->textDecoder.resetState();

    const QString name = d->portName;
    if (name.isEmpty()) {
        d->error = tr("No port chosen");
        return OpenResult::NoSuchPort;
    }

    bool known = false;
    LineDevice *device = FindVirtualPort(name, &known);
    if (known) {
        if (!device) {
            d->error = tr("The virtual port %1 is gone").arg(name);
            return OpenResult::NoSuchPort;
        }
        if (device->isOpen()) {
            d->error = tr("The port %1 is in use").arg(name);
            return OpenResult::Busy;
        }
        if (!device->open(QIODevice::ReadWrite)) {
            d->error = device->errorString();
            return OpenResult::Other;
        }
        device->setLineSettings(d->settings);
        d->device = device;
        d->open = true;
        // Queued: the port never takes input from inside its own write.
        connect(device, &QIODevice::readyRead, this, &CommPort::pullInput, Qt::QueuedConnection);
        connect(device, &QIODevice::aboutToClose, this, [this] {
            if (!d->closingDevice)
                fail(tr("The port %1 was closed by its device").arg(d->portName));
        });
        connect(device, &QObject::destroyed, this,
                [this] { fail(tr("The port %1 was removed").arg(d->portName)); });
        if (device->bytesAvailable() > 0)
            QMetaObject::invokeMethod(this, &CommPort::pullInput, Qt::QueuedConnection);
        return OpenResult::Ok;
    }

    // Another program that has the device open without a lock file would share its bytes.
    if (d->error = DescribeHolders(FindHolders(name)); !d->error.isEmpty())
        return OpenResult::Busy;
    auto *port = new QSerialPort(this);
    port->setPortName(name);
    if (!port->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port->error();
        d->error = port->errorString();
        delete port;
        const int access = error == QSerialPort::PermissionError ? AccessResult(name) : 0;
        return ClassifyOpenFailure(error, access);
    }
    if (!ApplySettings(*port, d->settings)) {
        d->error = port->errorString();
        port->close();
        delete port;
        return OpenResult::Other;
    }
    port->clear(QSerialPort::AllDirections);
    d->serial = port;
    d->open = true;
    connect(port, &QSerialPort::readyRead, this, &CommPort::pullInput);
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError e) {
        if (port == d->serial && IsFailureWhileOpen(e))
            fail(port->errorString());
    });
    return OpenResult::Ok;
}

void CommPort::close()
{
    closeBackend();
    d->input.clear();
}

void CommPort::closeBackend()
{
    if (d->serial) {
        QSerialPort *port = d->serial;
        d->serial = nullptr;
        port->disconnect(this);
        port->close();
        port->deleteLater();
    }
    if (d->device) {
        LineDevice *device = d->device;
        d->device = nullptr;
        device->disconnect(this);
        d->closingDevice = true;
        device->close();
        d->closingDevice = false;
    }
    d->device = nullptr;
    d->open = false;
}

void CommPort::fail(const QString &reason)
{
    if (!d->open)
        return;
    // What arrived before the failure stays readable until the next open.
    collect();
    // Stop listening before anything else: a vanished device keeps reporting errors.
    if (d->serial) {
        QSerialPort *port = d->serial;
        d->serial = nullptr;
        port->disconnect(this);
        // The port may be in the middle of reporting this error; close it from the event loop.
        QMetaObject::invokeMethod(
            port,
            [port] {
                port->close();
                port->deleteLater();
            },
            Qt::QueuedConnection);
    }
    if (d->device) {
        d->device->disconnect(this);
        d->device = nullptr; // it is closing itself, or gone
    }
    d->open = false;
    d->error = reason;
    QMetaObject::invokeMethod(
        this, [this, reason] { emit failed(reason); }, Qt::QueuedConnection);
}

bool CommPort::isOpen() const
{
    return d->open;
}

QString CommPort::errorText() const
{
    return d->error;
}

qsizetype CommPort::bytesWaiting() const
{
    collect();
    return d->input.size();
}

void CommPort::collect() const
{
    QByteArray fresh;
    if (d->serial)
        fresh = d->serial->readAll();
    else if (d->device)
        fresh = d->device->readAll();
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
    if (d->serial)
        d->serial->clear(QSerialPort::Input);
    else if (d->device)
        d->device->readAll();
}

void CommPort::discardOutput()
{
    if (d->serial)
        d->serial->clear(QSerialPort::Output);
}

bool CommPort::write(const QByteArray &bytes)
{
    if (!d->open) {
        d->error = tr("The port is not open");
        return false;
    }
    QIODevice *io = d->serial ? static_cast<QIODevice *>(d->serial) : d->device.data();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = io->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            d->error = io->errorString();
            return false;
        }
        done += n;
    }
    // Hand the bytes to the driver now rather than from the event loop, as a port that is
    // closed or reconfigured right after a write still sends them first.
    if (d->serial)
        d->serial->flush();
    return true;
}

bool CommPort::writeText(const QString &text)
{
    return write(EncodeLocal8Bit(text));
}

QByteArray CommPort::EncodeLocal8Bit(const QString &text)
{
    QStringEncoder encoder(LocalCodePage);
    if (!encoder.isValid())
        encoder = QStringEncoder(QStringConverter::System);
    return encoder.encode(text);
}

QString CommPort::DecodeLocal8Bit(const QByteArray &bytes)
{
    QStringDecoder decoder(LocalCodePage);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::System);
    return decoder.decode(bytes);
}

void CommPort::setInputMode(InputMode mode)
{
    d->inputMode = mode;
}

CommPort::InputMode CommPort::inputMode() const
{
    return d->inputMode;
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
    announce();
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
