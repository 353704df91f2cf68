#include "protocol/address.h"
#include "protocol/baud.h"
#include "protocol/requests.h"

#include <QTest>

#include <vector>

using namespace protocol;

Q_DECLARE_METATYPE(protocol::Request)

namespace {

std::vector<TimeBytes> times(std::initializer_list<int> values)
{
    std::vector<TimeBytes> out;
    for (int v : values)
        out.push_back({std::uint8_t(v >> 8), std::uint8_t(v & 0xFF)});
    return out;
}

std::array<bool, 8> ticked(std::initializer_list<int> channels)
{
    std::array<bool, 8> checks{};
    for (int c : channels)
        checks[std::size_t(c)] = true;
    return checks;
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT
private slots:
    // Every frame is named by the hex it must produce, byte for byte.
    void frames_data()
    {
        QTest::addColumn<Request>("request");
        QTest::addColumn<QString>("kind");
        auto row = [](const char *hex, const Request &r, const char *kind) {
            QTest::newRow(hex) << r << QString::fromLatin1(kind);
        };
        const auto jog8 = times({20, 2, 3, 4, 8, 8, 8, 1});
        const auto jog8zero = times({20, 2, 3, 4, 8, 8, 8, 0});
        const auto ones = times({1, 1, 1, 1});

        row("01 05 00 00 FF 00 8C 3A", SwitchRequest(1, 0, true), "Connect");
        row("01 05 00 00 00 00 CD CA", SwitchRequest(1, 0, false), "DisConnect");
        row("01 05 00 01 FF 00 DD FA", SwitchRequest(1, 1, true), "Connect");
        row("01 30 F0 02 00 14 D3 01",
            TimedChannelRequest(TimedAction::DelayedOn, 1, 2, {0x00, 0x14}), "Connect1");
        row("01 34 F0 00 00 0A 03 09", TimedChannelRequest(TimedAction::Jog, 1, 0, {0x00, 0x0A}),
            "Connect1");
        row("01 32 F0 07 FF FF BB 7F",
            TimedChannelRequest(TimedAction::DelayedOff, 1, 7, {0xFF, 0xFF}), "DisConnect1");
        row("01 35 F0 00 00 14 00 02 00 03 00 04 00 08 00 08 00 08 00 00 6E 3B",
            TimedAllRequest(TimedAction::Jog, 1, jog8zero, 8), "Connect1");
        row("01 35 F0 00 00 14 00 02 00 03 00 04 00 08 00 08 00 08 00 01 AF FB",
            TimedAllRequest(TimedAction::Jog, 1, jog8, 8), "Connect1");
        row("01 35 F0 00 00 14 00 02 00 03 00 04 AE CC",
            TimedAllRequest(TimedAction::Jog, 1, jog8, 4), "Connect1");
        row("01 31 F0 00 00 01 00 01 00 01 00 01 DA FE",
            TimedAllRequest(TimedAction::DelayedOn, 1, ones, 4), "AllConnect");
        row("01 0F 00 00 00 10 02 FF FF E3 90", AllOnRequest(1), "AllConnect");
        row("01 0F 00 00 00 10 02 00 00 E2 20", AllOffRequest(1), "AllDisConnect");
        row("01 0F 00 00 00 10 02 05 00 E1 70", MaskRequest(1, ticked({0, 2})), "Connect2");
        row("01 03 00 00 00 01 84 0A", StateRequest(1), "State");
        row("24 FF 03 A0 00 C6", AddressProbe(), "Address");
        row("FF 03 01 00 00 01 90 28", ScanRequest(255), "Address1");
        row("01 06 01 00 00 02 09 F7", SetAddressRequest(1, 2), "SetAddress");
        row("01 06 02 00 00 05 48 71", SetRateRequest(1, 5), "SetRate");
        row("00 06 02 00 00 05 49 A0", SetRateRequest(0, 5), "SetRate");
        row("01 03 02 00 00 01 85 B2", ReadRateRequest(1), "ReadRate");
    }
    void frames()
    {
        QFETCH(Request, request);
        QFETCH(QString, kind);
        const QByteArray expected = QByteArray::fromHex(QTest::currentDataTag());
        QCOMPARE(request.frame.toHex(' ').toUpper(), expected.toHex(' ').toUpper());
        QCOMPARE(RequestKindText(request.kind), kind);
    }

    void allChannelFrameLengths_data()
    {
        QTest::addColumn<int>("channelCount");
        QTest::addColumn<int>("length");
        QTest::newRow("8 channels") << 8 << 22;
        QTest::newRow("4 channels") << 4 << 14;
        QTest::newRow("no model yet") << 0 << 14;
    }
    void allChannelFrameLengths()
    {
        QFETCH(int, channelCount);
        QFETCH(int, length);
        const auto t = times({9, 9, 9, 9, 9, 9, 9, 9});
        for (auto action : {TimedAction::DelayedOn, TimedAction::DelayedOff, TimedAction::Jog}) {
            const Request r = TimedAllRequest(action, 1, t, channelCount);
            QCOMPARE(r.frame.size(), length);
            // Pairs beyond the channel count stay zero.
            for (int k = channelCount; k < (length - 6) / 2; ++k)
                QCOMPARE(r.frame[4 + 2 * k + 1], '\0');
        }
    }

    void channelMask_data()
    {
        QTest::addColumn<QList<int>>("channels");
        QTest::addColumn<int>("mask");
        QTest::newRow("none") << QList<int>{} << 0x00;
        QTest::newRow("1 and 3") << QList<int>{0, 2} << 0x05;
        QTest::newRow("8 only") << QList<int>{7} << 0x80;
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << 0xFF;
    }
    void channelMask()
    {
        QFETCH(QList<int>, channels);
        QFETCH(int, mask);
        std::array<bool, 8> checks{};
        for (int c : channels)
            checks[std::size_t(c)] = true;
        QCOMPARE(ChannelMask(checks), std::uint8_t(mask));
    }

    void kindTextsRoundTrip()
    {
        const QStringList all = {"Connect",    "DisConnect",    "Connect1",   "DisConnect1",
                                 "AllConnect", "AllDisConnect", "Connect2",   "State",
                                 "Address",    "Address1",      "SetAddress", "SetRate",
                                 "ReadRate"};
        for (const QString &text : all) {
            const auto kind = RequestKindFromText(text);
            QVERIFY2(kind.has_value(), qPrintable(text));
            QCOMPARE(RequestKindText(*kind), text);
        }
        QVERIFY(!RequestKindFromText("connect").has_value()); // case matters
        QVERIFY(!RequestKindFromText("").has_value());
    }

    void slaveAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");    // the text read as a whole number
        QTest::addColumn<int>("strict");    // SlaveAddress, -1 for none
        QTest::addColumn<int>("broadcast"); // SlaveAddressOrBroadcast, -1 for none
        QTest::newRow("empty") << "" << 0 << -1 << 0;
        QTest::newRow("0") << "0" << 0 << -1 << 0;
        QTest::newRow("1") << "1" << 1 << 1 << 1;
        QTest::newRow("255") << "255" << 255 << 255 << 255;
        QTest::newRow("256") << "256" << 256 << -1 << -1;
        QTest::newRow("2.5 to even") << "2.5" << 2 << 2 << 2;
        QTest::newRow("3.5 to even") << "3.5" << 4 << 4 << 4;
        QTest::newRow("7abc") << "7abc" << 7 << 7 << 7;
        QTest::newRow("blanks") << " 1 2" << 12 << 12 << 12;
        QTest::newRow("negative") << "-1" << -1 << -1 << -1;
        QTest::newRow("0.6 rounds up") << "0.6" << 1 << 1 << 1;
        QTest::newRow("255.5 to even") << "255.5" << 256 << -1 << -1;
        QTest::newRow("exponent") << "1e2" << 100 << 100 << 100;
        QTest::newRow("letters") << "abc" << 0 << -1 << 0;
        QTest::newRow("huge") << "1e300" << INT_MAX << -1 << -1;
    }
    void slaveAddress()
    {
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(int, strict);
        QFETCH(int, broadcast);
        QCOMPARE(ReadWholeNumber(text), std::int64_t(number));
        const auto s = SlaveAddress(text);
        QCOMPARE(s ? int(*s) : -1, strict);
        const auto b = SlaveAddressOrBroadcast(text);
        QCOMPARE(b ? int(*b) : -1, broadcast);
    }

    void channelCountOfModel()
    {
        QCOMPARE(ChannelCountOfModel("QV-04"), 4);
        QCOMPARE(ChannelCountOfModel("QV-08"), 8);
        QCOMPARE(ChannelCountOfModel(""), 0);
        QCOMPARE(ChannelCountOfModel("QV-0x"), 0);
    }

    void baudList()
    {
        const QStringList list = BaudList();
        QCOMPARE(list.size(), 12);
        QCOMPARE(list.first(), "300 ");
        QCOMPARE(list[5], "9600 ");
        QCOMPARE(list[6], "14400");
        QCOMPARE(list.last(), "115200");
        for (int code = 0; code < BaudCodeCount; ++code) {
            QCOMPARE(*BaudRateOfCode(code), list[code].trimmed().toInt());
            QCOMPARE(*BaudCodeOfRate(list[code].trimmed().toInt()), code);
        }
        QVERIFY(!BaudRateOfCode(12).has_value());
        QVERIFY(!BaudRateOfCode(-1).has_value());
        QVERIFY(!BaudCodeOfRate(9601).has_value());
    }
};

QTEST_APPLESS_MAIN(TestRequests)
#include "tst_requests.moc"
