// The line check: what each pattern of readings is judged to be, the adapter read from a device
// tree made in a temporary folder, and the readings gathered from quorvane-sim with line
// counters handed in by the test.

#include "linecheck/runner.h"
#include "linecheck/system.h"
#include "linecheck/verdicts.h"
#include "modbus/crc.h"
#include "tests/support/simprocess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace linecheck;

using Change = std::function<void(Readings &)>;
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(linecheck::Check)
Q_DECLARE_METATYPE(linecheck::Level)
Q_DECLARE_METATYPE(linecheck::Hint)

namespace {

constexpr int Deadline = 20000;

// A line where everything is as it should be: an FTDI adapter at 1 ms, no echo, nothing unasked,
// the module at 9600 answering all twenty reads in 12 ms.
Readings Clean()
{
    Readings r;
    r.port.name = QStringLiteral("/dev/ttyUSB0");
    r.adapter.usb = true;
    r.adapter.vendorId = QStringLiteral("0403");
    r.adapter.productId = QStringLiteral("6001");
    r.adapter.driver = QStringLiteral("ftdi_sio");
    r.adapter.latencyMs = 1;
    r.counters.before = Counters{};
    r.counters.after = Counters{};
    r.idle = IdleReading{500, 0, {}};
    r.echo = false;
    r.exchanged = true;
    r.found = bus::LineSettings{9600};
    r.tries = {RateTry{{9600}, 1, 0, 0, true}};
    ReadSeries s;
    s.settings = {9600};
    s.asked = 20;
    s.expectedMs = 25;
    for (int i = 0; i < 20; ++i)
        s.timesMs << 12;
    r.reads = {s};
    return r;
}

ReadSeries Series(qint32 rate, int asked, int garbled, int silences)
{
    ReadSeries s;
    s.settings = {rate};
    s.asked = asked;
    s.garbled = garbled;
    s.silences = silences;
    s.expectedMs = 25;
    for (int i = 0; i < asked - garbled - silences; ++i)
        s.timesMs << 12;
    return s;
}

QByteArray StateAnswer(char address)
{
    QByteArray answer = QByteArray::fromHex("0003020005");
    answer[0] = address;
    return modbus::WithCrc(answer);
}

// Counters a test hands in: each read gives the next of a list.
class ListedCounters : public CounterReader
{
public:
    QList<std::optional<Counters>> values;
    QStringList devices;
    std::optional<Counters> read(const QString &device, QString *why) override
    {
        devices << device;
        if (values.isEmpty()) {
            *why = QStringLiteral("none left");
            return std::nullopt;
        }
        return values.takeFirst();
    }
    bool available() const override { return true; }
};

bool Link(const QString &target, const QString &link)
{
    QDir().mkpath(QFileInfo(link).path());
    return QFile::link(target, link);
}

bool Write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class TestLineCheck : public QObject
{
    Q_OBJECT
private slots:
    void cleanLineHasNothingWorseThanPass()
    {
        const QList<Finding> findings = Judge(Clean());
        for (const Finding &f : findings)
            QVERIFY2(f.level == Level::Pass,
                     qPrintable(CheckKey(f.check) + " " + LevelKey(f.level)));
        QCOMPARE(Worst(findings), Level::Pass);
        QVERIFY(EnglishSummary(findings).startsWith(QLatin1String("OK")));
    }

    // Each row changes the clean line in one way and names the finding it must give.
    void verdicts_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<Check>("check");
        QTest::addColumn<Level>("level");
        QTest::addColumn<Hint>("hint");

        QTest::newRow("port missing") << Change([](Readings &r) {
            r.port.exists = false;
            r.port.open = serial::OpenResult::NoSuchPort;
        }) << Check::Port << Level::Fault
                                      << Hint::NoSuchPort;
        QTest::newRow("no permission")
            << Change([](Readings &r) { r.port.open = serial::OpenResult::NoPermission; })
            << Check::Port << Level::Fault << Hint::Dialout;
        QTest::newRow("port busy")
            << Change([](Readings &r) { r.port.open = serial::OpenResult::Busy; }) << Check::Port
            << Level::Fault << Hint::CloseHolder;
        QTest::newRow("held by ModemManager") << Change([](Readings &r) {
            r.port.holders = {{812, QStringLiteral("ModemManager")}};
        }) << Check::Holders << Level::Fault << Hint::StopModemManager;
        QTest::newRow("held by brltty") << Change([](Readings &r) {
            r.port.holders = {{640, QStringLiteral("brltty")}};
        }) << Check::Holders << Level::Fault
                                        << Hint::StopBrltty;
        QTest::newRow("held by brltty and ModemManager") << Change([](Readings &r) {
            r.port.holders = {{640, QStringLiteral("brltty")},
                              {812, QStringLiteral("ModemManager")}};
        }) << Check::Holders << Level::Fault << Hint::StopModemManager;
        QTest::newRow("held by a terminal program") << Change([](Readings &r) {
            r.port.holders = {{4242, QStringLiteral("minicom")}};
        }) << Check::Holders << Level::Fault << Hint::CloseHolder;
        QTest::newRow("holders unknown here")
            << Change([](Readings &r) { r.port.holdersKnown = false; }) << Check::Holders
            << Level::NotAvailable << Hint::None;

        QTest::newRow("latency timer 16 ms")
            << Change([](Readings &r) { r.adapter.latencyMs = 16; }) << Check::Latency
            << Level::Warning << Hint::LatencyRule;
        QTest::newRow("latency timer 2 ms")
            << Change([](Readings &r) { r.adapter.latencyMs = 2; }) << Check::Latency
            << Level::Warning << Hint::LatencyRule;
        QTest::newRow("no latency timer")
            << Change([](Readings &r) { r.adapter.latencyMs.reset(); }) << Check::Latency
            << Level::Skipped << Hint::None;
        QTest::newRow("no device tree here") << Change([](Readings &r) {
            r.adapter = {};
            r.adapter.known = false;
        }) << Check::Latency << Level::NotAvailable
                                             << Hint::None;

        QTest::newRow("echo on") << Change([](Readings &r) { r.echo = true; }) << Check::Echo
                                 << Level::Warning << Hint::EchoDrop;
        QTest::newRow("echo unknown") << Change([](Readings &r) { r.echo.reset(); }) << Check::Echo
                                      << Level::Warning << Hint::None;
        QTest::newRow("echo not asked") << Change([](Readings &r) {
            r.echo.reset();
            r.exchanged = false;
        }) << Check::Echo << Level::Skipped
                                        << Hint::None;

        QTest::newRow("framing errors grew") << Change([](Readings &r) {
            r.counters.before = Counters{5, 0, 0, 0, 0};
            r.counters.after = Counters{9, 0, 0, 0, 0};
        }) << Check::Counters << Level::Fault << Hint::FormatMismatch;
        QTest::newRow("parity errors grew") << Change([](Readings &r) {
            r.counters.after = Counters{0, 2, 0, 0, 0};
        }) << Check::Counters << Level::Fault
                                            << Hint::FormatMismatch;
        QTest::newRow("breaks grew") << Change([](Readings &r) {
            r.counters.after = Counters{3, 0, 0, 1, 0};
        }) << Check::Counters << Level::Fault
                                     << Hint::LineBreak;
        QTest::newRow("overruns grew") << Change([](Readings &r) {
            r.counters.after = Counters{0, 0, 0, 0, 4};
        }) << Check::Counters << Level::Warning
                                       << Hint::Overrun;
        QTest::newRow("old errors only") << Change([](Readings &r) {
            r.counters.before = Counters{7, 3, 2, 1, 1};
            r.counters.after = Counters{7, 3, 2, 1, 1};
        }) << Check::Counters << Level::Pass
                                         << Hint::None;
        QTest::newRow("counters started over") << Change([](Readings &r) {
            r.counters.before = Counters{7, 0, 0, 0, 0};
            r.counters.after = Counters{0, 0, 0, 0, 0};
        }) << Check::Counters << Level::Skipped << Hint::None;
        QTest::newRow("driver keeps no counters") << Change([](Readings &r) {
            r.counters.before.reset();
            r.counters.after.reset();
        }) << Check::Counters << Level::Skipped << Hint::None;

        QTest::newRow("idle: another master's frames") << Change([](Readings &r) {
            const QByteArray talk = QByteArray::fromHex("7A") + StateAnswer(9) +
                                    modbus::WithCrc(QByteArray::fromHex("F103000A0001"));
            r.idle = IdleReading{500, talk.size(), talk};
        }) << Check::Idle << Level::Fault << Hint::SecondTalker;
        QTest::newRow("idle: bytes without a frame") << Change([](Readings &r) {
            const QByteArray noise = QByteArray::fromHex("00FF00FFE0F81C");
            r.idle = IdleReading{500, noise.size(), noise};
        }) << Check::Idle << Level::Fault << Hint::Noise;

        QTest::newRow("module garbled at every rate") << Change([](Readings &r) {
            r.found.reset();
            r.reads.clear();
            r.tries = {RateTry{{9600}, 3, 3, 0, false}, RateTry{{19200}, 1, 0, 1, false},
                       RateTry{{4800}, 3, 2, 1, false}};
        }) << Check::Module << Level::Fault << Hint::SwapAB;
        QTest::newRow("module silent at every rate") << Change([](Readings &r) {
            r.found.reset();
            r.reads.clear();
            r.tries = {RateTry{{9600}, 3, 0, 3, false}, RateTry{{19200}, 1, 0, 1, false}};
        }) << Check::Module << Level::Fault << Hint::NoModule;

        QTest::newRow("every read garbled")
            << Change([](Readings &r) { r.reads = {Series(9600, 20, 20, 0)}; }) << Check::Errors
            << Level::Fault << Hint::SwapAB;
        QTest::newRow("noise: 6 of 20 garbled")
            << Change([](Readings &r) { r.reads = {Series(9600, 20, 6, 4)}; }) << Check::Errors
            << Level::Fault << Hint::Noise;
        QTest::newRow("noise: 1 of 40 garbled")
            << Change([](Readings &r) { r.reads = {Series(9600, 40, 1, 0)}; }) << Check::Errors
            << Level::Warning << Hint::Noise;
        QTest::newRow("silences only")
            << Change([](Readings &r) { r.reads = {Series(9600, 20, 0, 3)}; }) << Check::Errors
            << Level::Fault << Hint::Silences;
        QTest::newRow("garbled while another master talks") << Change([](Readings &r) {
            const QByteArray talk = StateAnswer(9);
            r.idle = IdleReading{500, talk.size(), talk};
            r.reads = {Series(9600, 20, 3, 0)};
        }) << Check::Errors << Level::Fault << Hint::SecondTalker;
        QTest::newRow("errors growing with the rate") << Change([](Readings &r) {
            r.reads = {Series(38400, 20, 6, 0), Series(9600, 20, 0, 0), Series(19200, 20, 2, 0)};
        }) << Check::Errors << Level::Fault << Hint::Termination;
        QTest::newRow("errors falling with the rate") << Change([](Readings &r) {
            r.reads = {Series(9600, 20, 6, 0), Series(19200, 20, 2, 0), Series(38400, 20, 0, 0)};
        }) << Check::Errors << Level::Fault << Hint::Noise;

        QTest::newRow("answers slower than the line") << Change([](Readings &r) {
            for (double &t : r.reads.first().timesMs)
                t = 60;
        }) << Check::Times << Level::Warning << Hint::SlowAnswers;
        QTest::newRow("one slow answer of twenty")
            << Change([](Readings &r) { r.reads.first().timesMs.last() = 300; }) << Check::Times
            << Level::Pass << Hint::None;
    }

