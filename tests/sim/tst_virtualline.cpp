#include "modbus/crc.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "serial/commport.h"
#include "sim/demo.h"
#include "sim/virtualline.h"

#include "support/frames.h"
#include <QElapsedTimer>
#include <QSignalSpy>

#include <QTest>

#include <memory>

namespace {

using testframes::hexOf;
using testframes::rtu;

constexpr int Deadline = 5000;

} // namespace

class TestVirtualLine : public QObject
{
    Q_OBJECT
private slots:
    // The demo port: registered as "DEMO", both models at addresses 1, 2 and 5, 9600 baud.
    void demoPort()
    {
        auto owner = std::make_unique<QObject>();
        sim::VirtualLine *line = nullptr;
        QCOMPARE(sim::InstallDemoPort(owner.get(), &line), QStringLiteral("DEMO"));
        QVERIFY(serial::CommPort::VirtualPortNames().contains(QStringLiteral("DEMO")));
        QCOMPARE(line->bus().moduleCount(), 3);
        QCOMPARE(line->bus().module(0).modelName(), QStringLiteral("QV-08"));
        QCOMPARE(line->bus().module(1).modelName(), QStringLiteral("QV-04"));
        QCOMPARE(line->bus().module(2).address(), std::uint8_t(5));

        serial::CommPort port;
        QVERIFY(port.setPortName(QStringLiteral("DEMO")));
        QVERIFY(port.setSettings(QStringLiteral("9600 ,N,8,1")));
        QCOMPARE(port.open(), serial::OpenResult::Ok);
        QSignalSpy received(&port, &serial::CommPort::received);
        QByteArray in;
        const auto arrived = [&] { return hexOf(in += port.readAll()); };

        QVERIFY(port.write(protocol::StateRequest(5).frame));
        QTRY_COMPARE_WITH_TIMEOUT(arrived(), hexOf(rtu("05 03 02 00 00")), Deadline);
        QVERIFY(received.count() >= 1);
        in.clear();
        // Relay 8 on, then the state shows it.
        QVERIFY(port.write(protocol::SwitchRequest(1, 7, true).frame));
        QVERIFY(port.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(
            arrived(), hexOf(protocol::SwitchRequest(1, 7, true).frame + rtu("01 03 02 00 80")),
            Deadline);
        port.close();

        owner.reset();
        QVERIFY(!serial::CommPort::VirtualPortNames().contains(QStringLiteral("DEMO")));
    }

    // Answers take the real wire time: turnaround plus 10 bits a byte at the module's rate.
    void wireTime_data()
    {
        QTest::addColumn<int>("baudCode");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("minimumMs");

        QTest::newRow("300") << 0 << QStringLiteral("300 ,N,8,1") << 237; // 7 bytes: 233 ms
        QTest::newRow("1200") << 2 << QStringLiteral("1200 ,N,8,1") << 62;
    }
    void wireTime()
    {
        QFETCH(int, baudCode);
        QFETCH(QString, settings);
        QFETCH(int, minimumMs);

        sim::VirtualLine line;
        line.addModule(sim::ModuleConfig{1, baudCode, 8});
        serial::CommPort::RegisterVirtualPort(QStringLiteral("SLOW"), &line);
        serial::CommPort port;
        QVERIFY(port.setPortName(QStringLiteral("SLOW")));
        QVERIFY(port.setSettings(settings));
        QCOMPARE(port.open(), serial::OpenResult::Ok);

        QElapsedTimer clock;
        clock.start();
        QVERIFY(port.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(port.bytesWaiting(), 7, Deadline);
        QVERIFY2(clock.elapsed() >= minimumMs, qPrintable(QString::number(clock.elapsed())));
        port.close();
        serial::CommPort::UnregisterVirtualPort(QStringLiteral("SLOW"));
    }

    // Frames sent at another rate, or with parity, are not heard. Unheard requests come first,
    // so their answers, if any, would arrive before the one waited for.
    void lineSettingsRule_data()
    {
        QTest::addColumn<QString>("wrong");
        QTest::newRow("4800") << QStringLiteral("4800 ,N,8,1");
        QTest::newRow("19200") << QStringLiteral("19200,N,8,1");
        QTest::newRow("even parity") << QStringLiteral("9600 ,E,8,1");
        QTest::newRow("7 data bits") << QStringLiteral("9600 ,N,7,1");
    }
    void lineSettingsRule()
    {
        QFETCH(QString, wrong);

        sim::VirtualLine line;
        line.addModule(sim::ModuleConfig{});
        QVERIFY(line.open(QIODevice::ReadWrite));
        QSignalSpy readyRead(&line, &QIODevice::readyRead);
        line.setLineSettings(*serial::ParseSettings(wrong));
        line.write(protocol::AllOnRequest(1).frame);
        line.setLineSettings(*serial::ParseSettings(QStringLiteral("9600 ,N,8,1")));
        line.write(protocol::StateRequest(1).frame);
        QTRY_COMPARE_WITH_TIMEOUT(line.bytesAvailable(), 7, Deadline);
        QCOMPARE(hexOf(line.readAll()), hexOf(rtu("01 03 02 00 00")));
        QCOMPARE(readyRead.count(), 1);
    }

    // Closing drops answers still on their way; the relays stay as they are.
    void closeDropsAnswers()
    {
        sim::VirtualLine line;
        line.addModule(sim::ModuleConfig{});
        line.setLineSettings({});
        QVERIFY(line.open(QIODevice::ReadWrite));
        line.write(protocol::SwitchRequest(1, 0, true).frame);
        line.close();
        QVERIFY(line.open(QIODevice::ReadWrite));
        line.write(protocol::StateRequest(1).frame);
        QTRY_COMPARE_WITH_TIMEOUT(line.bytesAvailable(), 7, Deadline);
        QCOMPARE(hexOf(line.readAll()), hexOf(rtu("01 03 02 00 01")));
    }

    // A jog switches the relay back off by itself after its time.
    void jogRunsOut()
    {
        sim::VirtualLine line;
        line.addModule(sim::ModuleConfig{});
        QVERIFY(line.open(QIODevice::ReadWrite));
        QElapsedTimer clock;
        clock.start();
        line.write(protocol::TimedChannelRequest(protocol::TimedAction::Jog, 1, 1, {0, 2}).frame);
        QTRY_COMPARE_WITH_TIMEOUT(line.bytesAvailable(), 8, Deadline);
        QCOMPARE(line.bus().module(0).relayBits(), 0x02);
        QTRY_COMPARE_WITH_TIMEOUT(line.bus().module(0).relayBits(), 0, Deadline);
        QVERIFY(clock.elapsed() >= 200);
    }
};

QTEST_GUILESS_MAIN(TestVirtualLine)
#include "tst_virtualline.moc"
