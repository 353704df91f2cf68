#include "tcpline.h"

#include <QNetworkProxy>
#include <QUrl>

#include <cerrno>

namespace serial {

namespace {

const QString RtuScheme = QStringLiteral("tcp");
const QString MbapScheme = QStringLiteral("mbtcp");

// The error number that names why a connection could not be made, where one does.
int ErrorNumberOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ECONNREFUSED;
    case QAbstractSocket::NetworkError:
        return ENETUNREACH;
    case QAbstractSocket::SocketTimeoutError:
        return ETIMEDOUT;
    default:
        return 0;
    }
}

} // namespace

bool IsNetworkPortName(const QString &name)
{
    return name.startsWith(RtuScheme + QStringLiteral("://"), Qt::CaseInsensitive) ||
           name.startsWith(MbapScheme + QStringLiteral("://"), Qt::CaseInsensitive);
}

std::optional<NetworkAddress> ParseNetworkPort(const QString &name, QString *problem)
{
    QString ignored;
    QString &why = problem ? *problem : ignored;
    why.clear();
    if (!IsNetworkPortName(name)) {
        why = QStringLiteral("not tcp://HOST:PORT or mbtcp://HOST:PORT[/UNIT]");
        return std::nullopt;
    }
    const QUrl url(name, QUrl::StrictMode);
    if (!url.isValid()) {
        why = QStringLiteral("not a network address: %1").arg(url.errorString());
        return std::nullopt;
    }
    if (!url.userInfo().isEmpty()) {
        why = QStringLiteral("a user (%1@) has no place in it").arg(url.userInfo());
        return std::nullopt;
    }
    if (url.host().isEmpty()) {
        why = QStringLiteral("no host");
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment()) {
        why = QStringLiteral("nothing may follow the address (%1)")
                  .arg(url.hasQuery() ? u'?' + url.query() : u'#' + url.fragment());
        return std::nullopt;
    }
    // QUrl reads an empty port ("host:") as none, and so does this.
    const int port = url.port();
    if (port < 0) {
        why = QStringLiteral("no port number after the host %1 (HOST:PORT)").arg(url.host());
        return std::nullopt;
    }
    if (port < 1 || port > 65535) {
        why = QStringLiteral("the port number %1 is not 1..65535").arg(port);
        return std::nullopt;
    }

    NetworkAddress address;
    address.host = url.host();
    address.port = static_cast<quint16>(port);
    const QString path = url.path();
    if (url.scheme().compare(RtuScheme, Qt::CaseInsensitive) == 0) {
        if (!path.isEmpty() && path != QStringLiteral("/")) {
            why = QStringLiteral("tcp:// takes no unit or path (%1); mbtcp:// takes a unit")
                      .arg(path);
            return std::nullopt;
        }
        return address;
    }
    address.framing = NetworkAddress::Framing::Mbap;
    if (path.isEmpty() || path == QStringLiteral("/"))
        return address;
    bool ok = false;
    const QString unitText = path.mid(1);
    const int unit = unitText.toInt(&ok, 10);
    if (!ok || unit < 0 || unit > 255 || !unitText.front().isDigit()) {
        why = QStringLiteral("the unit %1 is not 0..255").arg(unitText);
        return std::nullopt;
    }
    address.unit = static_cast<std::uint8_t>(unit);
    return address;
}

TcpLine::TcpLine(const NetworkAddress &address, QObject *parent)
    : LineDevice(parent), m_address(address), m_mbap(address.unit)
{
    // A gateway on the plant's network is reached directly, never through a proxy.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    // A peer that sends without pause is held back by the network, not by this program's memory.
    m_socket.setReadBufferSize(64 * 1024);
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(ConnectTimeoutMs);
    m_pieceTimer.setSingleShot(true);
    m_pieceTimer.setInterval(PieceTimeoutMs);
    connect(&m_connectTimer, &QTimer::timeout, this, &TcpLine::connectTimedOut);
    connect(&m_pieceTimer, &QTimer::timeout, this, [this] { m_mbap.dropPendingRequest(); });
    connect(&m_socket, &QTcpSocket::connected, this, &TcpLine::connected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLine::socketError);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpLine::arrived);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        if (isOpen() && !m_connecting)
            lost({FailureKind::Removed, 0, m_socket.errorString()});
    });
}

