#include "modbus/crc.h"

#include <QTest>

#include <array>

using namespace modbus;

namespace {

// An independent, table-driven CRC-16/MODBUS to check the firmware-style arithmetic against.
std::uint16_t referenceCrc(QByteArrayView bytes)
{
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            std::uint16_t r = std::uint16_t(i);
            for (int b = 0; b < 8; ++b)
                r = (r & 1) ? std::uint16_t((r >> 1) ^ 0xA001) : std::uint16_t(r >> 1);
            t[i] = r;
        }
        return t;
    }();
    std::uint16_t crc = 0xFFFF;
    for (const char c : bytes)
        crc = std::uint16_t((crc >> 8) ^ table[(crc ^ std::uint8_t(c)) & 0xFF]);
    return crc;
}

} // namespace

class TestCrc : public QObject
{
    Q_OBJECT
private slots:
    void wireOrder_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("crcOnWire");
        auto row = [](const char *body, const char *crc) {
            QTest::newRow(body) << QByteArray::fromHex(body) << QByteArray::fromHex(crc);
        };
        row("01 05 00 00 FF 00", "8C 3A");
        row("01 0F 00 00 00 10 02 FF FF", "E3 90");
        row("01 01 00 00 00 10", "3D C6");
        row("FF 03 01 00 00 01", "90 28");
        row("01 03 00 00 00 01", "84 0A");
    }
    void wireOrder()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, crcOnWire);
        QByteArray frame = body + QByteArray(2, '\x55');
        AppendCrc(frame);
        QCOMPARE(frame.first(body.size()), body); // the body is never touched
        QCOMPARE(frame.last(2).toHex(' ').toUpper(), crcOnWire.toHex(' ').toUpper());
        const auto value = CRC16(body); // high byte first
        QCOMPARE(value[0], std::uint8_t(crcOnWire[1]));
        QCOMPARE(value[1], std::uint8_t(crcOnWire[0]));
    }

    void checkValue() { QCOMPARE(crc16Value("123456789"), std::uint16_t(0x4B37)); }

    void matchesTableDrivenCrc()
    {
        // Every length 0..300 over a fixed pseudo-random stream, and every single byte.
        QByteArray data;
        std::uint32_t x = 12345;
        for (int i = 0; i < 300; ++i) {
            x = x * 1103515245u + 12345u;
            data.append(char(x >> 16));
        }
        for (qsizetype n = 0; n <= data.size(); ++n)
            QCOMPARE(crc16Value(data.first(n)), referenceCrc(data.first(n)));
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            QCOMPARE(crc16Value(QByteArrayView(&c, 1)), referenceCrc(QByteArrayView(&c, 1)));
        }
    }

    // A frame is right when it ends in its own CRC, low byte first.
    void frameCrcRight_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("right");
        const auto withCrc = [](const char *hex) { return WithCrc(QByteArray::fromHex(hex)); };
        QTest::newRow("a request") << withCrc("010500 00FF00") << true;
        QTest::newRow("the shortest frame") << withCrc("0183") << true;
        QByteArray flipped = withCrc("010500 00FF00");
        flipped[3] = char(flipped[3] ^ 0x10);
        QTest::newRow("one bit flipped") << flipped << false;
        QByteArray swapped = withCrc("010500 00FF00");
        std::swap(swapped[6], swapped[7]);
        QTest::newRow("CRC high byte first") << swapped << false;
        QTest::newRow("too short, CRC or not") << withCrc("01") << false;
        QTest::newRow("the probe, which has none") << QByteArray::fromHex("24FF03A000C6") << false;
        QTest::newRow("nothing") << QByteArray() << false;
    }
    void frameCrcRight()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, right);
        QCOMPARE(CrcRight(frame), right);
    }

    void tooShortFrameIsLeftAlone()
    {
        QByteArray two("\x01\x02", 2);
        AppendCrc(two);
        QCOMPARE(two, QByteArray("\x01\x02", 2));
        QByteArray empty;
        AppendCrc(empty);
        QVERIFY(empty.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestCrc)
#include "tst_crc.moc"
