#include "modbus/crc.h"
#include "modbus/timing.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "sim/bus.h"

#include "support/frames.h"

#include <QTest>

using namespace sim;
using namespace std::chrono_literals;

namespace {

const QByteArray probe = QByteArray::fromHex("24FF03A000C6");

ModuleConfig config(int address, int baudCode = 5, int relays = 8)
{
    return ModuleConfig{std::uint8_t(address), baudCode, relays};
}

using testframes::hexOf;
using testframes::rtu;

} // namespace

class TestBus : public QObject
{
    Q_OBJECT
private slots:
    // An answer arrives after the turnaround plus 10 bits a byte at the module's rate.
    void answerTiming_data()
    {
        QTest::addColumn<int>("baudCode");
        QTest::addColumn<qint64>("expectedUs");

        // 7 bytes: 70 bits.
        QTest::newRow("300") << 0 << qint64(4000 + 233333);
        QTest::newRow("9600") << 5 << qint64(4000 + 7291);
        QTest::newRow("115200") << 11 << qint64(4000 + 607);
    }
    void answerTiming()
    {
        QFETCH(int, baudCode);
        QFETCH(qint64, expectedUs);

        Bus bus;
        bus.addModule(config(1, baudCode));
        const qint32 rate = bus.module(0).baudRate();
        const Micros sent = 10s;
        bus.receive(protocol::StateRequest(1).frame, rate, sent);
        QCOMPARE(bus.nextDeadline(), std::optional<Micros>(sent + Micros(expectedUs)));
        bus.advance(sent + Micros(expectedUs - 1));
        QVERIFY(bus.takeOutput().isEmpty());
        bus.advance(sent + Micros(expectedUs));
        QCOMPARE(bus.takeOutput().size(), 7);
        QCOMPARE(bus.nextDeadline(), std::nullopt);
    }

    // A module hears only frames sent at its own rate and format.
    void baudRule_data()
    {
        QTest::addColumn<qint32>("lineRate");
        QTest::addColumn<QString>("lineFormat");
        QTest::addColumn<QString>("moduleFormat");
        QTest::addColumn<bool>("answered");

        QTest::newRow("9600") << 9600 << "N1"
                              << "N1" << true;
        QTest::newRow("4800") << 4800 << "N1"
                              << "N1" << false;
        QTest::newRow("19200") << 19200 << "N1"
                               << "N1" << false;
        QTest::newRow("line not understood") << 0 << "N1"
                                             << "N1" << false;
        QTest::newRow("8E1 module, 8E1 master") << 9600 << "E1"
                                                << "E1" << true;
        QTest::newRow("8E1 module, 8N1 master") << 9600 << "N1"
                                                << "E1" << false;
        QTest::newRow("8N1 module, 8O1 master") << 9600 << "O1"
                                                << "N1" << false;
        QTest::newRow("8N2 module, 8N1 master") << 9600 << "N1"
                                                << "N2" << false;
    }
    void baudRule()
    {
        QFETCH(qint32, lineRate);
        QFETCH(QString, lineFormat);
        QFETCH(QString, moduleFormat);
        QFETCH(bool, answered);
        const auto format = [](const QString &f) {
            return sim::CharacterFormat{f.at(0).toLatin1(), f.at(1).digitValue()};
        };

        Bus bus;
        ModuleConfig module = config(1);
        module.format = format(moduleFormat);
        bus.addModule(module);
        bus.receive(probe, lineRate, format(lineFormat), 0us);
        bus.advance(1s);
        QCOMPARE(!bus.takeOutput().isEmpty(), answered);
    }

    // The new rate is used once the echo, sent at the old one, is out.
    void baudChange()
    {
        Bus bus;
        bus.addModule(config(1));
        const QByteArray setRate = protocol::SetRateRequest(1, 7).frame; // 19200
        bus.receive(setRate, 9600, 0us);
        bus.advance(1s);
        QCOMPARE(bus.takeOutput(), setRate);
        bus.receive(protocol::StateRequest(1).frame, 9600, 2s);
        bus.advance(3s);
        QVERIFY(bus.takeOutput().isEmpty());
        bus.receive(protocol::StateRequest(1).frame, 19200, 4s);
        bus.advance(5s);
        QCOMPARE(hexOf(bus.takeOutput()), QStringLiteral("01 03 02 00 00 B8 44"));
    }