    void verdicts()
    {
        QFETCH(Change, change);
        QFETCH(Check, check);
        QFETCH(Level, level);
        QFETCH(Hint, hint);
        Readings r = Clean();
        change(r);
        const QList<Finding> findings = Judge(r);
        const auto it = std::find_if(findings.cbegin(), findings.cend(),
                                     [&](const Finding &f) { return f.check == check; });
        QVERIFY(it != findings.cend());
        QCOMPARE(LevelKey(it->level), LevelKey(level));
        QCOMPARE(HintKey(it->hint), HintKey(hint));
        // Every finding worse than a pass is in the summary, and a fault leads it.
        if (level == Level::Fault) {
            QCOMPARE(Worst(findings), Level::Fault);
            QVERIFY(EnglishSummary(findings).startsWith(QLatin1String("FAULT")));
            QVERIFY(EnglishSummary(findings).contains(EnglishFigure(*it)));
        }
        QVERIFY(!EnglishFigure(*it).isEmpty());
        QCOMPARE(EnglishAdvice(*it).isEmpty(), hint == Hint::None);
    }

    // The permission hint names the device's own group, or dialout for root's devices.
    void permissionGroup_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("named");
        QTest::newRow("dialout") << "dialout"
                                 << "dialout";
        QTest::newRow("uucp") << "uucp"
                              << "uucp";
        QTest::newRow("root") << "root"
                              << "dialout";
        QTest::newRow("unknown") << ""
                                 << "dialout";
    }
    void permissionGroup()
    {
        QFETCH(QString, group);
        QFETCH(QString, named);
        Readings r = Clean();
        r.port.open = serial::OpenResult::NoPermission;
        r.port.group = group;
        const Finding port = Judge(r).first();
        QVERIFY(EnglishAdvice(port).contains(QStringLiteral("-aG %1 ").arg(named)));
    }

    // The adapter as a device tree describes it: a folder made like /sys, the device node's name
    // looked up under class/tty.
    void adapter_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<int>("latency"); // -1: none
        QTest::newRow("FTDI at 16 ms") << "ttyUSB0" << true << "0403"
                                       << "ftdi_sio" << 16;
        QTest::newRow("link to the FTDI") << "by-id/usb-FTDI_FT232R-if00-port0" << true << "0403"
                                          << "ftdi_sio" << 16;
        QTest::newRow("CH340") << "ttyUSB1" << true << "1a86"
                               << "ch341-uart" << -1;
        QTest::newRow("CDC ACM") << "ttyACM0" << true << "2e8a"
                                 << "cdc_acm" << -1;
        QTest::newRow("built-in port") << "ttyS0" << false << ""
                                       << "serial8250" << -1;
        QTest::newRow("pseudo-terminal") << "pts7" << false << ""
                                         << "" << -1;
    }
    void adapter()
    {
        QFETCH(QString, node);
        QFETCH(bool, usb);
        QFETCH(QString, vendor);
        QFETCH(QString, driver);
        QFETCH(int, latency);
#if !defined(Q_OS_LINUX)
        QSKIP("the device tree is Linux's");
#endif
        QTemporaryDir root;
        const QString r = root.path();
        const QString usbDev = r + "/sys/devices/pci0000:00/usb1/1-1";
        // An FTDI: the tty under its usb-serial port, under the interface, under the device.
        QVERIFY(Write(usbDev + "/idVendor", "0403\n") && Write(usbDev + "/idProduct", "6001\n"));
        QVERIFY(Write(usbDev + "/manufacturer", "FTDI\n") &&
                Write(usbDev + "/product", "FT232R\n"));
        QVERIFY(Write(usbDev + "/1-1:1.0/ttyUSB0/latency_timer", "16\n"));
        QVERIFY(QDir().mkpath(r + "/sys/bus/usb-serial/drivers/ftdi_sio"));
        QVERIFY(Link(usbDev + "/1-1:1.0/ttyUSB0", r + "/sys/class/tty/ttyUSB0/device"));
        QVERIFY(
            Link(r + "/sys/bus/usb-serial/drivers/ftdi_sio", usbDev + "/1-1:1.0/ttyUSB0/driver"));
        // A CH340 on another port, no latency timer.
        const QString ch = r + "/sys/devices/pci0000:00/usb1/1-2";
        QVERIFY(Write(ch + "/idVendor", "1a86\n") && Write(ch + "/idProduct", "7523\n"));
        QVERIFY(QDir().mkpath(ch + "/1-2:1.0/ttyUSB1"));
        QVERIFY(QDir().mkpath(r + "/sys/bus/usb-serial/drivers/ch341-uart"));
        QVERIFY(Link(ch + "/1-2:1.0/ttyUSB1", r + "/sys/class/tty/ttyUSB1/device"));
        QVERIFY(Link(r + "/sys/bus/usb-serial/drivers/ch341-uart", ch + "/1-2:1.0/ttyUSB1/driver"));
        // A CDC ACM device: the tty's device is the interface itself.
        const QString acm = r + "/sys/devices/pci0000:00/usb1/1-3";
        QVERIFY(Write(acm + "/idVendor", "2e8a\n") && Write(acm + "/idProduct", "000a\n"));
        QVERIFY(QDir().mkpath(acm + "/1-3:1.0"));
        QVERIFY(QDir().mkpath(r + "/sys/bus/usb/drivers/cdc_acm"));
        QVERIFY(Link(acm + "/1-3:1.0", r + "/sys/class/tty/ttyACM0/device"));
        QVERIFY(Link(r + "/sys/bus/usb/drivers/cdc_acm", acm + "/1-3:1.0/driver"));
        // A built-in port: a platform device, no vendor anywhere above it.
        const QString platform = r + "/sys/devices/platform/serial8250";
        QVERIFY(QDir().mkpath(platform + "/tty/ttyS0"));
        QVERIFY(QDir().mkpath(r + "/sys/bus/platform/drivers/serial8250"));
        QVERIFY(Link(platform, r + "/sys/class/tty/ttyS0/device"));
        QVERIFY(Link(r + "/sys/bus/platform/drivers/serial8250", platform + "/driver"));

        // The device nodes: plain files named as the nodes, and a link as udev makes one.
        const QString dev = r + "/dev";
        for (const char *name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "pts7"})
            QVERIFY(Write(dev + "/" + name, ""));
        QVERIFY(Link(dev + "/ttyUSB0", dev + "/by-id/usb-FTDI_FT232R-if00-port0"));

        const AdapterReading a = ReadAdapter(dev + "/" + node, r);
        QVERIFY(a.known);
        QCOMPARE(a.usb, usb);
        QCOMPARE(a.vendorId, vendor);
        QCOMPARE(a.driver, driver);
        QCOMPARE(a.latencyMs.value_or(-1), latency);
    }

    // The runner reads the counters before it opens the port and after it closed it, of the port
    // asked for; what grew between is the line's.
    void runnerReadsCountersAround()
    {
        SimProcess sim({QStringLiteral("--module"), QStringLiteral("4")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        ListedCounters counters;
        counters.values = {Counters{1, 0, 0, 0, 0}, Counters{1, 0, 0, 2, 0}};
        LineCheck::Options options;
        options.port = sim.path();
        options.address = 4;
        options.reads = 5;
        options.idleMs = 100;
        options.counters = &counters;
        options.procRoot = QStringLiteral("/nonexistent");
        LineCheck check(options);
        bool finished = false;
        connect(&check, &LineCheck::finished, this, [&] { finished = true; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, Deadline);
        QCOMPARE(counters.devices, QStringList({sim.path(), sim.path()}));
        const Readings &r = check.readings();
        QVERIFY(r.port.opened());
        QCOMPARE(r.found.value_or(bus::LineSettings{0}).rate, 9600);
        QCOMPARE(r.reads.size(), 1);
        QCOMPARE(r.reads.first().asked, 5);
        QCOMPARE(r.reads.first().timesMs.size(), 5);
        const Finding counted = Judge(r).at(int(Check::Counters));
        QCOMPARE(counted.level, Level::Fault);
        QCOMPARE(counted.hint, Hint::LineBreak);
    }

    // Stopped during the reads: it ends after the read under way, with what it read, and lets go
    // of the port.
    void stopEndsAfterTheReadUnderWay()
    {
        SimProcess sim({});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        ListedCounters counters;
        LineCheck::Options options;
        options.port = sim.path();
        options.reads = 10000;
        options.idleMs = 50;
        options.counters = &counters;
        LineCheck check(options);
        bool finished = false;
        connect(&check, &LineCheck::finished, this, [&] { finished = true; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(!check.readings().reads.isEmpty() &&
                                     check.readings().reads.first().asked >= 3,
                                 Deadline);
        check.stop();
        QTRY_VERIFY_WITH_TIMEOUT(finished, Deadline);
        QVERIFY(!check.running());
        const ReadSeries &series = check.readings().reads.first();
        QVERIFY(series.asked < 10000);
        QCOMPARE(series.timesMs.size(), series.asked);
        // The next check opens the same port again.
        finished = false;
        options.reads = 2;
        LineCheck again(options);
        connect(&again, &LineCheck::finished, this, [&] { finished = true; });
        again.start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, Deadline);
        QVERIFY(again.readings().port.opened());
        QCOMPARE(again.readings().reads.first().timesMs.size(), 2);
    }

    // A module at another rate than the one asked for is found at its own, after the rates
    // before it stayed silent.
    void runnerFindsAnotherRate()
    {
        SimProcess sim({QStringLiteral("--module"), QStringLiteral("1:QV-04:2400")});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        ListedCounters counters;
        LineCheck::Options options;
        options.port = sim.path();
        options.settings = {19200};
        options.tries = {{9600}, {2400}, {1200}};
        options.reads = 3;
        options.idleMs = 50;
        options.counters = &counters;
        LineCheck check(options);
        bool finished = false;
        connect(&check, &LineCheck::finished, this, [&] { finished = true; });
        check.start();
        QTRY_VERIFY_WITH_TIMEOUT(finished, Deadline);
        const Readings &r = check.readings();
        QCOMPARE(r.found.value_or(bus::LineSettings{0}).rate, 2400);
        QCOMPARE(r.tries.size(), 3); // 19200 and 9600 asked, 1200 never
        QVERIFY(!r.tries.at(0).answered && r.tries.at(0).silent > 0);
        QCOMPARE(r.tries.at(1).asked, 1);
        QCOMPARE(r.echo, std::optional<bool>(false));
    }
};

QTEST_GUILESS_MAIN(TestLineCheck)
#include "tst_linecheck.moc"
