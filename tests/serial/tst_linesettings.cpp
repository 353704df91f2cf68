#include "protocol/baud.h"
#include "serial/linedevice.h"

#include <QTest>

using namespace serial;

class TestLineSettings : public QObject
{
    Q_OBJECT
private slots:
    void everyBaudEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("rate");
        const char *entries[] = {"300 ",  "600 ",  "1200 ", "2400 ", "4800 ", "9600 ",
                                 "14400", "19200", "38400", "56000", "57600", "115200"};
        const int rates[] = {300,   600,   1200,  2400,  4800,  9600,
                             14400, 19200, 38400, 56000, 57600, 115200};
        for (int i = 0; i < 12; ++i)
            QTest::newRow(entries[i]) << QString::fromLatin1(entries[i]) << rates[i];
    }
    void everyBaudEntry()
    {
        QFETCH(QString, entry);
        QFETCH(int, rate);
        const QString text = SettingsText(entry);
        QVERIFY(text.startsWith(entry)); // the trailing space stays before the comma
        QVERIFY(text.endsWith(QStringLiteral(",N,8,1")));
        const std::optional<LineSettings> s = ParseSettings(text);
        QVERIFY(s.has_value());
        QCOMPARE(s->baudRate, rate);
        QCOMPARE(s->parity, 'N');
        QCOMPARE(s->dataBits, 8);
        QCOMPARE(s->stopBits, 1);
    }

    void baudListAgrees()
    {
        const QStringList list = protocol::BaudList();
        QCOMPARE(list.size(), 12);
        for (int code = 0; code < list.size(); ++code) {
            const std::optional<LineSettings> s = ParseSettings(SettingsText(list[code]));
            QVERIFY(s.has_value());
            QCOMPARE(s->baudRate, *protocol::BaudRateOfCode(code));
        }
    }

    void otherForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("rate");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::newRow("blanks everywhere") << " 9600 , n , 8 , 1 " << true << 9600 << 'N' << 8 << 1;
        QTest::newRow("even parity, 7 bits, 2 stop")
            << "4800,E,7,2" << true << 4800 << 'E' << 7 << 2;
        QTest::newRow("empty") << "" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("entry alone") << "9600 " << false << 0 << 'N' << 0 << 0;
        QTest::newRow("rate missing") << " ,N,8,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("rate zero") << "0,N,8,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("rate negative") << "-9600,N,8,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("rate not a number") << "96OO,N,8,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("unknown parity") << "9600,X,8,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("nine data bits") << "9600,N,9,1" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("three stop bits") << "9600,N,8,3" << false << 0 << 'N' << 0 << 0;
        QTest::newRow("extra field") << "9600,N,8,1,1" << false << 0 << 'N' << 0 << 0;
    }
    void otherForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const std::optional<LineSettings> s = ParseSettings(text);
        QCOMPARE(s.has_value(), valid);
        if (!valid)
            return;
        QFETCH(int, rate);
        QFETCH(char, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QCOMPARE(*s, (LineSettings{rate, parity, dataBits, stopBits}));
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