TcpLine::~TcpLine()
{
    m_socket.disconnect(this);
    m_socket.abort();
}

bool TcpLine::open(OpenMode mode)
{
    m_failure = {};
    m_failed = false;
    m_answers.clear();
    m_mbap.reset();
    m_connecting = true;
    LineDevice::open(mode | QIODevice::Unbuffered);
    m_connectTimer.start();
    m_socket.connectToHost(m_address.host, m_address.port);
    return true;
}

void TcpLine::close()
{
    LineDevice::close();
    m_connecting = false;
    m_connectTimer.stop();
    m_pieceTimer.stop();
    m_socket.abort();
    m_answers.clear();
}

qint64 TcpLine::bytesAvailable() const
{
    return LineDevice::bytesAvailable() + (mbap() ? m_answers.size() : m_socket.bytesAvailable());
}

void TcpLine::discardInput()
{
    if (mbap()) {
        // Half-arrived answers are taken in, so that the framing stays in step, and dropped.
        m_mbap.answer(m_socket.readAll());
        m_answers.clear();
    } else {
        m_socket.readAll();
    }
}

void TcpLine::discardOutput()
{
    m_mbap.dropPendingRequest();
}

qint64 TcpLine::readData(char *data, qint64 maxSize)
{
    if (!mbap())
        return m_socket.read(data, maxSize);
    const qint64 n = qMin<qint64>(maxSize, m_answers.size());
    std::copy_n(m_answers.constData(), n, data);
    m_answers.remove(0, n);
    return n;
}

qint64 TcpLine::writeData(const char *data, qint64 size)
{
    if (m_connecting || m_failed || m_socket.state() != QAbstractSocket::ConnectedState) {
        m_failure = {FailureKind::NotOpen, 0, tr("Not connected")};
        setErrorString(m_failure.detail);
        return -1;
    }
    const QByteArray out = mbap() ? m_mbap.request(QByteArrayView(data, size))
                                  : QByteArray(data, static_cast<qsizetype>(size));
    if (mbap()) {
        if (m_mbap.pendingRequestBytes() > 0)
            m_pieceTimer.start();
        else
            m_pieceTimer.stop();
    }
    if (!out.isEmpty()) {
        if (m_socket.write(out) != out.size()) {
            m_failure = {FailureKind::WriteFailed, 0, m_socket.errorString()};
            setErrorString(m_failure.detail);
            return -1;
        }
        // Sent now rather than from the event loop.
        m_socket.flush();
    }
    return size;
}

void TcpLine::connected()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_connectTimer.stop();
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit lineReady();
}

void TcpLine::socketError(QAbstractSocket::SocketError error)
{
    if (!isOpen() || m_failed)
        return;
    if (m_connecting) {
        m_connecting = false;
        m_connectTimer.stop();
        m_failed = true;
        m_failure = {FailureKind::NoSuchPort, ErrorNumberOf(error), m_socket.errorString()};
        setErrorString(m_failure.detail);
        m_socket.abort();
        emit lineFailed();
        return;
    }
    lost({FailureKind::Removed, 0, m_socket.errorString()});
}

void TcpLine::connectTimedOut()
{
    if (!m_connecting)
        return;
    m_connecting = false;
    m_failed = true;
    m_socket.abort();
    m_failure = {FailureKind::NoSuchPort, ETIMEDOUT,
                 tr("No connection within %1 s").arg(ConnectTimeoutMs / 1000)};
    setErrorString(m_failure.detail);
    emit lineFailed();
}

void TcpLine::arrived()
{
    if (!mbap()) {
        emit readyRead();
        return;
    }
    const QByteArray rtu = m_mbap.answer(m_socket.readAll());
    if (m_mbap.broken()) {
        lost({FailureKind::ReadFailed, 0, tr("The gateway's answers are not MODBUS TCP")});
        return;
    }
    if (rtu.isEmpty())
        return;
    m_answers += rtu;
    emit readyRead();
}

void TcpLine::lost(const LineFailure &failure)
{
    if (m_failed)
        return;
    m_failed = true;
    m_failure = failure;
    setErrorString(failure.detail);
    m_pieceTimer.stop();
    emit lineFailed();
}

} // namespace serial