    // A request that arrives before the echo of an address change is out still finds the old
    // address; afterwards only the new one answers.
    void addressChange()
    {
        Bus bus;
        bus.addModule(config(1));
        bus.receive(protocol::SetAddressRequest(1, 5).frame, 9600, 0us);
        bus.receive(protocol::ScanRequest(1).frame, 9600, 1ms);
        bus.advance(1s);
        QCOMPARE(bus.takeOutput().size(), 8 + 7);
        bus.receive(protocol::ScanRequest(1).frame, 9600, 2s);
        bus.receive(protocol::ScanRequest(5).frame, 9600, 3s);
        bus.advance(4s);
        QCOMPARE(hexOf(bus.takeOutput()), hexOf(rtu("05 03 02 00 05")));
    }

    // Several modules on one line: each answers its own address, and all answer the probe, one
    // after the other.
    void twoModules()
    {
        Bus bus;
        bus.addModule(config(3));
        bus.addModule(config(200, 5, 4));
        bus.receive(protocol::SwitchRequest(200, 1, true).frame, 9600, 0us);
        bus.advance(1s);
        QCOMPARE(bus.takeOutput(), protocol::SwitchRequest(200, 1, true).frame);
        QCOMPARE(bus.module(0).relayBits(), 0);
        QCOMPARE(bus.module(1).relayBits(), 2);

        bus.receive(probe, 9600, 2s);
        const Micros oneAnswer =
            Bus::DefaultTurnaround + std::chrono::duration_cast<Micros>(modbus::WireTime(7, 9600));
        bus.advance(2s + oneAnswer);
        QCOMPARE(bus.takeOutput().size(), 7);
        bus.advance(2s + 2 * oneAnswer);
        const QByteArray second = bus.takeOutput();
        QCOMPARE(second.size(), 7);
        QCOMPARE(uchar(second[0]), uchar(200));
    }

    // Modules at different rates on one line: only those at the line's rate answer the probe.
    void mixedRates()
    {
        Bus bus;
        bus.addModule(config(1, 5));
        bus.addModule(config(2, 0));
        bus.receive(probe, 300, 0us);
        bus.advance(2s);
        QCOMPARE(hexOf(bus.takeOutput()).left(2), QStringLiteral("02"));
    }

    // How chunks of bytes become frames.
    void chunks_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QList<int>>("gapsMs"); // pause before each chunk
        QTest::addColumn<int>("answers");

        const QByteArray state = protocol::StateRequest(1).frame;
        QTest::newRow("one frame") << QByteArrayList{state} << QList<int>{0} << 1;
        QTest::newRow("two frames in one chunk")
            << QByteArrayList{state + state} << QList<int>{0} << 2;
        QTest::newRow("split, no pause")
            << QByteArrayList{state.left(3), state.mid(3)} << QList<int>{0, 1} << 1;
        QTest::newRow("split by a long pause")
            << QByteArrayList{state.left(3), state.mid(3)} << QList<int>{0, 100} << 0;
        QTest::newRow("stray bytes, a pause, a frame")
            << QByteArrayList{state.left(5), state} << QList<int>{0, 100} << 1;
        QTest::newRow("unknown function ended by silence")
            << QByteArrayList{rtu("01 07")} << QList<int>{0} << 1;
    }
    void chunks()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QList<int>, gapsMs);
        QFETCH(int, answers);

        Bus bus;
        bus.addModule(config(1));
        Micros now = 1s;
        for (int i = 0; i < chunks.size(); ++i) {
            now += std::chrono::milliseconds(gapsMs[i]);
            bus.receive(chunks[i], 9600, now);
        }
        while (const auto next = bus.nextDeadline())
            bus.advance(*next);
        QByteArray out = bus.takeOutput();
        int count = 0;
        while (!out.isEmpty()) {
            const int length = uchar(out[1]) & 0x80 ? 5 : 7;
            out.remove(0, length);
            ++count;
        }
        QCOMPARE(count, answers);
    }

    // When the master goes away, half-heard bytes and answers on their way are lost, but a
    // change already made stays made.
    void dropLine()
    {
        Bus bus;
        bus.addModule(config(1));
        bus.receive(protocol::SetAddressRequest(1, 9).frame, 9600, 0us);
        bus.receive(protocol::StateRequest(9).frame.left(4), 9600, 1ms);
        bus.dropLine();
        QCOMPARE(bus.nextDeadline(), std::nullopt);
        QCOMPARE(bus.module(0).address(), 9);
        bus.receive(protocol::StateRequest(9).frame, 9600, 1s);
        bus.advance(2s);
        QCOMPARE(bus.takeOutput().size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestBus)
#include "tst_bus.moc"
