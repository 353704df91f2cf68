#include "modbus/crc.h"
#include "protocol/hexcodec.h"
#include "protocol/reply.h"
#include "support/frames.h"

#include <QRandomGenerator>
#include <QTest>

#include <set>

using namespace protocol;

namespace {

using testframes::hex;
using testframes::rtu;

// A compact, readable account of what the interpreter decided, e.g. "sw 0+ 1- | msg 提示:...".
QString describe(const ReplyActions &a)
{
    QStringList parts;
    if (!a.switches.empty()) {
        QString s = "sw";
        for (const SwitchMove &m : a.switches)
            s += QString(" %1%2").arg(m.index).arg(m.on ? '+' : '-');
        parts << s;
    }
    if (a.scanAddress)
        parts << "scan " + *a.scanAddress;
    if (a.onlyAddress)
        parts << "only " + *a.onlyAddress;
    if (a.addressText)
        parts << "text " + *a.addressText;
    if (a.baudCode)
        parts << QString("baud %1").arg(*a.baudCode);
    if (a.message)
        parts << "msg " + a.message->title + ":" + a.message->text;
    return parts.join(" | ");
}

const std::optional<RequestKind> allKinds[] = {
    std::nullopt,
    RequestKind::Connect,
    RequestKind::DisConnect,
    RequestKind::Connect1,
    RequestKind::DisConnect1,
    RequestKind::AllConnect,
    RequestKind::AllDisConnect,
    RequestKind::Connect2,
    RequestKind::State,
    RequestKind::Address,
    RequestKind::Address1,
    RequestKind::SetAddress,
    RequestKind::SetRate,
    RequestKind::ReadRate,
};

} // namespace

class TestReply : public QObject
{
    Q_OBJECT
private slots:
    void interpret_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("scan");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("expected");

        // Echoes of a switched channel move the switch the echo names.
        QTest::newRow("connect echo ch2")
            << "Connect" << 8 << false << hex("01050001FF00DDFA") << "sw 1+";
        QTest::newRow("disconnect echo ch1")
            << "DisConnect" << 8 << false << hex("010500000000CDCA") << "sw 0-";
        QTest::newRow("echo from a foreign channel byte")
            << "Connect" << 4 << false << hex("01050006FF00") << "sw 6+";
        QTest::newRow("echo names channel without switch")
            << "Connect" << 8 << false << hex("01050008FF00") << "";
        QTest::newRow("echo too short for channel byte")
            << "Connect" << 8 << false << hex("010500") << "";
        QTest::newRow("two-byte echo") << "DisConnect" << 8 << false << hex("0105") << "";
        QTest::newRow("stray byte") << "Connect" << 8 << false << hex("01") << "";
        QTest::newRow("nothing read") << "Connect" << 8 << false << QByteArray() << "";

        // The state value: channel d on exactly when bit d-1 is set.
        QTest::newRow("state 0x05 on 8")
            << "State" << 8 << false << rtu("01030200 05") << "sw 0+ 1- 2+ 3- 4- 5- 6- 7-";
        QTest::newRow("state 0x81 on 8")
            << "State" << 8 << false << rtu("01030200 81") << "sw 0+ 1- 2- 3- 4- 5- 6- 7+";
        QTest::newRow("state 0x81 on 4")
            << "State" << 4 << false << rtu("01030200 81") << "sw 0+ 1- 2- 3-";
        QTest::newRow("state 0x81 bad crc")
            << "State" << 4 << false << hex("010302008100 00") << "sw 0+ 1- 2- 3-";
        QTest::newRow("state 0xFFFE: channel 1 off")
            << "State" << 8 << false << rtu("010302FF FE") << "sw 0- 1+ 2+ 3+ 4+ 5+ 6+ 7+";
        QTest::newRow("state 0x0100: coil 9 only")
            << "State" << 8 << false << rtu("01030201 00") << "sw 0- 1- 2- 3- 4- 5- 6- 7-";
        QTest::newRow("state before a model") << "State" << 0 << false << rtu("01030200FF") << "";
        QTest::newRow("state six bytes") << "State" << 8 << false << hex("010302000500") << "";
        QTest::newRow("state eight bytes")
            << "State" << 8 << false << hex("0103020005000000") << "";

        // The address probe and the set-address echo.
        QTest::newRow("address found")
            << "Address" << 8 << false << hex("24030200100000") << "only 16";
        QTest::newRow("address none")
            << "Address" << 8 << false << hex("2400") << "msg 提示:没有搜索到模块";
        QTest::newRow("address too short") << "Address" << 8 << false << hex("24030200") << "";
        QTest::newRow("set address echo")
            << "SetAddress" << 8 << false << rtu("010601000007") << "text 7";
        QTest::newRow("set address refused")
            << "SetAddress" << 8 << false << hex("0100") << "msg 提示:地址设置失败";
        QTest::newRow("set address short") << "SetAddress" << 8 << false << hex("0106010000") << "";

