// How the settings' stored texts are read back: what a hand-edited or damaged Config.ini gives.
#include "settings/configkeys.h"

#include <QTest>

using namespace settings;

class TestConfigKeys : public QObject
{
    Q_OBJECT
private slots:
    void flagPairs_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("value");
        QTest::newRow("on") << "1,9600 " << true << "9600 ";
        QTest::newRow("off") << "0,COM1" << false << "COM1";
        QTest::newRow("a path with commas") << "1,/dev/a,b" << true << "/dev/a,b";
        QTest::newRow("empty value") << "1," << true << "";
        QTest::newRow("no comma") << "1" << true << "";
        QTest::newRow("flag other than 1") << "2,7" << false << "7";
        QTest::newRow("empty") << "" << false << "";
    }
    void flagPairs()
    {
        QFETCH(QString, stored);
        QFETCH(bool, on);
        QFETCH(QString, value);
        const FlagPair pair = ReadFlagPair(stored);
        QCOMPARE(pair.on, on);
        QCOMPARE(pair.value, value);
    }

    // What start-up makes of a stored list position and a stored address.
    void storedNumbers_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("position"); // in a list of two
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("ms"); // of at most 10000
        QTest::newRow("0") << "0" << 0 << "1" << 0;
        QTest::newRow("1") << "1" << 1 << "1" << 1;
        QTest::newRow("beyond the list, 2") << "2" << 0 << "2" << 2;
        QTest::newRow("leading zeros") << "007" << 0 << "7" << 7;
        QTest::newRow("255") << "255" << 0 << "255" << 255;
        QTest::newRow("256") << "256" << 0 << "1" << 256;
        QTest::newRow("the longest wait") << "10000" << 0 << "1" << 10000;
        QTest::newRow("beyond the longest wait") << "10001" << 0 << "1" << 0;
        QTest::newRow("huge") << "99999999999999999999" << 0 << "1" << 0;
        QTest::newRow("negative") << "-1" << 0 << "1" << 0;
        QTest::newRow("signed") << "+5" << 0 << "1" << 0;
        QTest::newRow("text") << "RS485" << 0 << "1" << 0;
        QTest::newRow("empty") << "" << 0 << "1" << 0;
    }
    void storedNumbers()
    {
        QFETCH(QString, stored);
        QFETCH(int, position);
        QFETCH(QString, address);
        QCOMPARE(StoredPosition(stored, 2), position);
        QCOMPARE(StoredAddress(stored), address);
        QFETCH(int, ms);
        QCOMPARE(StoredMs(stored, 10000), ms);
    }
};

QTEST_GUILESS_MAIN(TestConfigKeys)
#include "tst_configkeys.moc"
