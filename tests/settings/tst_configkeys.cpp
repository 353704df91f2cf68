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
        QTest::newRow("flag with blanks") << " 1,7" << false << "7";
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

    void rates_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("entry");
        QTest::newRow("trailing blank trimmed on reading") << "9600" << 2;
        QTest::newRow("as stored") << "9600 " << 2;
        QTest::newRow("six digits") << "115200" << 3;
        QTest::newRow("as a number") << "0115200.0" << 3;
        QTest::newRow("not listed") << "4800" << -1;
        QTest::newRow("text") << "fast" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("number and text") << "9600x" << -1;
    }
    void rates()
    {
        QFETCH(QString, rate);
        QFETCH(int, entry);
        QCOMPARE(EntryOfRate({"300 ", "1200 ", "9600 ", "115200"}, rate), entry);
    }

    // What start-up makes of a stored list position and a stored address.
    void storedNumbers_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("position"); // in a list of two
        QTest::addColumn<QString>("address");
        QTest::newRow("0") << "0" << 0 << "1";
        QTest::newRow("1") << "1" << 1 << "1";
        QTest::newRow("beyond the list, 2") << "2" << 0 << "2";
        QTest::newRow("leading zeros") << "007" << 0 << "7";
        QTest::newRow("255") << "255" << 0 << "255";
        QTest::newRow("256") << "256" << 0 << "1";
        QTest::newRow("huge") << "99999999999999999999" << 0 << "1";
        QTest::newRow("negative") << "-1" << 0 << "1";
        QTest::newRow("text") << "RS485" << 0 << "1";
        QTest::newRow("empty") << "" << 0 << "1";
    }
    void storedNumbers()
    {
        QFETCH(QString, stored);
        QFETCH(int, position);
        QFETCH(QString, address);
        QCOMPARE(StoredPosition(stored, 2), position);
        QCOMPARE(StoredAddress(stored), address);
    }

    // The settings address box when a key is released.
    void addressBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("store");
        QTest::addColumn<bool>("inputError");
        QTest::addColumn<QString>("replacement"); // "-": none
        QTest::newRow("1") << "1" << true << false << "-";
        QTest::newRow("255") << "255" << true << false << "-";
        QTest::newRow("leading zero") << "025" << true << false << "-";
        QTest::newRow("256 stays") << "256" << false << true << "-";
        QTest::newRow("0 becomes 1") << "0" << false << true << "1";
        QTest::newRow("00 stays") << "00" << false << true << "-";
        QTest::newRow("empty: nothing at all") << "" << false << false << "-";
        QTest::newRow("pasted text") << "12a" << false << true << "-";
    }
    void addressBox()
    {
        QFETCH(QString, text);
        QFETCH(bool, store);
        QFETCH(bool, inputError);
        QFETCH(QString, replacement);
        const AddressCheck check = CheckDefaultAddress(text);
        QCOMPARE(check.store, store);
        QCOMPARE(check.inputError, inputError);
        QCOMPARE(check.replacement.value_or(QStringLiteral("-")), replacement);
    }
};

QTEST_GUILESS_MAIN(TestConfigKeys)
#include "tst_configkeys.moc"
