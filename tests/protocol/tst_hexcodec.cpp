#include "protocol/hexcodec.h"

#include <QTest>

using namespace protocol;

class TestHexCodec : public QObject
{
    Q_OBJECT
private slots:
    void hexFrameText_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("01 0A FF") << QByteArray("\x01\x0A\xFF", 3) << "01 0A FF ";
        QTest::newRow("00") << QByteArray(1, '\0') << "00 ";
        QTest::newRow("switch on")
            << QByteArray::fromHex("010500 00FF008C3A") << "01 05 00 00 FF 00 8C 3A ";
    }
    void hexFrameText()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, text);
        QCOMPARE(HexFrameText(frame), text);
    }

    void timeField_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::newRow("0") << "0" << false << 0 << 0;
        QTest::newRow("1") << "1" << true << 0x00 << 0x01;
        QTest::newRow("20") << "20" << true << 0x00 << 0x14;
        QTest::newRow("1000") << "1000" << true << 0x03 << 0xE8;
        QTest::newRow("65535") << "65535" << true << 0xFF << 0xFF;
        QTest::newRow("65536") << "65536" << false << 0 << 0;
        QTest::newRow("empty") << "" << false << 0 << 0;
        QTest::newRow("12a") << "12a" << false << 0 << 0;
        QTest::newRow("-5") << "-5" << false << 0 << 0;
        QTest::newRow("leading zeros") << "0020" << true << 0x00 << 0x14;
        QTest::newRow("six digits") << "000020" << true << 0x00 << 0x14;
        QTest::newRow("zeros before the maximum") << "0000000065535" << true << 0xFF << 0xFF;
        QTest::newRow("only zeros") << "000000" << false << 0 << 0;
        QTest::newRow("huge") << "99999999999999999999" << false << 0 << 0;
    }
    void timeField()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto value = TimeField(text);
        QCOMPARE(value.has_value(), valid);
        if (valid) {
            QFETCH(int, high);
            QFETCH(int, low);
            QCOMPARE(*value, (TimeBytes{std::uint8_t(high), std::uint8_t(low)}));
        }
    }

    void d2b_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("digits");
        QTest::newRow("0") << 0 << "";
        QTest::newRow("negative") << -3 << "";
        QTest::newRow("5") << 5 << "101";
        QTest::newRow("0x81") << 0x81 << "10000001";
        QTest::newRow("0xFFFE") << 0xFFFE << "1111111111111110";
        QTest::newRow("max") << INT32_MAX << QString(31, QLatin1Char('1'));
    }
    void d2b()
    {
        QFETCH(int, value);
        QFETCH(QString, digits);
        QCOMPARE(D2B(value), digits);
    }

    void b2d_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<int>("value");
        QTest::newRow("00000101") << "00000101" << 5;
        QTest::newRow("1021") << "1021" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("11111111") << "11111111" << 255;
        QTest::newRow("letter reads 0") << "1x1" << 5;
        QTest::newRow("31 ones") << QString(31, QLatin1Char('1')) << INT32_MAX;
        QTest::newRow("32 ones overflow") << QString(32, QLatin1Char('1')) << 0;
        QTest::newRow("leading zeros past 31 bits") << QString(40, QLatin1Char('0')) + "1" << 1;
    }
    void b2d()
    {
        QFETCH(QString, digits);
        QFETCH(int, value);
        QCOMPARE(B2D(digits), value);
    }

    void d2bRoundTrip()
    {
        for (int v : {1, 2, 3, 7, 8, 255, 256, 4097, 65535, 1 << 30})
            QCOMPARE(B2D(D2B(v)), v);
    }

    void hexSendBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("frame with spaces")
            << "01 05 00 00 FF 00 8C 3A" << QByteArray::fromHex("0105 0000 FF00 8C3A");
        QTest::newRow("stops at G") << "0105G7" << QByteArray::fromHex("0105");
        QTest::newRow("odd digit dropped") << "010" << QByteArray::fromHex("01");
        QTest::newRow("single digit") << "1" << QByteArray();
        QTest::newRow("lower case") << "ff 0a" << QByteArray::fromHex("FF0A");
        QTest::newRow("line break ends") << "01\n02" << QByteArray::fromHex("01");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("non-latin ends") << "01中02" << QByteArray::fromHex("01");
    }
    void hexSendBytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(HexSendBytes(text), bytes);
    }
};

QTEST_APPLESS_MAIN(TestHexCodec)
#include "tst_hexcodec.moc"
