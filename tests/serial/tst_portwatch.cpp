#include "serial/portwatch.h"

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace serial;

namespace {

// The machine's ports as the test sets them; each call counts as one enumeration.
struct FakeMachine
{
    QStringList ports;
    int extraDevices = 0; // serial devices without a usable name
    int enumerations = 0;

    PortEnumerator enumerator()
    {
        return PortEnumerator([this] {
            ++enumerations;
            return PortListing{ports, int(ports.size()) + extraDevices};
        });
    }
};

} // namespace

class TestPortWatch : public QObject
{
    Q_OBJECT
private slots:
    void decide_data()
    {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("close");
        QTest::addColumn<QString>("selection");
        QTest::newRow("open port pulled")
            << QStringList{"COM4"} << "COM3" << true << false << true << "COM4";
        QTest::newRow("COM1 pulled, COM10 stays")
            << QStringList{"COM10"} << "COM1" << true << false << true << "COM10";
        QTest::newRow("ttyUSB1 pulled, ttyUSB10 stays")
            << QStringList{"/dev/ttyUSB10"} << "/dev/ttyUSB1" << true << false << true
            << "/dev/ttyUSB10";
        QTest::newRow("COM10 pulled, COM1 stays")
            << QStringList{"COM1"} << "COM10" << true << false << true << "COM1";
        QTest::newRow("second adapter plugged")
            << QStringList{"COM3", "COM5"} << "COM3" << true << true << false << "COM3";
        QTest::newRow("closed port keeps its selection")
            << QStringList{"COM1", "COM3"} << "COM3" << false << true << false << "COM3";
        QTest::newRow("closed port pulled")
            << QStringList{"COM1"} << "COM3" << false << false << false << "COM1";
        QTest::newRow("no ports at all") << QStringList{} << "COM3" << true << false << true << "";
        QTest::newRow("nothing selected")
            << QStringList{"COM1"} << "" << false << false << false << "COM1";
        QTest::newRow("nothing selected and nothing listed")
            << QStringList{} << "" << false << false << false << "";
    }
    void decide()
    {
        QFETCH(QStringList, ports);
        QFETCH(QString, selected);
        QFETCH(bool, open);
        QFETCH(bool, present);
        QFETCH(bool, close);
        QFETCH(QString, selection);
        const WatchUpdate u = DecideWatchUpdate({ports, int(ports.size())}, selected, open);
        QCOMPARE(u.ports, ports);
        QCOMPARE(u.selectedPresent, present);
        QCOMPARE(u.closePort, close);
        QCOMPARE(u.selection, selection);
    }

    void idleUntilNotice()
    {
        FakeMachine machine{{"COM3"}};
        PortWatch watch(
            machine.enumerator(), [] { return QString(); }, [] { return false; });
        QVERIFY(!watch.isPolling());
        watch.notice();
        QVERIFY(watch.isPolling());
        watch.notice(); // a second notice while polling changes nothing
        QVERIFY(watch.isPolling());
    }

