#include "modbus/crc.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "serial/commport.h"
#include "support/simprocess.h"

#include "support/frames.h"
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <QTest>

namespace {

using testframes::hexOf;
using testframes::rtu;

constexpr int Deadline = 5000;

} // namespace

class TestSimPty : public QObject
{
    Q_OBJECT
private slots:
    // Switch a relay over a plainly opened terminal and read the state back.
    void switchAndRead()
    {
        SimProcess sim({QStringLiteral("--log")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        RawTerminal line;
        QVERIFY(line.open(sim.path(), B9600));

        const QByteArray on = protocol::SwitchRequest(1, 2, true).frame;
        QVERIFY(line.write(on));
        QTRY_COMPARE_WITH_TIMEOUT(hexOf(line.received()), hexOf(on), Deadline);
        line.clear();
        QVERIFY(line.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(hexOf(line.received()), hexOf(rtu("01 03 02 00 04")), Deadline);

        // The log shows both directions as hex.
        QTRY_VERIFY_WITH_TIMEOUT(sim.logged("in    9600 01 03 00 00 00 01 84 0A"), Deadline);
        QTRY_VERIFY_WITH_TIMEOUT(sim.logged("out   9600 01 03 02 00 04"), Deadline);
    }

    // Bytes sent at another rate are not heard; the module's relays stay as they were.
    void wrongRateIsIgnored()
    {
        SimProcess sim({QStringLiteral("--log")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        RawTerminal line;
        QVERIFY(line.open(sim.path(), B4800));
        QVERIFY(line.write(protocol::AllOnRequest(1).frame));
        // The rate is read when the bytes are taken in, so wait for that before changing it.
        QTRY_VERIFY_WITH_TIMEOUT(sim.logged("in    4800 01 0F"), Deadline);
        QVERIFY(line.setSpeed(B9600));
        QVERIFY(line.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(hexOf(line.received()), hexOf(rtu("01 03 02 00 00")), Deadline);
    }

    // The program may close and reopen the terminal; the module and its relays are still there.
    void reopen()
    {
        SimProcess sim({});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        RawTerminal line;
        QVERIFY(line.open(sim.path(), B9600));
        QVERIFY(line.write(protocol::SwitchRequest(1, 0, true).frame));
        QTRY_COMPARE_WITH_TIMEOUT(line.received().size(), 8, Deadline);
        for (int round = 0; round < 3; ++round) {
            line.close();
            QVERIFY(line.open(sim.path(), B9600));
            line.clear();
            QVERIFY(line.write(protocol::StateRequest(1).frame));
            QTRY_COMPARE_WITH_TIMEOUT(hexOf(line.received()), hexOf(rtu("01 03 02 00 01")),
                                      Deadline);
        }
    }

    // Two modules on one line: each answers the probe, one after the other.
    void probeOnABus()
    {
        SimProcess sim({QStringLiteral("--module"), QStringLiteral("3"), QStringLiteral("--module"),
                        QStringLiteral("200:QV-04")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        RawTerminal line;
        QVERIFY(line.open(sim.path(), B9600));
        QVERIFY(line.write(protocol::AddressProbe().frame));
        QTRY_COMPARE_WITH_TIMEOUT(hexOf(line.received()),
                                  hexOf(rtu("03 03 02 00 03") + rtu("C8 03 02 00 C8")), Deadline);
    }

    // Through the program's own serial port object, at a rate that has no B constant, then at
    // the wrong rate, then after changing the module's rate.
    void serialPortObject()
    {
        SimProcess sim(
            {QStringLiteral("--module"), QStringLiteral("1:QV-08:14400"), QStringLiteral("--log")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        serial::CommPort port;
        QVERIFY(port.setPortName(sim.path()));
        QVERIFY(port.setSettings(QStringLiteral("14400,N,8,1")));
        QCOMPARE(port.open(), serial::OpenResult::Ok);
        QByteArray in;
        const auto received = [&] { return hexOf(in += port.readAll()); };

        const QByteArray on = protocol::SwitchRequest(1, 4, true).frame;
        QVERIFY(port.write(on));
        QTRY_COMPARE_WITH_TIMEOUT(received(), hexOf(on), Deadline);
        in.clear();
        QVERIFY(port.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(received(), hexOf(rtu("01 03 02 00 10")), Deadline);
        in.clear();

        // At 9600 the module hears nothing: the relay stays on.
        QVERIFY(port.setSettings(QStringLiteral("9600 ,N,8,1")));
        QVERIFY(port.write(protocol::AllOffRequest(1).frame));
        QTRY_VERIFY_WITH_TIMEOUT(sim.logged("in    9600 01 0F"), Deadline);
        QVERIFY(port.setSettings(QStringLiteral("14400,N,8,1")));
        QVERIFY(port.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(received(), hexOf(rtu("01 03 02 00 10")), Deadline);
        in.clear();

        // New rate 115200: the echo comes at 14400, then only 115200 is heard.
        const QByteArray setRate = protocol::SetRateRequest(1, 11).frame;
        QVERIFY(port.write(setRate));
        QTRY_COMPARE_WITH_TIMEOUT(received(), hexOf(setRate), Deadline);
        in.clear();
        QVERIFY(port.setSettings(QStringLiteral("115200,N,8,1")));
        QVERIFY(port.write(protocol::ReadRateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(received(), hexOf(rtu("01 03 02 00 0B")), Deadline);
        port.close();
    }

    // The link lives as long as the program; closing its standard input ends it.
    void linkAndInputClose()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("relay"));
        SimProcess sim({QStringLiteral("--link"), link});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());

        RawTerminal line;
        QVERIFY(line.open(link, B9600));
        QVERIFY(line.write(protocol::StateRequest(1).frame));
        QTRY_COMPARE_WITH_TIMEOUT(line.received().size(), 7, Deadline);

        sim.process().closeWriteChannel();
        QTRY_COMPARE_WITH_TIMEOUT(sim.process().state(), QProcess::NotRunning, Deadline);
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    // The noise garbles what the modules hear, the same way for the same seed: a run repeats.
    void noiseRepeatsWithItsSeed()
    {
        const auto heard = [](const QString &seed) {
            SimProcess sim({"--log", "--noise", "10%", "--seed", seed});
            QStringList lines;
            if (!QTest::qWaitFor([&] { return sim.ready(); }, Deadline))
                return lines;
            RawTerminal line;
            if (!line.open(sim.path(), B9600))
                return lines;
            for (int i = 0; i < 12; ++i) {
                line.write(protocol::StateRequest(1).frame);
                // One log line per request heard (they are sent apart, one frame each).
                if (!QTest::qWaitFor([&] { return sim.log().count(" in ") > i; }, Deadline))
                    return lines;
            }
            for (const QByteArray &l : sim.log().split('\n')) {
                const qsizetype at = l.indexOf(" in ");
                if (at >= 0)
                    lines << QString::fromLatin1(l.mid(at + 4).simplified());
            }
            return lines;
        };
        const QStringList first = heard("7");
        QCOMPARE(first.size(), 12);
        QCOMPARE(heard("7"), first);
        QVERIFY(heard("8") != first);
        const QString clean = QStringLiteral("9600 ") + hexOf(protocol::StateRequest(1).frame);
        QVERIFY(first.count(clean) < 12); // some garbled
        QVERIFY(first.count(clean) > 0);  // not all
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("address 0") << QStringList{"--module", "0"};
        QTest::newRow("unknown model") << QStringList{"--module", "1:QV-16"};
        QTest::newRow("unknown option") << QStringList{"--fast"};
        QTest::newRow("noise above 100%") << QStringList{"--noise", "101%"};
        QTest::newRow("noise not a share") << QStringList{"--noise", "some"};
        QTest::newRow("noise on a network port") << QStringList{"--tcp", "0", "--noise", "5%"};
        QTest::newRow("babble on a network port") << QStringList{"--mbtcp", "0", "--babble"};
        QTest::newRow("negative seed") << QStringList{"--seed", "-1"};
    }
    void badArguments()
    {
        QFETCH(QStringList, arguments);
        SimProcess sim(arguments);
        QTRY_COMPARE_WITH_TIMEOUT(sim.process().state(), QProcess::NotRunning, Deadline);
        QCOMPARE(sim.process().exitCode(), 2);
        QVERIFY(sim.process().readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_simpty.moc"
