#include "serial/commport.h"
#include "serial/openerror.h"
#include "support/ptypair.h"

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace serial;

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)
Q_DECLARE_METATYPE(serial::OpenResult)

namespace {

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Lets the event loop run for ms (a plain loop, which sleeps while idle); used only where the
// point is that nothing more happens, and to measure what the process does meanwhile.
void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class TestCommPort : public QObject
{
    Q_OBJECT
private slots:
    void lineSettingsArrive_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<speed_t>("speed");
        // 14400 and 56000 have no termios constant; the rate field then reads "other" (the
        // kernel's BOTHER, which <termios.h> does not define).
        constexpr speed_t BOTHER = 0010000;
        const std::pair<const char *, speed_t> rows[] = {
            {"300 ", B300},    {"600 ", B600},    {"1200 ", B1200},  {"2400 ", B2400},
            {"4800 ", B4800},  {"9600 ", B9600},  {"14400", BOTHER}, {"19200", B19200},
            {"38400", B38400}, {"56000", BOTHER}, {"57600", B57600}, {"115200", B115200}};
        for (const auto &[entry, speed] : rows)
            QTest::newRow(entry) << QString::fromLatin1(entry) << speed;
    }
    void lineSettingsArrive()
    {
        QFETCH(QString, entry);
        QFETCH(speed_t, speed);
        PtyPair pty;
        QVERIFY(pty.isValid());
        CommPort port;
        QVERIFY(port.setSettings(SettingsText(entry)));
        QVERIFY(port.setPortName(pty.slavePath()));
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(port.isOpen());

        termios t{};
        QVERIFY(pty.attributes(&t));
        QCOMPARE(cfgetospeed(&t), speed);
        QCOMPARE(cfgetispeed(&t), speed);
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & PARENB, tcflag_t(0));
        QCOMPARE(t.c_cflag & CSTOPB, tcflag_t(0));
        QCOMPARE(t.c_cflag & CRTSCTS, tcflag_t(0));
    }

    void settingsChangeReachesOpenPort()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QVERIFY(port.setSettings(QStringLiteral("9600 ,N,8,1")));
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(port.setSettings(QStringLiteral("115200,N,8,1")));
        termios t{};
        QVERIFY(pty.attributes(&t));
        QCOMPARE(cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(port.settings(), QStringLiteral("115200,N,8,1"));

        QVERIFY(!port.setSettings(QStringLiteral("fast")));
        QCOMPARE(port.settings(), QStringLiteral("115200,N,8,1"));
        QVERIFY(!port.errorText().isEmpty());
    }

    void bytesBothWays()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy received(&port, &CommPort::received);

        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        QVERIFY(port.write(all));
        QTRY_COMPARE(pty.received(), all);

        const QByteArray reply = QByteArray::fromHex("0105000aff00ac38");
        QVERIFY(pty.write(reply));
        QTRY_COMPARE(port.bytesWaiting(), reply.size());
        // Asking for the count takes the bytes at once; the notice follows from the event loop.
        QTRY_VERIFY(received.count() >= 1);
        QByteArray read;
        while (port.bytesWaiting() > 0)
            read.append(char(*port.readByte()));
        QCOMPARE(read, reply);
        QVERIFY(!port.readByte().has_value());
    }

    void writeThenCloseStillSends()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        const QByteArray frame = QByteArray::fromHex("01030000000845cc");
        QVERIFY(port.write(frame));
        port.close();
        QTRY_COMPARE(pty.received(), frame);
    }

    void discardInputDropsWaitingBytes()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(pty.write("abc"));
        QTRY_COMPARE(port.bytesWaiting(), 3);
        port.discardInput();
        QCOMPARE(port.bytesWaiting(), 0);
        port.discardOutput();
        QVERIFY(pty.write("d"));
        QTRY_COMPARE(port.bytesWaiting(), 1);
        QCOMPARE(port.readAll(), QByteArray("d"));
    }

    void thresholdZeroSuppressesAndOneRestores()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy received(&port, &CommPort::received);

        port.setReceiveThreshold(0);
        QVERIFY(pty.write("\x01\x03"));
        QTRY_COMPARE(port.bytesWaiting(), 2);
        QVERIFY(pty.write("\x02"));
        QTRY_COMPARE(port.bytesWaiting(), 3);
        QCOMPARE(received.count(), 0);

        // The notices of those arrivals, still queued, find the threshold at 0.
        QCoreApplication::sendPostedEvents(&port, QEvent::MetaCall);
        QCOMPARE(received.count(), 0);

        // Back to 1 with bytes waiting: they are announced, not left until the next arrival.
        port.setReceiveThreshold(1);
        QCOMPARE(received.count(), 0); // never from inside the setter
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(port.readAll(), QByteArray("\x01\x03\x02"));

        QVERIFY(pty.write("\x04"));
        QTRY_COMPARE(received.count(), 2);

        // Back to 1 with nothing waiting: nothing to announce.
        port.readAll();
        port.setReceiveThreshold(0);
        port.setReceiveThreshold(1);
        RunEventLoopFor(50);
        QCOMPARE(received.count(), 2);
    }

    void receivedIsNeverReentered()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);

        int depth = 0;
        int maxDepth = 0;
        int calls = 0;
        QByteArray read;
        connect(&port, &CommPort::received, this, [&] {
            ++depth;
            ++calls;
            maxDepth = qMax(maxDepth, depth);
            if (calls == 1) {
                // A reader that keeps the event loop running while it waits, with the threshold
                // left at 1, while more bytes arrive.
                pty.write("more");
                QTRY_COMPARE(port.bytesWaiting(), 5);
            }
            read += port.readAll();
            --depth;
        });
        QVERIFY(pty.write("x"));
        QTRY_COMPARE(read, QByteArray("xmore"));
        QCOMPARE(maxDepth, 1);
        QVERIFY(pty.write("y"));
        QTRY_COMPARE(read, QByteArray("xmorey"));
        QCOMPARE(maxDepth, 1);
    }

    void textGoesOutInTheLocalCodePage()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(port.writeText(QStringLiteral("串口 AT+OUT1+1=ON\r\n")));
        QTRY_COMPARE(pty.received(), QByteArray::fromHex("b4aebfda") + " AT+OUT1+1=ON\r\n");
    }

    void textInputKeepsSplitCharacters()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);

        QVERIFY(pty.write(QByteArray::fromHex("41b4")));
        QTRY_COMPARE(port.bytesWaiting(), 2);
        qsizetype bytes = 0;
        QCOMPARE(port.readText(&bytes), QStringLiteral("A"));
        QCOMPARE(bytes, 2);
        QVERIFY(pty.write(QByteArray::fromHex("aebfda")));
        QTRY_COMPARE(port.bytesWaiting(), 3);
        QCOMPARE(port.readText(&bytes), QStringLiteral("串口"));
        QCOMPARE(bytes, 3);
    }

    void closedPortRefusesWrites()
    {
        CommPort port;
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write("x"));
        QVERIFY(!port.writeText(QStringLiteral("x")));
        QVERIFY(!port.errorText().isEmpty());
        port.close(); // closing a closed port does nothing
        QVERIFY(!port.isOpen());
    }

    void portNameIsFixedWhileOpen()
    {
        PtyPair pty;
        CommPort port;
        QVERIFY(port.setPortName(pty.slavePath()));
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(!port.setPortName(QStringLiteral("/dev/null")));
        QCOMPARE(port.portName(), pty.slavePath());
        port.close();
        QVERIFY(port.setPortName(QStringLiteral("/dev/null")));
    }

    void missingPort_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing path") << "/dev/ttyQuorvaneMissing7";
        QTest::newRow("missing directory") << "/nonexistent/ttyUSB0";
        QTest::newRow("no name") << "";
    }
    void missingPort()
    {
        QFETCH(QString, name);
        CommPort port;
        port.setPortName(name);
        QCOMPARE(port.open(), OpenResult::NoSuchPort);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorText().isEmpty());
        QCOMPARE(port.failure().kind, FailureKind::NoSuchPort);
    }

    void busyPort()
    {
        PtyPair pty;
        CommPort first;
        CommPort second;
        first.setPortName(pty.slavePath());
        second.setPortName(pty.slavePath());
        QCOMPARE(first.open(), OpenResult::Ok);
        QCOMPARE(second.open(), OpenResult::Busy);
        QCOMPARE(second.failure().kind, FailureKind::Busy);
        QVERIFY(!second.isOpen());
        QVERIFY(first.isOpen());
        first.close();
        QCOMPARE(second.open(), OpenResult::Ok);
    }

    void otherFailureIsNotSuccess()
    {
        // A device node that is not a terminal: opening may succeed at the file level but the
        // line settings cannot be applied, and that is reported, never shown as open.
        CommPort port;
        port.setPortName(QStringLiteral("/dev/null"));
        const OpenResult result = port.open();
        QVERIFY(result != OpenResult::Ok);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorText().isEmpty());
        // Refused settings on a node that is no terminal: the system says so by its errno.
        const LineFailure failure = port.failure();
        QCOMPARE(failure.kind, FailureKind::BadSettings);
        QCOMPARE(failure.errorNumber, ENOTTY);
    }

    // Failures of an open port that are not the device's: a settings text that does not parse
    // and a write after the port was closed.
    void failuresOfTheCaller()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(!port.setSettings(QStringLiteral("9600,X,8,1")));
        QCOMPARE(port.failure().kind, FailureKind::BadSettings);
        QVERIFY(port.failure().detail.contains(QStringLiteral("9600,X,8,1")));
        QVERIFY(port.isOpen());
        port.close();
        QVERIFY(!port.write("x"));
        QCOMPARE(port.failure().kind, FailureKind::NotOpen);
    }

    void noPermissionOnRealNode()
    {
        if (::geteuid() == 0)
            QSKIP("root may open any node; the classification is covered by classifyOpenFailure");
        PtyPair pty;
        const QByteArray path = pty.slavePath().toLocal8Bit();
        QCOMPARE(::chmod(path.constData(), 0), 0);
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::NoPermission);
        QVERIFY(!port.isOpen());
        ::chmod(path.constData(), 0620);
    }

    void classifyOpenFailure_data()
    {
        QTest::addColumn<QSerialPort::SerialPortError>("error");
        QTest::addColumn<int>("access");
        QTest::addColumn<OpenResult>("expected");
        QTest::newRow("not found")
            << QSerialPort::DeviceNotFoundError << 0 << OpenResult::NoSuchPort;
        QTest::newRow("locked by another program")
            << QSerialPort::PermissionError << 0 << OpenResult::Busy;
        QTest::newRow("node not accessible")
            << QSerialPort::PermissionError << EACCES << OpenResult::NoPermission;
        QTest::newRow("operation not permitted")
            << QSerialPort::PermissionError << EPERM << OpenResult::NoPermission;
        QTest::newRow("vanished meanwhile")
            << QSerialPort::PermissionError << ENOENT << OpenResult::NoSuchPort;
        QTest::newRow("already open here") << QSerialPort::OpenError << 0 << OpenResult::Busy;
        QTest::newRow("unsupported")
            << QSerialPort::UnsupportedOperationError << 0 << OpenResult::Other;
        QTest::newRow("unknown") << QSerialPort::UnknownError << 0 << OpenResult::Other;
        QTest::newRow("odd access result")
            << QSerialPort::PermissionError << EIO << OpenResult::Other;
    }
    void classifyOpenFailure()
    {
        QFETCH(QSerialPort::SerialPortError, error);
        QFETCH(int, access);
        QFETCH(OpenResult, expected);
        QCOMPARE(ClassifyOpenFailure(error, access), expected);
    }

    void accessResultOfRealPaths()
    {
        QCOMPARE(AccessResult(QStringLiteral("/dev/null")), 0);
        QCOMPARE(AccessResult(QStringLiteral("/nonexistent/ttyUSB0")), ENOENT);
    }

    void peerClosingClosesOnce()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy failed(&port, &CommPort::failed);
        QSignalSpy received(&port, &CommPort::received);

        pty.closeMaster();
        QTRY_VERIFY(!port.isOpen());
        QTRY_COMPARE(failed.count(), 1);
        const auto failure = failed.first().first().value<LineFailure>();
        // A hung-up terminal reads as a failed read, a pulled adapter as a removed device.
        QVERIFY(failure.kind == FailureKind::ReadFailed || failure.kind == FailureKind::Removed);
        QVERIFY(!failure.detail.isEmpty());

        const double cpuBefore = CpuSeconds();
        RunEventLoopFor(300);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(received.count(), 0);
        QVERIFY2(CpuSeconds() - cpuBefore < 0.05, "the closed port keeps the CPU busy");
        QVERIFY(!port.write("x"));
        port.close(); // the user's close after a failure is harmless
        QCOMPARE(failed.count(), 1);
    }

    void settingsChangeAfterThePeerWentAway()
    {
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy failed(&port, &CommPort::failed);
        pty.closeMaster();
        // Before the event loop noticed anything.
        QVERIFY(!port.setSettings(QStringLiteral("115200,N,8,1")));
        QCOMPARE(port.settings(), QStringLiteral("9600 ,N,8,1"));
        QTRY_VERIFY(!port.isOpen());
        QTRY_COMPARE(failed.count(), 1);
    }

    void peerClosingWhileReportingIsHandledOnce()
    {
        // The receiver of failed() may run a nested event loop (a message box): the port must
        // stay quiet meanwhile.
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        int failures = 0;
        connect(&port, &CommPort::failed, this, [&] {
            ++failures;
            RunEventLoopFor(100);
        });
        pty.closeMaster();
        QTRY_COMPARE(failures, 1);
        RunEventLoopFor(200);
        QCOMPARE(failures, 1);
    }

    // The measurement: CPU time of this process in the seconds after the other end of its open
    // port went away. QUORVANE_MEASURE_SECONDS sets the window (1 s by default, 5 s for a report).
    void cpuAfterPeerClose()
    {
        const int seconds = qEnvironmentVariableIsSet("QUORVANE_MEASURE_SECONDS")
                                ? qEnvironmentVariableIntValue("QUORVANE_MEASURE_SECONDS")
                                : 1;
        PtyPair pty;
        CommPort port;
        port.setPortName(pty.slavePath());
        QCOMPARE(port.open(), OpenResult::Ok);
        const double before = CpuSeconds();
        pty.closeMaster();
        RunEventLoopFor(seconds * 1000);
        const double used = CpuSeconds() - before;
        qInfo("CPU time in the %d s after the peer closed: %.4f s", seconds, used);
        QVERIFY(!port.isOpen());
        QVERIFY(used < 0.02 * seconds);
    }
};

QTEST_GUILESS_MAIN(TestCommPort)
#include "tst_commport.moc"
