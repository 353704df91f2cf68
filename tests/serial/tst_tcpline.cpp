// Network ports: how their names read, and a connection that is never taken.
#include "serial/commport.h"
#include "serial/tcpline.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class TestTcpLine : public QObject
{
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("read"); // framing host port unit, or "" for not a port
        QTest::newRow("RTU over TCP") << "tcp://192.168.1.20:4001"
                                      << "0 192.168.1.20 4001 -1";
        QTest::newRow("MODBUS TCP, unit") << "mbtcp://gw.local:502/0"
                                          << "1 gw.local 502 0";
        QTest::newRow("IPv6, upper case") << "TCP://[::1]:4001"
                                          << "0 ::1 4001 -1";
        QTest::newRow("no port") << "tcp://host"
                                 << "";
        QTest::newRow("port 0") << "tcp://host:0"
                                << "";
        QTest::newRow("unit on RTU") << "tcp://host:502/1"
                                     << "";
        QTest::newRow("unit 256") << "mbtcp://host:502/256"
                                  << "";
        QTest::newRow("unit signed") << "mbtcp://host:502/+1"
                                     << "";
        QTest::newRow("query") << "mbtcp://host:502?x=1"
                               << "";
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(QString, read);
        const auto a = serial::ParseNetworkPort(name);
        QCOMPARE(a ? QString("%1 %2 %3 %4")
                         .arg(int(a->framing))
                         .arg(a->host)
                         .arg(a->port)
                         .arg(a->unit ? int(*a->unit) : -1)
                   : QString(),
                 read);
    }

    // A server that never takes the connection (a listening socket whose queue is full): after
    // the connect time-out the open fails as a missing port, the time-out its cause.
    void connectTimesOut()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
                ::listen(fd, 0) == 0 &&
                ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        std::vector<std::unique_ptr<QTcpSocket>> fillers;
        do {
            fillers.push_back(std::make_unique<QTcpSocket>());
            fillers.back()->connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        } while (fillers.size() < 4 && fillers.back()->waitForConnected(300));
        serial::CommPort port;
        port.setPortName(QString("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)));
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
};

QTEST_GUILESS_MAIN(TestTcpLine)

#include "tst_tcpline.moc"