    void pullTheOpenPort()
    {
        FakeMachine machine{{"COM3", "COM4"}};
        bool open = true;
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("COM3"); }, [&open] { return open; });
        watch.setListedCount(2);
        QSignalSpy changed(&watch, &PortWatch::changed);

        watch.notice();
        watch.tick(); // the removal notice may come before the port is gone
        QCOMPARE(changed.count(), 0);
        QVERIFY(watch.isPolling());

        machine.ports = {"COM4"};
        watch.tick();
        QCOMPARE(changed.count(), 1);
        const auto u = changed.first().first().value<WatchUpdate>();
        QVERIFY(u.closePort);
        QCOMPARE(u.selection, QStringLiteral("COM4"));
        QCOMPARE(watch.listedCount(), 1);
        QVERIFY(!watch.isPolling());
    }

    void plugASecondAdapterKeepsTheOpenPort()
    {
        FakeMachine machine{{"COM3"}};
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("COM3"); }, [] { return true; });
        watch.setListedCount(1);
        QSignalSpy changed(&watch, &PortWatch::changed);
        machine.ports = {"COM3", "COM10"};
        watch.notice();
        watch.tick();
        QCOMPARE(changed.count(), 1);
        const auto u = changed.first().first().value<WatchUpdate>();
        QVERIFY(!u.closePort);
        QVERIFY(u.selectedPresent);
        QCOMPARE(u.ports, (QStringList{"COM3", "COM10"}));
        QCOMPARE(u.selection, QStringLiteral("COM3"));
    }

    void exactNameDecidesWhenCountsChange()
    {
        // COM1 (open) and COM10 present; COM1 pulled. A substring test would keep COM1 open.
        FakeMachine machine{{"COM1", "COM10"}};
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("COM1"); }, [] { return true; });
        watch.setListedCount(2);
        QSignalSpy changed(&watch, &PortWatch::changed);
        machine.ports = {"COM10"};
        watch.notice();
        watch.tick();
        QCOMPARE(changed.count(), 1);
        QVERIFY(changed.first().first().value<WatchUpdate>().closePort);
    }

    void nonSerialDeviceKeepsPolling()
    {
        FakeMachine machine{{"COM3"}};
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("COM3"); }, [] { return true; });
        watch.setListedCount(1);
        watch.setInterval(5);
        QSignalSpy changed(&watch, &PortWatch::changed);
        watch.notice(); // a USB stick arrived
        QTRY_VERIFY(machine.enumerations >= 3);
        QVERIFY(watch.isPolling());
        QCOMPARE(changed.count(), 0);

        // A serial adapter arrives later: one update, then idle.
        machine.ports << "COM7";
        QTRY_COMPARE(changed.count(), 1);
        QVERIFY(!watch.isPolling());
        const int enumerations = machine.enumerations;
        QTest::qWait(30);
        QCOMPARE(machine.enumerations, enumerations);
        QCOMPARE(changed.count(), 1);
    }

    void noPortsAtAll()
    {
        FakeMachine machine{{"/dev/ttyUSB0"}};
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("/dev/ttyUSB0"); },
            [] { return false; });
        watch.setListedCount(1);
        QSignalSpy changed(&watch, &PortWatch::changed);
        machine.ports.clear();
        watch.notice();
        watch.tick();
        QCOMPARE(changed.count(), 1);
        const auto u = changed.first().first().value<WatchUpdate>();
        QVERIFY(u.ports.isEmpty());
        QVERIFY(u.selection.isEmpty());
        QVERIFY(!u.closePort); // it was not open
    }

    void countOfUnnamedDevicesCounts()
    {
        // A device counted without a usable name still changes the count.
        FakeMachine machine{{"COM3"}};
        PortWatch watch(
            machine.enumerator(), [] { return QStringLiteral("COM3"); }, [] { return true; });
        watch.setListedCount(1);
        QSignalSpy changed(&watch, &PortWatch::changed);
        machine.extraDevices = 1;
        watch.notice();
        watch.tick();
        QCOMPARE(changed.count(), 1);
        QVERIFY(!changed.first().first().value<WatchUpdate>().closePort);
    }

    void everySourceStartsAndStops_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("udev") << "udev";
        QTest::newRow("dev-directory") << "dev-directory";
        QTest::newRow("windows") << "windows";
        QTest::newRow("none") << "none";
    }
    void everySourceStartsAndStops()
    {
        QFETCH(QString, name);
        auto notices = DeviceNotices::CreateSource(name);
        if (!notices)
            QSKIP("not available here");
        QCOMPARE(notices->sourceName(), name);
        QVERIFY(!DeviceNotices::CreateSource(QStringLiteral("no such source")));
    }

    void noticesFromThisMachine()
    {
        auto notices = DeviceNotices::Create();
        QVERIFY(notices);
        const QString source = notices->sourceName();
        qInfo("device notices from: %s", qPrintable(source));
        QVERIFY(source == "udev" || source == "dev-directory" || source == "windows");
        if (source != "dev-directory")
            return;
        QSignalSpy changed(notices.get(), &DeviceNotices::deviceChanged);
        QFile node(QStringLiteral("/dev/quorvane-watch-test"));
        if (!node.open(QIODevice::WriteOnly))
            QSKIP("cannot create a node in /dev here");
        node.close();
        const auto removeNode = qScopeGuard([&node] { node.remove(); });
        QTRY_VERIFY(changed.count() >= 1);
    }
};

QTEST_GUILESS_MAIN(TestPortWatch)
#include "tst_portwatch.moc"