        // Baud rate read: codes above 4 leave the PC list alone.
        QTest::newRow("read rate 3") << "ReadRate" << 8 << false << rtu("0103020003") << "baud 3";
        QTest::newRow("read rate 5") << "ReadRate" << 8 << false << rtu("0103020005") << "";
        QTest::newRow("read rate 6 bytes") << "ReadRate" << 8 << false << hex("010302000300") << "";

        // While a scan runs, every reply's byte 4 joins the address list.
        QTest::newRow("scan reply") << "Address1" << 8 << true << rtu("0103020011") << "scan 17";
        QTest::newRow("scan reply while switching")
            << "Connect" << 8 << true << hex("01050002FF00") << "sw 2+ | scan 255";
        QTest::newRow("scan reply too short ends all")
            << "Connect" << 8 << true << hex("01050002") << "";
        QTest::newRow("scan then probe")
            << "Address" << 8 << true << hex("24030200200000") << "scan 32 | only 32";

        // Kinds whose replies are only shown.
        for (const char *kind : {"Connect1", "DisConnect1", "AllConnect", "AllDisConnect",
                                 "Connect2", "Address1", ""}) {
            QTest::addRow("shown only: %s", kind)
                << kind << 8 << false << hex("01050001FF00DDFA") << "";
        }
    }
    void interpret()
    {
        QFETCH(QString, kind);
        QFETCH(int, channels);
        QFETCH(bool, scan);
        QFETCH(QByteArray, reply);
        QFETCH(QString, expected);
        ReplyContext context;
        context.kind = RequestKindFromText(kind);
        context.channelCount = channels;
        context.scanRunning = scan;
        const ReplyActions actions = InterpretReply(reply, context);
        QCOMPARE(describe(actions), expected);
        QCOMPARE(actions.receivedText, HexFrameText(reply));
    }

    void setRateFollowsOnlyAnExactEcho_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("baud");
        const QByteArray sent = hex("010602000005 4871");
        QTest::newRow("exact echo") << sent << 5;
        QByteArray changed = sent;
        changed[6] = '\x00';
        QTest::newRow("one byte differs") << changed << -1;
        QTest::newRow("echo and more") << sent + hex("00") << -1;
        QTest::newRow("half an echo") << sent.left(4) << -1;
        QTest::newRow("single byte") << sent.left(1) << -1;
    }
    void setRateFollowsOnlyAnExactEcho()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, baud);
        ReplyContext context;
        context.kind = RequestKind::SetRate;
        context.channelCount = 8;
        context.sentFrame = hex("0106020000054871");
        context.newBaudCode = 5;
        const ReplyActions actions = InterpretReply(reply, context);
        QCOMPARE(actions.baudCode.value_or(-1), baud);
        QVERIFY(actions.switches.empty());
    }

    void stateBits_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("on"); // channel numbers switched on
        QTest::newRow("0x05") << 0x05 << 8 << "1 3";
        QTest::newRow("0x81") << 0x81 << 8 << "1 8";
        QTest::newRow("0xFFFE") << 0xFFFE << 8 << "2 3 4 5 6 7 8";
        QTest::newRow("0x0100") << 0x0100 << 8 << "";
        QTest::newRow("0xFFFF on 4") << 0xFFFF << 4 << "1 2 3 4";
        QTest::newRow("count capped") << 0xFFFF << 16 << "1 2 3 4 5 6 7 8";
        QTest::newRow("no model") << 0xFFFF << 0 << "";
    }
    void stateBits()
    {
        QFETCH(int, value);
        QFETCH(int, channels);
        QFETCH(QString, on);
        const auto moves = StateSwitches(std::uint16_t(value), channels);
        QCOMPARE(int(moves.size()), std::clamp(channels, 0, SwitchCount));
        QStringList seen;
        for (std::size_t k = 0; k < moves.size(); ++k) {
            QCOMPARE(moves[k].index, int(k));
            if (moves[k].on)
                seen << QString::number(k + 1);
        }
        QCOMPARE(seen.join(' '), on);
    }

    // A reply ends early only when it is exactly one well-formed answer to the request sent.
    void whole_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<bool>("whole");
        const auto row = [](const char *name, const Request &request, const QByteArray &received,
                            bool whole) {
            QTest::newRow(name) << RequestKindText(request.kind) << request.frame << received
                                << whole;
        };
        const TimeBytes time{0x00, 0x0A};
        const std::array<TimeBytes, 8> times{time, time, time, time, time, time, time, time};

        // Each kind's answer and an exception answer to its function.
        const Request on = SwitchRequest(1, 1, true);
        row("switch: echo", on, on.frame, true);
        row("switch: exception", on, rtu("018502"), true);
        const Request jog = TimedChannelRequest(TimedAction::Jog, 1, 2, time);
        row("timed: echo", jog, jog.frame, true);
        row("timed: exception", jog, rtu("01B401"), true);
        const Request allJog = TimedAllRequest(TimedAction::DelayedOn, 1, times, 8);
        row("all timed: echo", allJog, allJog.frame, true);
        row("all timed: first 14 bytes", allJog, allJog.frame.first(14), false);
        const Request allOn = AllOnRequest(1);
        row("all on: answer", allOn, modbus::WithCrc(allOn.frame.first(6)), true);
        const Request state = StateRequest(1);
        row("state: answer", state, rtu("0103020081"), true);
        row("state: exception", state, rtu("018302"), true);
        row("state: another byte count", state, rtu("01030400810000"), false);
        const Request setAddress = SetAddressRequest(1, 7);
        row("set address: echo", setAddress, setAddress.frame, true);
        const Request setRate = SetRateRequest(1, 5);
        row("set rate: echo", setRate, setRate.frame, true);
        row("read rate: answer", ReadRateRequest(1), rtu("0103020005"), true);

        // The probe and the scan take any address that answers.
        row("probe: answer from 3", AddressProbe(), rtu("0303020003"), true);
        row("probe: exception from 3", AddressProbe(), rtu("038302"), true);
        row("probe: two addresses in one answer", AddressProbe(), rtu("0303020004"), false);
        row("scan: answer from the address asked", ScanRequest(5), rtu("0503020005"), true);
        row("scan: late answer from the address before", ScanRequest(5), rtu("0403020004"), true);
        row("scan: exception", ScanRequest(5), rtu("058302"), true);

        // Not (yet) whole: the window decides.
        row("nothing", state, QByteArray(), false);
        row("split frame", state, rtu("0103020081").first(4), false);
        row("wrong CRC", state, hex("01030200810000"), false);
        row("wrong address", state, rtu("0203020081"), false);
        row("wrong function", state, rtu("0104020081"), false);
        row("exception to another function", state, rtu("018502"), false);
        row("echo of another channel", on, SwitchRequest(1, 2, true).frame, false);
        row("two frames back to back", state, rtu("0103020081") + rtu("0103020081"), false);
        row("trailing bytes", state, rtu("0103020081") + hex("00"), false);
        row("a stray byte first", state, hex("00") + rtu("0103020081"), false);
        row("scan: bad CRC from another address", ScanRequest(5), hex("04030200040000"), false);
    }
    void whole()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, received);
        QFETCH(bool, whole);
        QCOMPARE(ReplyIsWhole(*RequestKindFromText(kind), request, received), whole);
    }

    // Thousands of random replies under every kind: whatever arrives, the decision stays
    // within what the window has and agrees with the bytes it was read from.
    void randomRepliesStayConsistent()
    {
        QRandomGenerator rng(20261207);
        int moved = 0;
        for (int round = 0; round < 20000; ++round) {
            QByteArray reply(rng.bounded(65), '\0');
            for (char &b : reply)
                b = char(rng.bounded(256));
            // Favour the shapes the interpreter looks at.
            if (round % 4 == 0 && reply.size() > 3)
                reply[3] = char(rng.bounded(10));
            if (round % 5 == 0)
                reply.resize(7);
            ReplyContext context;
            context.kind = allKinds[rng.bounded(int(std::size(allKinds)))];
            context.channelCount = std::array{0, 4, 8}[rng.bounded(3)];
            context.scanRunning = rng.bounded(4) == 0;
            if (const int code = rng.bounded(-1, 12); code >= 0)
                context.newBaudCode = code;
            context.sentFrame = rng.bounded(2) ? reply : QByteArray();

            const ReplyActions a = InterpretReply(reply, context);
            const auto at = [&](int k) { return int(std::uint8_t(reply.at(k))); };

            QCOMPARE(a.receivedText, HexFrameText(reply));
            std::set<int> indices;
            for (const SwitchMove &m : a.switches) {
                QVERIFY(m.index >= 0 && m.index < SwitchCount);
                QVERIFY(indices.insert(m.index).second);
            }
            moved += int(a.switches.size());
            if (context.kind == RequestKind::State)
                QVERIFY(a.switches.empty() ||
                        (reply.size() == 7 && int(a.switches.size()) == context.channelCount));
            else if (context.kind == RequestKind::Connect ||
                     context.kind == RequestKind::DisConnect)
                QVERIFY(a.switches.empty() ||
                        (a.switches.size() == 1 && a.switches[0].index == at(3) &&
                         a.switches[0].on == (context.kind == RequestKind::Connect)));
            else
                QVERIFY(a.switches.empty());
            if (a.scanAddress)
                QCOMPARE(*a.scanAddress, QString::number(at(4)));
            QVERIFY(context.scanRunning || !a.scanAddress);
            if (context.scanRunning && reply.size() < 5)
                QCOMPARE(describe(a), QString());
            if (a.baudCode)
                QVERIFY(*a.baudCode >= 0 && *a.baudCode < 12);
            if (a.message)
                QVERIFY(context.kind == RequestKind::Address ||
                        context.kind == RequestKind::SetAddress);
            if (a.onlyAddress)
                QCOMPARE(*a.onlyAddress, QString::number(at(4)));
            if (a.addressText)
                QCOMPARE(*a.addressText, QString::number(at(5)));
        }
        QVERIFY(moved > 0); // the random shapes did reach the switches
    }
};

QTEST_APPLESS_MAIN(TestReply)
#include "tst_reply.moc"
