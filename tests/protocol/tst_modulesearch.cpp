// The step decisions of the address scan and the baud-rate search.
#include "modbus/timing.h"
#include "protocol/baud.h"
#include "protocol/modulesearch.h"

#include <QTest>

using namespace protocol;
using modbus::WireTime;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(protocol::ScanStep)
Q_DECLARE_METATYPE(protocol::BaudSearchStep::Outcome)
Q_DECLARE_METATYPE(protocol::BaudCheck::Outcome)

namespace {

// Ticks of the given length until a step may send again after one went out at the rate.
int ticksUntilNextScanRequest(qint32 rate, std::chrono::milliseconds tick)
{
    ScanInputs in;
    in.portOpen = true;
    in.counter = 2;
    in.lastRate = rate;
    for (int ticks = 1; ticks < 1000; ++ticks) {
        in.sinceLastRequest = tick * ticks;
        if (DecideScanStep(in) == ScanStep::Send)
            return ticks;
    }
    return -1;
}

} // namespace

class TestModuleSearch : public QObject
{
    Q_OBJECT
private slots:
    void scanStep_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<qint64>("counter");
        QTest::addColumn<bool>("collecting");
        QTest::addColumn<int>("sinceMs"); // -1: nothing sent yet
        QTest::addColumn<int>("rate");
        QTest::addColumn<ScanStep>("step");
        QTest::newRow("first step") << true << qint64(1) << false << -1 << 9600 << ScanStep::Send;
        QTest::newRow("closed, first step")
            << false << qint64(1) << false << -1 << 9600 << ScanStep::PortClosed;
        QTest::newRow("closed while waiting")
            << false << qint64(7) << true << 1 << 300 << ScanStep::PortClosed;
        QTest::newRow("next tick at 9600")
            << true << qint64(2) << false << 35 << 9600 << ScanStep::Send;
        QTest::newRow("reply being gathered")
            << true << qint64(2) << true << 500 << 9600 << ScanStep::Wait;
        QTest::newRow("300 baud, answer still possible")
            << true << qint64(9) << false << 480 << 300 << ScanStep::Wait;
        QTest::newRow("300 baud, line free")
            << true << qint64(9) << false << 530 << 300 << ScanStep::Send;
        QTest::newRow("after 255: last answer may come")
            << true << qint64(256) << false << 100 << 1200 << ScanStep::Wait;
        QTest::newRow("after 255: last answer gathered")
            << true << qint64(256) << true << 400 << 1200 << ScanStep::Wait;
        QTest::newRow("after 255: done")
            << true << qint64(256) << false << 400 << 1200 << ScanStep::Finish;
        QTest::newRow("counter 0") << true << qint64(0) << false << -1 << 9600 << ScanStep::Finish;
    }
    void scanStep()
    {
        QFETCH(bool, open);
        QFETCH(qint64, counter);
        QFETCH(bool, collecting);
        QFETCH(int, sinceMs);
        QFETCH(int, rate);
        QFETCH(ScanStep, step);
        ScanInputs in;
        in.portOpen = open;
        in.counter = counter;
        in.collecting = collecting;
        if (sinceMs >= 0)
            in.sinceLastRequest = std::chrono::milliseconds(sinceMs);
        in.lastRate = rate;
        QCOMPARE(DecideScanStep(in), step);
    }

    // At every rate the next request waits until this one and its answer have both passed the
    // wire; from 9600 baud up that costs no tick at the scan's own pace.
    void scanPacing_data()
    {
        QTest::addColumn<int>("rate");
        for (int code = 0; code < BaudCodeCount; ++code) {
            const qint32 rate = *BaudRateOfCode(code);
            QTest::addRow("%d", rate) << rate;
        }
    }
    void scanPacing()
    {
        QFETCH(int, rate);
        const int ticks = ticksUntilNextScanRequest(rate, ScanTick);
        QVERIFY(ticks >= 1);
        QVERIFY(ScanTick * ticks >= WireTime(8, rate) + WireTime(7, rate) + ModuleTurnaround);
        if (rate >= 9600)
            QCOMPARE(ticks, 1);
        else
            QVERIFY(ticks > 1);
    }

    void baudSearchStep_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("index");
        QTest::addColumn<BaudSearchStep::Outcome>("outcome");
        QTest::addColumn<int>("next");
        QTest::addColumn<QString>("settings");
        using O = BaudSearchStep::Outcome;
        QTest::newRow("first rate") << true << 0 << O::Probe << 0 << "300,N,8,1";
        QTest::newRow("2400") << true << 3 << O::Probe << 3 << "2400,N,8,1";
        QTest::newRow("last rate") << true << 11 << O::Probe << 11 << "115200,N,8,1";
        QTest::newRow("all tried") << true << 12 << O::Exhausted << 0 << "";
        QTest::newRow("closed keeps the position") << false << 4 << O::Stop << 4 << "";
    }
    void baudSearchStep()
    {
        QFETCH(bool, open);
        QFETCH(int, index);
        QFETCH(BaudSearchStep::Outcome, outcome);
        QFETCH(int, next);
        QFETCH(QString, settings);
        const BaudSearchStep step = DecideBaudSearchStep(open, index);
        QCOMPARE(step.outcome, outcome);
        QCOMPARE(step.nextIndex, next);
        QCOMPARE(step.settingsText, settings);
    }

    void baudCheck_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("received");
        QTest::addColumn<bool>("collecting");
        QTest::addColumn<int>("sinceMs");
        QTest::addColumn<BaudCheck::Outcome>("outcome");
        QTest::addColumn<int>("next");
        using O = BaudCheck::Outcome;
        // index: 0 300, 2 1200, 3 2400, 5 9600, 11 115200
        QTest::newRow("9600 answered") << 5 << true << false << 50 << O::Found << 0;
        QTest::newRow("9600 silent") << 5 << false << false << 50 << O::NextRate << 6;
        QTest::newRow("9600 being gathered") << 5 << false << true << 50 << O::Wait << 5;
        QTest::newRow("1200 after 100 ms") << 2 << false << false << 100 << O::Wait << 2;
        QTest::newRow("1200 after 150 ms") << 2 << false << false << 150 << O::NextRate << 3;
        QTest::newRow("300 after 400 ms") << 0 << false << false << 400 << O::Wait << 0;
        QTest::newRow("300 after 500 ms") << 0 << false << false << 500 << O::NextRate << 1;
        QTest::newRow("115200 silent") << 11 << false << false << 50 << O::NextRate << 12;
    }
    void baudCheck()
    {
        QFETCH(int, index);
        QFETCH(bool, received);
        QFETCH(bool, collecting);
        QFETCH(int, sinceMs);
        QFETCH(BaudCheck::Outcome, outcome);
        QFETCH(int, next);
        BaudCheckInputs in;
        in.index = index;
        in.received = received;
        in.collecting = collecting;
        in.sinceProbe = std::chrono::milliseconds(sinceMs);
        in.baudRate = *BaudRateOfCode(index);
        const BaudCheck check = DecideBaudCheck(in);
        QCOMPARE(check.outcome, outcome);
        QCOMPARE(check.nextIndex, next);
    }
};

QTEST_APPLESS_MAIN(TestModuleSearch)

#include "tst_modulesearch.moc"
