#include "serial/portenumerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace serial;

class TestPortEnumerator : public QObject
{
    Q_OBJECT
private slots:
    void naturalOrder_data()
    {
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("COM numbers")
            << QStringList{"COM10", "COM3", "COM4"} << QStringList{"COM3", "COM4", "COM10"};
        QTest::newRow("COM above 99") << QStringList{"COM100", "COM20", "COM1", "COM9"}
                                      << QStringList{"COM1", "COM9", "COM20", "COM100"};
        QTest::newRow("device paths")
            << QStringList{"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyS0", "/dev/ttyACM0"}
            << QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB2", "/dev/ttyUSB10"};
        QTest::newRow("kinds group together")
            << QStringList{"/dev/ttyUSB1", "/dev/ttyS1", "/dev/ttyUSB0", "/dev/ttyACM1",
                           "/dev/ttyS0"}
            << QStringList{"/dev/ttyACM1", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0",
                           "/dev/ttyUSB1"};
        QTest::newRow("prefix before longer name")
            << QStringList{"COM1a", "COM1"} << QStringList{"COM1", "COM1a"};
        QTest::newRow("leading zeros")
            << QStringList{"COM010", "COM9", "COM10"} << QStringList{"COM9", "COM10", "COM010"};
        QTest::newRow("numbers beyond 64 bits")
            << QStringList{"COM123456789012345678901", "COM99999999999999999999"}
            << QStringList{"COM99999999999999999999", "COM123456789012345678901"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
    }
    void naturalOrder()
    {
        QFETCH(QStringList, found);
        QFETCH(QStringList, listed);
        QCOMPARE(SortedPortNames(found), listed);
        PortEnumerator enumerator([found] { return PortListing{found, int(found.size())}; });
        QCOMPARE(enumerator.list().names, listed);
        QCOMPARE(enumerator.list().deviceCount, found.size());
    }

    void naturalLessIsAStrictOrder()
    {
        const QStringList names{"COM1",        "COM01", "COM10", "COM2", "/dev/ttyS0",
                                "/dev/ttyS00", "a",     "",      "COM"};
        for (const QString &a : names) {
            QVERIFY(!NaturalLess(a, a));
            for (const QString &b : names) {
                if (a != b)
                    QVERIFY2(NaturalLess(a, b) != NaturalLess(b, a), qPrintable(a + " " + b));
            }
        }
    }

    void extraPortsFollowInTheOrderGiven()
    {
        QStringList system{"/dev/ttyUSB0"};
        PortEnumerator enumerator([&system] { return PortListing{system, int(system.size())}; });
        enumerator.setExtraPorts({"/dev/pts/7", "/dev/pts/3", "/dev/ttyUSB0", "/dev/pts/7"});
        QCOMPARE(enumerator.list().names,
                 (QStringList{"/dev/ttyUSB0", "/dev/pts/7", "/dev/pts/3"}));

        // They stay across refreshes, whatever the system lists meanwhile.
        system = {"/dev/ttyUSB1", "/dev/ttyACM0"};
        const PortListing listing = enumerator.list();
        QCOMPARE(listing.names, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB1", "/dev/pts/7",
                                             "/dev/pts/3", "/dev/ttyUSB0"}));
        QCOMPARE(listing.deviceCount, 2);
        system.clear();
        QCOMPARE(enumerator.list().names,
                 (QStringList{"/dev/pts/7", "/dev/pts/3", "/dev/ttyUSB0"}));
        QCOMPARE(enumerator.list().deviceCount, 0);
    }

    void portArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("none") << QStringList{"quorvane"} << QStringList{};
        QTest::newRow("repeated, in order")
            << QStringList{"quorvane", "--port", "/dev/pts/3", "--demo", "--port=/tmp/relay"}
            << QStringList{"/dev/pts/3", "/tmp/relay"};
        QTest::newRow("program name is not an argument")
            << QStringList{"--port", "--port", "/dev/pts/1"} << QStringList{"/dev/pts/1"};
        QTest::newRow("missing path")
            << QStringList{"quorvane", "--port", "--demo", "--port"} << QStringList{};
        QTest::newRow("empty path") << QStringList{"quorvane", "--port="} << QStringList{};
        QTest::newRow("after the end of options")
            << QStringList{"quorvane", "--", "--port", "/dev/pts/1"} << QStringList{};
    }
    void portArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, paths);
        QCOMPARE(PortPathsFromArguments(arguments), paths);
    }

    void sysfsListing()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QDir dir(root.path());
        // name, backed by a device, the uart type attribute (empty: none)
        const struct
        {
            const char *name;
            bool device;
            const char *type;
        } entries[] = {
            {"tty0", false, ""},    // a console
            {"ptmx", false, ""},    // the pseudo-terminal master
            {"ttyS0", true, "4"},   // a real UART
            {"ttyS1", true, "0"},   // a reserved UART without a chip
            {"ttyUSB10", true, ""}, // adapters have no type attribute
            {"ttyUSB2", true, ""},  {"ttyACM0", true, ""},
        };
        for (const auto &e : entries) {
            QVERIFY(dir.mkpath(QString::fromLatin1(e.name)));
            if (e.device)
                QVERIFY(dir.mkpath(QString::fromLatin1(e.name) + "/device"));
            if (*e.type) {
                QFile type(dir.filePath(QString::fromLatin1(e.name) + "/type"));
                QVERIFY(type.open(QIODevice::WriteOnly));
                type.write(QByteArray(e.type) + "\n");
            }
        }
        const PortListing listing = SystemPortsFromSysfs(root.path(), "/dev");
        QCOMPARE(listing.deviceCount, 4);
        QCOMPARE(SortedPortNames(listing.names),
                 (QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));

        QCOMPARE(SystemPortsFromSysfs(root.path() + "/missing").deviceCount, 0);
    }

    // Enumerating this machine: never fails, and the time it takes is reported.
    void thisMachine()
    {
        QElapsedTimer timer;
        timer.start();
        const int rounds = 100;
        PortListing listing;
        for (int i = 0; i < rounds; ++i)
            listing = PortEnumerator().list();
        qInfo("one enumeration: %.3f ms, %d devices: %s",
              double(timer.nsecsElapsed()) / 1e6 / rounds, listing.deviceCount,
              qPrintable(listing.names.join(u' ')));
        QCOMPARE(listing.names.size(), listing.deviceCount);
    }
};

QTEST_GUILESS_MAIN(TestPortEnumerator)
#include "tst_portenumerator.moc"
