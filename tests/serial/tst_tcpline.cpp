// Network ports through the port object, against a server in this process that answers as a
// gateway would (or would not).
#include "serial/commport.h"
#include "serial/tcpline.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using serial::NetworkAddress;

class TestTcpLine : public QObject
{
    Q_OBJECT
private:
    QTcpServer server;
    QPointer<QTcpSocket> peer; // the server's side of the connection

    QString portName(const QString &scheme) const
    {
        return QString("%1://127.0.0.1:%2").arg(scheme).arg(server.serverPort());
    }
    // Opens the port and waits for the connection on both sides.
    void openOn(serial::CommPort &port, const QString &name)
    {
        port.setPortName(name);
        QCOMPARE(port.open(), serial::OpenResult::Connecting);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write("x")); // nothing goes out before the connection is made
        QSignalSpy opened(&port, &serial::CommPort::opened);
        QVERIFY(opened.wait(3000));
        QVERIFY(port.isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections() || peer, 3000);
        if (!peer)
            peer = server.nextPendingConnection();
        QVERIFY(peer);
    }
    QByteArray heardByPeer(qsizetype count)
    {
        QByteArray heard = peer->readAll();
        QDeadlineTimer deadline(3000);
        while (heard.size() < count && !deadline.hasExpired() && peer->waitForReadyRead(100))
            heard += peer->readAll();
        return heard;
    }

