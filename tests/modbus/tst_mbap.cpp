// MODBUS TCP framing byte for byte: RTU requests cut from the port's byte stream and wrapped,
// answers checked, unwrapped and given their CRC again, in whatever pieces they come.
#include "modbus/mbap.h"

#include <QTest>

namespace {

QByteArray Hex(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

// Pieces of a stream as sizes, "3,5": the first three bytes, the next five, then the rest.
QList<QByteArray> Split(const QByteArray &bytes, const QString &sizes)
{
    QList<QByteArray> pieces;
    qsizetype at = 0;
    for (const QString &size : sizes.split(u',', Qt::SkipEmptyParts)) {
        pieces << bytes.mid(at, size.toInt());
        at += size.toInt();
    }
    if (at < bytes.size())
        pieces << bytes.mid(at);
    return pieces;
}

const QString Switch3On = "01 05 00 02 FF 00 2D FA";
const QString Probe = "24 FF 03 A0 00 C6";

} // namespace

class TestMbap : public QObject
{
    Q_OBJECT
private slots:
    // Requests the port writes, in pieces, and the MODBUS TCP requests that leave (transaction
    // ids counting from 1).
    void requests_data()
    {
        QTest::addColumn<QString>("rtu");
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<int>("unit"); // -1: the frame's own address
        QTest::addColumn<QString>("adus");
        QTest::addColumn<int>("dropped");

        QTest::newRow("switch") << Switch3On << "" << -1 << "0001 0000 0006 01 05 0002 FF00" << 0;
        QTest::newRow("probe, no CRC of its own")
            << Probe << "" << -1 << "0001 0000 0006 24 FF 03 A0 00 C6" << 0;
        QTest::newRow("fixed unit")
            << Switch3On << "" << 7 << "0001 0000 0006 07 05 0002 FF00" << 0;
        QTest::newRow("sixteen coils, length from the byte count")
            << "01 0F 00 00 00 10 02 FF FF E3 90"
            << "7" << -1 << "0001 0000 0009 01 0F 0000 0010 02 FFFF" << 0;
        QTest::newRow("all-channel timed, four pairs")
            << "01 31 F0 00 00 01 00 02 00 03 00 04 FF 3D"
            << "" << -1 << "0001 0000 000C 01 31 F000 0001 0002 0003 0004" << 0;
        QTest::newRow("all-channel timed, eight pairs, in pieces")
            << "01 33 F0 00 00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 B7 78"
            << "13,1,7" << -1 << "0001 0000 0014 01 33 F000 0001 0002 0003 0004 0005 0006 0007 0008"
            << 0;
        QTest::newRow("byte by byte, split inside the CRC")
            << Switch3On << "1,1,1,1,1,1,1" << -1 << "0001 0000 0006 01 05 0002 FF00" << 0;
        QTest::newRow("two requests in one write")
            << Switch3On + " 03 03 00 00 00 01 85 E8"
            << "" << -1 << "0001 0000 0006 01 05 0002 FF00 0002 0000 0006 03 03 0000 0001" << 0;
        QTest::newRow("probe then a request, cut inside the probe")
            << Probe + " " + Switch3On << "3,5" << -1
            << "0001 0000 0006 24 FF 03 A0 00 C6 0002 0000 0006 01 05 0002 FF00" << 0;
        QTest::newRow("an unknown function ends at its CRC")
            << "01 2B 0E 01 00 70 77"
            << "4" << -1 << "0001 0000 0005 01 2B 0E 01 00" << 0;
        // A wrong CRC: no gateway could take it; the next request still goes.
        QTest::newRow("wrong CRC dropped, the next one goes")
            << "01 05 00 02 FF 00 2D FB " + Switch3On << "" << -1
            << "0001 0000 0006 01 05 0002 FF00" << 1;
    }
    void requests()
    {
        QFETCH(QString, rtu);
        QFETCH(QString, pieces);
        QFETCH(int, unit);
        QFETCH(QString, adus);
        QFETCH(int, dropped);
        modbus::MbapClient client(unit < 0 ? std::nullopt
                                           : std::optional<std::uint8_t>(std::uint8_t(unit)));
        QByteArray out;
        for (const QByteArray &piece : Split(Hex(rtu), pieces))
            out += client.request(piece);
        QCOMPARE(out.toHex(' ').toUpper(), Hex(adus).toHex(' ').toUpper());
        QCOMPARE(client.dropped(), dropped);
        QCOMPARE(client.pendingRequestBytes() > 0, adus.isEmpty());
    }

