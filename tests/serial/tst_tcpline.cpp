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