private slots:
    void init() { QVERIFY(server.listen(QHostAddress::LocalHost)); }
    void cleanup()
    {
        delete peer;
        server.close();
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("framing"); // 0 RTU, 1 MODBUS TCP
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("unit"); // -1: none
        QTest::newRow("RTU over TCP")
            << "tcp://192.168.1.20:4001" << true << 0 << "192.168.1.20" << 4001 << -1;
        QTest::newRow("MODBUS TCP")
            << "mbtcp://gw.local:502" << true << 1 << "gw.local" << 502 << -1;
        QTest::newRow("with unit")
            << "mbtcp://10.0.0.5:502/1" << true << 1 << "10.0.0.5" << 502 << 1;
        QTest::newRow("unit 0") << "mbtcp://10.0.0.5:502/0" << true << 1 << "10.0.0.5" << 502 << 0;
        QTest::newRow("IPv6") << "tcp://[::1]:4001" << true << 0 << "::1" << 4001 << -1;
        QTest::newRow("upper case scheme") << "TCP://host:1" << true << 0 << "host" << 1 << -1;
        QTest::newRow("no port") << "tcp://host" << false << 0 << "" << 0 << -1;
        QTest::newRow("port 0") << "tcp://host:0" << false << 0 << "" << 0 << -1;
        QTest::newRow("no host") << "tcp://:502" << false << 0 << "" << 0 << -1;
        QTest::newRow("unit on RTU") << "tcp://host:502/1" << false << 0 << "" << 0 << -1;
        QTest::newRow("unit 256") << "mbtcp://host:502/256" << false << 0 << "" << 0 << -1;
        QTest::newRow("unit signed") << "mbtcp://host:502/+1" << false << 0 << "" << 0 << -1;
        QTest::newRow("query") << "mbtcp://host:502?x=1" << false << 0 << "" << 0 << -1;
        QTest::newRow("a device path") << "/dev/ttyUSB0" << false << 0 << "" << 0 << -1;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        const std::optional<NetworkAddress> address = serial::ParseNetworkPort(name);
        QCOMPARE(address.has_value(), valid);
        if (!valid)
            return;
        QFETCH(int, framing);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, unit);
        QCOMPARE(int(address->framing), framing);
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
        QCOMPARE(address->unit ? int(*address->unit) : -1, unit);
    }

    // Answers under an id no request waits for are not read; the right one is.
    void mismatchedTransactionIdIsNotRead()
    {
        serial::CommPort port;
        openOn(port, portName("mbtcp"));
        QVERIFY(port.write(QByteArray::fromHex("010500 02FF00 2DFA")));
        QCOMPARE(heardByPeer(12), QByteArray::fromHex("0001 0000 0006 01 05 0002 FF00"));
        QSignalSpy received(&port, &serial::CommPort::received);
        peer->write(QByteArray::fromHex("0002 0000 0006 01 05 0002 FF00"));
        peer->write(QByteArray::fromHex("0001 0000 0006 01 05"));
        peer->flush();
        peer->write(QByteArray::fromHex("0002 FF00"));
        QVERIFY(received.wait(3000));
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesWaiting(), qsizetype(8), 3000);
        QCOMPARE(port.readAll(), QByteArray::fromHex("010500 02FF00 2DFA"));
    }

    // A gateway whose answers are not MODBUS TCP: the port fails once, and stays closed.
    void brokenFramingFailsThePortOnce()
    {
        serial::CommPort port;
        openOn(port, portName("mbtcp"));
        QSignalSpy failed(&port, &serial::CommPort::failed);
        peer->write(QByteArray::fromHex("0001 0001 0006 01 05 0002 FF00"));
        QVERIFY(failed.wait(3000));
        QVERIFY(!port.isOpen());
        QCOMPARE(failed.first().first().value<serial::LineFailure>().kind,
                 serial::FailureKind::ReadFailed);
        peer->write(QByteArray::fromHex("0001 0000 0006 01 05 0002 FF00"));
        peer->disconnectFromHost();
        QTRY_VERIFY_WITH_TIMEOUT(!peer || peer->state() == QAbstractSocket::UnconnectedState, 3000);
        QCOMPARE(failed.count(), 1);
    }

    // The peer closes: the port fails once as a removed device; what had arrived stays readable.
    void peerClosingIsARemovedDevice()
    {
        serial::CommPort port;
        openOn(port, portName("tcp"));
        QSignalSpy failed(&port, &serial::CommPort::failed);
        peer->write(QByteArray::fromHex("0105"));
        peer->disconnectFromHost();
        QVERIFY(failed.wait(3000));
        QCOMPARE(failed.first().first().value<serial::LineFailure>().kind,
                 serial::FailureKind::Removed);
        QVERIFY(!port.isOpen());
        QCOMPARE(port.readAll(), QByteArray::fromHex("0105"));
        QCOMPARE(failed.count(), 1);
    }

    // A server that never takes the connection: after the connect time-out the open fails as
    // a missing port, with the time-out as its cause. (A listening socket whose queue is full
    // lets further connections hang.)
    void connectTimesOut()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(fd >= 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        QVERIFY(::listen(fd, 0) == 0);
        QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        const QString name = QString("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port));
        std::vector<std::unique_ptr<QTcpSocket>> fillers;
        for (int i = 0; i < 4; ++i) {
            fillers.push_back(std::make_unique<QTcpSocket>());
            fillers.back()->connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
            if (!fillers.back()->waitForConnected(300))
                break; // the queue is full
        }
        serial::CommPort port;
        port.setPortName(name);
        QSignalSpy failed(&port, &serial::CommPort::openFailed);
        QSignalSpy opened(&port, &serial::CommPort::opened);
        QCOMPARE(port.open(), serial::OpenResult::Connecting);
        QVERIFY(failed.wait(serial::TcpLine::ConnectTimeoutMs + 3000) || !opened.isEmpty());
        ::close(fd);
        if (!opened.isEmpty())
            QSKIP("this system took the connection although the queue was full");
        const auto failure = failed.first().first().value<serial::LineFailure>();
        QCOMPARE(failure.kind, serial::FailureKind::NoSuchPort);
        QCOMPARE(failure.errorNumber, ETIMEDOUT);
        QVERIFY(!port.isOpen() && !port.isConnecting());
    }

    // A rate change on a network port is taken and changes nothing.
    void rateChangeIsAccepted()
    {
        serial::CommPort port;
        openOn(port, portName("tcp"));
        QVERIFY(port.setSettings("115200,N,8,1"));
        QVERIFY(port.isOpen());
        QVERIFY(port.isNetworkPort());
        QVERIFY(port.write(QByteArray::fromHex("0105")));
        QCOMPARE(heardByPeer(2), QByteArray::fromHex("0105"));
    }
};

QTEST_GUILESS_MAIN(TestTcpLine)

#include "tst_tcpline.moc"
