#include "serial/commport.h"
#include "serial/portenumerator.h"

#include <QSignalSpy>
#include <QTest>

using namespace serial;

namespace {

// A device that records what the port does to it and can answer from inside a write.
class FakeDevice : public LineDevice
{
public:
    QList<LineSettings> settingsSeen;
    QByteArray written;
    bool echo = false;

    bool setLineSettings(const LineSettings &settings) override
    {
        settingsSeen << settings;
        return true;
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_inbox.size() + QIODevice::bytesAvailable(); }

    void deliver(const QByteArray &bytes)
    {
        m_inbox += bytes;
        emit readyRead();
    }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = qMin<qint64>(max, m_inbox.size());
        memcpy(data, m_inbox.constData(), size_t(n));
        m_inbox.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        written.append(data, size);
        if (echo)
            deliver(QByteArray(data, size));
        return size;
    }

private:
    QByteArray m_inbox;
};

} // namespace

class TestVirtualPort : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (const QString &name : CommPort::VirtualPortNames())
            CommPort::UnregisterVirtualPort(name);
    }

    void settingsAreCarriedToTheDevice()
    {
        FakeDevice device;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        port.setSettings(QStringLiteral("9600 ,N,8,1"));
        QVERIFY(device.settingsSeen.isEmpty()); // nothing happens while closed
        QCOMPARE(port.open(), OpenResult::Ok);
        QVERIFY(device.isOpen());
        QCOMPARE(device.settingsSeen.size(), 1);
        QCOMPARE(device.settingsSeen.last().baudRate, 9600);

        QVERIFY(port.setSettings(QStringLiteral("115200,N,8,1")));
        QCOMPARE(device.settingsSeen.size(), 2);
        QCOMPARE(device.settingsSeen.last(), (LineSettings{115200, 'N', 8, 1}));

        port.close();
        QVERIFY(!device.isOpen());
        port.setSettings(QStringLiteral("4800 ,N,8,1"));
        QCOMPARE(device.settingsSeen.size(), 2);
    }

    void answerFromInsideAWriteArrivesLater()
    {
        FakeDevice device;
        device.echo = true;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy received(&port, &CommPort::received);

        const QByteArray frame = QByteArray::fromHex("010500000000cdca");
        QVERIFY(port.write(frame));
        QCOMPARE(device.written, frame);
        QCOMPARE(received.count(), 0); // never from inside the write
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(port.readAll(), frame);
    }

    void thresholdAppliesToVirtualPortsToo()
    {
        FakeDevice device;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy received(&port, &CommPort::received);
        port.setReceiveThreshold(0);
        device.deliver("ab");
        QTRY_COMPARE(port.bytesWaiting(), 2);
        QTest::qWait(20);
        QCOMPARE(received.count(), 0);
        port.setReceiveThreshold(1);
        QTRY_COMPARE(received.count(), 1);
    }

    void openFailures()
    {
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        {
            FakeDevice device;
            CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
            QVERIFY(device.open(QIODevice::ReadWrite)); // held by someone else
            QCOMPARE(port.open(), OpenResult::Busy);
            QVERIFY(!port.isOpen());
        }
        // The device is gone but its name is still registered.
        QVERIFY(CommPort::VirtualPortNames().isEmpty());
        QCOMPARE(port.open(), OpenResult::NoSuchPort);
        CommPort::UnregisterVirtualPort(QStringLiteral("DEMO"));
        QCOMPARE(port.open(), OpenResult::NoSuchPort);
    }

    void deviceClosingItselfIsAFailure()
    {
        FakeDevice device;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy failed(&port, &CommPort::failed);
        device.close();
        QVERIFY(!port.isOpen());
        QTRY_COMPARE(failed.count(), 1);
        QVERIFY(!port.write("x"));

        // A close by the port itself is not a failure.
        QCOMPARE(port.open(), OpenResult::Ok);
        port.close();
        QTest::qWait(20);
        QCOMPARE(failed.count(), 1);
    }

    void bytesBeforeAFailureStayReadable()
    {
        FakeDevice device;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
        CommPort port;
        port.setPortName(QStringLiteral("DEMO"));
        QCOMPARE(port.open(), OpenResult::Ok);
        QSignalSpy failed(&port, &CommPort::failed);
        device.deliver("\x01\x05");
        device.close(); // before the port took the bytes from the event loop
        QVERIFY(!port.isOpen());
        QCOMPARE(port.bytesWaiting(), 2);
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(port.readAll(), QByteArray("\x01\x05"));
        QCOMPARE(port.open(), OpenResult::Ok);
        QCOMPARE(port.bytesWaiting(), 0);
    }

    void deviceDestroyedWhileOpen()
    {
        CommPort port;
        QSignalSpy failed(&port, &CommPort::failed);
        {
            FakeDevice device;
            CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &device);
            port.setPortName(QStringLiteral("DEMO"));
            QCOMPARE(port.open(), OpenResult::Ok);
        }
        QVERIFY(!port.isOpen());
        QTRY_COMPARE(failed.count(), 1);
        port.close();
    }

    void registryKeepsOrderAndNames()
    {
        FakeDevice a;
        FakeDevice b;
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &a);
        CommPort::RegisterVirtualPort(QStringLiteral("BENCH"), &b);
        CommPort::RegisterVirtualPort(QStringLiteral("DEMO"), &b); // re-registering replaces
        QCOMPARE(CommPort::VirtualPortNames(), (QStringList{"DEMO", "BENCH"}));

        // Virtual ports follow the system's ports and the extra ones in every listing.
        PortEnumerator enumerator([] { return PortListing{{"/dev/ttyUSB0"}, 1}; });
        enumerator.setExtraPorts({"/dev/pts/4"});
        QCOMPARE(enumerator.list().names,
                 (QStringList{"/dev/ttyUSB0", "/dev/pts/4", "DEMO", "BENCH"}));
        QCOMPARE(enumerator.list().deviceCount, 1);
    }
};

QTEST_GUILESS_MAIN(TestVirtualPort)
#include "tst_virtualport.moc"