    // What comes back from the gateway, in pieces, and the RTU answers the port reads.
    void answers_data()
    {
        QTest::addColumn<QString>("sent");     // RTU requests written first
        QTest::addColumn<int>("unit");         // -1: the frame's own address
        QTest::addColumn<QString>("received"); // from the link
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<QString>("rtu");
        QTest::addColumn<int>("refused");
        QTest::addColumn<bool>("broken");

        const QString echo = "0001 0000 0006 01 05 0002 FF00";
        QTest::newRow("echo") << Switch3On << -1 << echo << "" << Switch3On << 0 << false;
        QTest::newRow("header split from its PDU")
            << Switch3On << -1 << echo << "3,4,2" << Switch3On << 0 << false;
        QTest::newRow("two answers in one segment, the second half in the next")
            << Switch3On + " 03 03 00 00 00 01 85 E8" << -1
            << echo + " 0002 0000 0005 03 03 02 00 05"
            << "14,3" << Switch3On + " 03 03 02 00 05 01 87" << 0 << false;
        QTest::newRow("answers out of order") << Switch3On + " 03 03 00 00 00 01 85 E8" << -1
                                              << "0002 0000 0005 03 03 02 00 05 " + echo << ""
                                              << "03 03 02 00 05 01 87 " + Switch3On << 0 << false;
        QTest::newRow("mismatched transaction id refused")
            << Switch3On << -1 << "0009 0000 0006 01 05 0002 FF00"
            << ""
            << "" << 1 << false;
        QTest::newRow("exception answer") << Switch3On << -1 << "0001 0000 0003 01 85 02"
                                          << ""
                                          << "01 85 02 C3 51" << 0 << false;
        QTest::newRow("probe answer keeps the unit it was sent to")
            << Probe << -1 << "0001 0000 0005 24 03 02 00 03"
            << ""
            << "24 03 02 00 03 B5 82" << 0 << false;
        QTest::newRow("fixed unit: the answer carries the request's address")
            << "03 03 00 00 00 01 85 E8" << 1 << "0001 0000 0005 01 03 02 00 05"
            << ""
            << "03 03 02 00 05 01 87" << 0 << false;
        QTest::newRow("protocol id not 0") << Switch3On << -1 << "0001 0001 0006 01 05 0002 FF00"
                                           << ""
                                           << "" << 0 << true;
        QTest::newRow("impossible length") << Switch3On << -1 << "0001 0000 0001 01"
                                           << ""
                                           << "" << 0 << true;
    }
    void answers()
    {
        QFETCH(QString, sent);
        QFETCH(int, unit);
        QFETCH(QString, received);
        QFETCH(QString, pieces);
        QFETCH(QString, rtu);
        QFETCH(int, refused);
        QFETCH(bool, broken);
        modbus::MbapClient client(unit < 0 ? std::nullopt
                                           : std::optional<std::uint8_t>(std::uint8_t(unit)));
        client.request(Hex(sent));
        QByteArray out;
        for (const QByteArray &piece : Split(Hex(received), pieces))
            out += client.answer(piece);
        QCOMPARE(out.toHex(' ').toUpper(), Hex(rtu).toHex(' ').toUpper());
        QCOMPARE(client.refused(), refused);
        QCOMPARE(client.broken(), broken);
    }

    // Transaction ids wrap from 65535 to 1, never 0, and a new session starts again at 1.
    void transactionIdsWrap()
    {
        modbus::MbapClient client;
        const QByteArray request = Hex(Switch3On);
        for (int i = 0; i < 65535; ++i)
            client.request(request);
        QCOMPARE(client.request(request).left(2), Hex("0001"));
        client.reset();
        QCOMPARE(client.request(request).left(2), Hex("0001"));
    }
};

QTEST_APPLESS_MAIN(TestMbap)

#include "tst_mbap.moc"
