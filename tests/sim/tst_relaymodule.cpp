#include "modbus/crc.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "sim/relaymodule.h"

#include "support/frames.h"

#include <QTest>

using namespace sim;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(sim::ModuleConfig)

namespace {

using testframes::hex;
using testframes::rtu;

// What the module answers to bytes sent as one frame, as hex text ("" for silence).
QString ask(RelayModule &module, const QByteArray &bytes, Micros now = 0us)
{
    const auto cut = NextFrame(bytes);
    const FrameKind kind = cut ? cut->kind : FrameAtSilence(bytes);
    const QByteArray answer = module.hear(kind, bytes, now);
    module.answerSent();
    return protocol::HexFrameText(answer).trimmed();
}

QString rtuText(const char *text)
{
    return protocol::HexFrameText(rtu(text)).trimmed();
}

ModuleConfig config(int address, int relays = 8, int baudCode = 5)
{
    return ModuleConfig{std::uint8_t(address), baudCode, relays};
}

} // namespace

class TestRelayModule : public QObject
{
    Q_OBJECT
private slots:
    // Each row: a module, frames sent before, the frame asked, and the answer without its CRC
    // ("" when the module must stay silent).
    void answers_data()
    {
        QTest::addColumn<ModuleConfig>("setup");
        QTest::addColumn<QByteArrayList>("before");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("answer");

        const ModuleConfig one = config(1);
        const QByteArray relay2On = protocol::SwitchRequest(1, 1, true).frame;
        auto row = [](const char *name, ModuleConfig c, QByteArrayList before, QByteArray req,
                      const char *answer) {
            QTest::newRow(name) << c << before << req << (*answer ? rtuText(answer) : QString());
        };

        row("read coils, all off", one, {}, rtu("01 01 00 00 00 10"), "01 01 02 00 00");
        row("read coils after relay 2 on", one, {relay2On}, rtu("01 01 00 00 00 08"),
            "01 01 01 02");
        row("read coils from coil 1", one, {relay2On}, rtu("01 01 00 01 00 03"), "01 01 01 01");
        row("switch on is echoed", one, {}, relay2On, "01 05 00 01 FF 00");
        row("switch coil 12 of a QV-08", one, {}, rtu("01 05 00 0B FF 00"), "01 05 00 0B FF 00");
        row("state register", one, {relay2On}, protocol::StateRequest(1).frame, "01 03 02 00 02");
        row("address register", config(42), {}, protocol::ScanRequest(42).frame, "2A 03 02 00 2A");
        row("baud register", config(1, 8, 7), {}, protocol::ReadRateRequest(1).frame,
            "01 03 02 00 07");
        row("all on", one, {}, protocol::AllOnRequest(1).frame, "01 0F 00 00 00 10");
        row("mask 05, then state", one, {protocol::MaskRequest(1, {1, 0, 1}).frame},
            protocol::StateRequest(1).frame, "01 03 02 00 05");
        row("all on, QV-04 state", config(1, 4), {protocol::AllOnRequest(1).frame},
            protocol::StateRequest(1).frame, "01 03 02 00 0F");
        row("all on, QV-04 coils 5..16 read 0", config(1, 4), {protocol::AllOnRequest(1).frame},
            rtu("01 01 00 00 00 10"), "01 01 02 0F 00");
        row("probe", config(0x10), {}, hex("24 FF 03 A0 00 C6"), "10 03 02 00 10");
        row("set address echo", one, {}, protocol::SetAddressRequest(1, 9).frame,
            "01 06 01 00 00 09");
        row("set rate echo", one, {}, protocol::SetRateRequest(1, 11).frame, "01 06 02 00 00 0B");

        row("wrong address", config(2), {}, relay2On, "");
        row("bad CRC", one, {}, hex("01 05 00 01 FF 00 DD FB"), "");
        row("broadcast switch", one, {}, rtu("00 05 00 01 FF 00"), "");
        row("broadcast then state", one, {rtu("00 05 00 01 FF 00")},
            protocol::StateRequest(1).frame, "01 03 02 00 02");
        row("garbage", one, {}, hex("FF FF FF"), "");

        row("unknown function", one, {}, rtu("01 07"), "01 87 01");
        row("read input registers", one, {}, rtu("01 04 00 00 00 01"), "01 84 01");
        row("coils beyond 16", one, {}, rtu("01 01 00 0A 00 08"), "01 81 02");
        row("read no coils", one, {}, rtu("01 01 00 00 00 00"), "01 81 03");
        row("unknown register", one, {}, rtu("01 03 03 00 00 01"), "01 83 02");
        row("two registers", one, {}, rtu("01 03 00 00 00 02"), "01 83 02");
        row("coil value 1234", one, {}, rtu("01 05 00 00 12 34"), "01 85 03");
        row("coil 16", one, {}, rtu("01 05 00 10 FF 00"), "01 85 02");
        row("address 0", one, {}, rtu("01 06 01 00 00 00"), "01 86 03");
        row("address 256", one, {}, rtu("01 06 01 00 01 00"), "01 86 03");
        row("baud code 12", one, {}, rtu("01 06 02 00 00 0C"), "01 86 03");
        row("write state register", one, {}, rtu("01 06 00 00 00 01"), "01 86 02");
        row("0F byte count wrong", one, {}, rtu("01 0F 00 00 00 10 01 FF"), "01 8F 03");
        row("0F beyond 16", one, {}, rtu("01 0F 00 08 00 10 02 FF FF"), "01 8F 02");
        row("jog channel 9 of a QV-08", one, {}, rtu("01 34 F0 08 00 0A"), "01 B4 02");
        row("delay on time 0", one, {}, rtu("01 30 F0 00 00 00"), "01 B0 03");
        row("delay without F0", one, {}, rtu("01 30 00 00 00 0A"), "01 B0 03");
    }
    void answers()
    {
        QFETCH(ModuleConfig, setup);
        QFETCH(QByteArrayList, before);
        QFETCH(QByteArray, request);
        QFETCH(QString, answer);

        RelayModule module(setup);
        for (const QByteArray &frame : before)
            ask(module, frame);
        QCOMPARE(ask(module, request), answer);
    }

    // The timed functions, driven by a made-up clock. States are relay bitmaps, relay 1 in bit 0.
    void timedFunctions_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("before");     // bitmap before the request
        QTest::addColumn<int>("at0");        // right after it
        QTest::addColumn<int>("atMs");       // a moment later
        QTest::addColumn<int>("afterwards"); // bitmap then

        using protocol::TimedAction;
        const protocol::TimeBytes t20{0x00, 0x14};
        const std::vector<protocol::TimeBytes> times = {{0, 10}, {0, 20}, {0, 0}, {0, 30}};
        QTest::newRow("delayed on, not yet")
            << protocol::TimedChannelRequest(TimedAction::DelayedOn, 1, 2, t20).frame << 0 << 0
            << 1999 << 0;
        QTest::newRow("delayed on, 2.0 s")
            << protocol::TimedChannelRequest(TimedAction::DelayedOn, 1, 2, t20).frame << 0 << 0
            << 2000 << 0x04;
        QTest::newRow("delayed off")
            << protocol::TimedChannelRequest(TimedAction::DelayedOff, 1, 0, t20).frame << 0xFF
            << 0xFF << 2000 << 0xFE;
        QTest::newRow("jog") << protocol::TimedChannelRequest(TimedAction::Jog, 1, 7, t20).frame
                             << 0 << 0x80 << 2000 << 0;
        QTest::newRow("jog, still on")
            << protocol::TimedChannelRequest(TimedAction::Jog, 1, 7, t20).frame << 0 << 0x80 << 1000
            << 0x80;
        QTest::newRow("all delayed on, 1.5 s")
            << protocol::TimedAllRequest(TimedAction::DelayedOn, 1, times, 4).frame << 0 << 0
            << 1500 << 0x01;
        QTest::newRow("all delayed on, 3 s")
            << protocol::TimedAllRequest(TimedAction::DelayedOn, 1, times, 4).frame << 0 << 0
            << 3000 << 0x0B;
        QTest::newRow("all delayed off, time 0 leaves relay 3")
            << protocol::TimedAllRequest(TimedAction::DelayedOff, 1, times, 8).frame << 0xFF << 0xFF
            << 3000 << 0xF4;
        QTest::newRow("all jog") << protocol::TimedAllRequest(TimedAction::Jog, 1, times, 8).frame
                                 << 0 << 0x0B << 1000 << 0x0A;
    }
    void timedFunctions()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, before);
        QFETCH(int, at0);
        QFETCH(int, atMs);
        QFETCH(int, afterwards);

        RelayModule module(config(1));
        for (int k = 0; k < 8; ++k)
            module.setRelay(k, before >> k & 1);
        const Micros start = 5s;
        // The request is echoed.
        QCOMPARE(ask(module, request, start), protocol::HexFrameText(request).trimmed());
        QCOMPARE(module.relayBits(), at0);
        module.advance(start + std::chrono::milliseconds(atMs));
        QCOMPARE(module.relayBits(), afterwards);
    }

    void timerDeadlineAndSwitchCancels()
    {
        RelayModule module(config(1));
        ask(module, protocol::TimedChannelRequest(protocol::TimedAction::Jog, 1, 0, {0, 5}).frame,
            1s);
        QCOMPARE(module.nextDeadline(), std::optional<Micros>(1500ms));
        QVERIFY(module.timerRunning(0));
        // Switching the relay off by hand ends the jog; it must not come back on or off later.
        ask(module, protocol::SwitchRequest(1, 0, true).frame, 1200ms);
        QVERIFY(!module.timerRunning(0));
        QCOMPARE(module.nextDeadline(), std::nullopt);
        module.advance(2s);
        QVERIFY(module.relay(0));
    }

    // A new address or baud code is used only once the echo, sent under the old one, is out.
    void changesAfterEcho()
    {
        RelayModule module(config(1));
        QByteArray echo = module.hear(FrameKind::Rtu, protocol::SetAddressRequest(1, 7).frame, 0us);
        QCOMPARE(uchar(echo[0]), uchar(1));
        QCOMPARE(module.address(), 1);
        module.answerSent();
        QCOMPARE(module.address(), 7);

        echo = module.hear(FrameKind::Rtu, protocol::SetRateRequest(7, 0).frame, 0us);
        QVERIFY(!echo.isEmpty());
        QCOMPARE(module.baudRate(), 9600);
        module.answerSent();
        QCOMPARE(module.baudRate(), 300);

        // A broadcast change is never answered and takes effect at once.
        QCOMPARE(ask(module, rtu("00 06 01 00 00 21")), QString());
        QCOMPARE(module.address(), 0x21);
    }

    void textCommands_data()
    {
        QTest::addColumn<ModuleConfig>("setup");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("state");

        const ModuleConfig one = config(1);
        QTest::newRow("out1 on") << one << QByteArray("AT+OUT1+1=ON\r\n") << QByteArray("OK\r\n")
                                 << 0x01;
        QTest::newRow("out8 on, lower case")
            << one << QByteArray("at+out8+1=on\r\n") << QByteArray("OK\r\n") << 0x80;
        QTest::newRow("all on") << one << QByteArray("AT+ALLOUT+1=ON\r\n") << QByteArray("OK\r\n")
                                << 0xFF;
        QTest::newRow("all on QV-04")
            << config(1, 4) << QByteArray("AT+ALLOUT+1=ON\r\n") << QByteArray("OK\r\n") << 0x0F;
        QTest::newRow("status") << one << QByteArray("AT+STATUS+1=?\r\n")
                                << QByteArray("STATUS:00000000\r\n") << 0;
        QTest::newRow("status QV-04") << config(1, 4) << QByteArray("AT+STATUS+1=?\r\n")
                                      << QByteArray("STATUS:0000\r\n") << 0;
        QTest::newRow("other address")
            << one << QByteArray("AT+OUT1+2=ON\r\n") << QByteArray() << 0;
        QTest::newRow("address 0 acts silently")
            << one << QByteArray("AT+ALLOUT+0=ON\r\n") << QByteArray() << 0xFF;
        QTest::newRow("relay 9 of a QV-08")
            << one << QByteArray("AT+OUT9+1=ON\r\n") << QByteArray("ERROR\r\n") << 0;
        QTest::newRow("relay 5 of a QV-04")
            << config(1, 4) << QByteArray("AT+OUT5+1=ON\r\n") << QByteArray("ERROR\r\n") << 0;
        QTest::newRow("bad value")
            << one << QByteArray("AT+OUT1+1=MAYBE\r\n") << QByteArray("ERROR\r\n") << 0;
        QTest::newRow("not a command") << one << QByteArray("ATZ\r\n") << QByteArray() << 0;
    }
    void textCommands()
    {
        QFETCH(ModuleConfig, setup);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        QFETCH(int, state);

        RelayModule module(setup);
        const auto cut = NextFrame(command);
        QVERIFY(cut);
        QCOMPARE(cut->kind, FrameKind::Text);
        QCOMPARE(cut->length, command.size());
        QCOMPARE(module.hear(cut->kind, command, 0us), answer);
        QCOMPARE(module.relayBits(), state);
    }

    void statusShowsRelays()
    {
        RelayModule module(config(1));
        module.setRelay(0, true);
        module.setRelay(2, true);
        QCOMPARE(module.hear(FrameKind::Text, "AT+STATUS+1=?\r\n", 0us),
                 QByteArray("STATUS:10100000\r\n"));
    }

    void framing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind"); // -1: more bytes needed
        QTest::addColumn<int>("length");

        const QByteArray jog14 = protocol::TimedAllRequest(protocol::TimedAction::Jog, 1,
                                                           std::vector<protocol::TimeBytes>(4), 4)
                                     .frame;
        const QByteArray jog22 = protocol::TimedAllRequest(protocol::TimedAction::Jog, 1,
                                                           std::vector<protocol::TimeBytes>(8), 8)
                                     .frame;
        QTest::newRow("switch") << protocol::SwitchRequest(1, 0, true).frame << int(FrameKind::Rtu)
                                << 8;
        QTest::newRow("switch, half")
            << protocol::SwitchRequest(1, 0, true).frame.left(5) << -1 << 0;
        QTest::newRow("two frames") << protocol::StateRequest(1).frame + rtu("02 03 00 00 00 01")
                                    << int(FrameKind::Rtu) << 8;
        QTest::newRow("all-on") << protocol::AllOnRequest(1).frame << int(FrameKind::Rtu) << 11;
        QTest::newRow("all jog, 4 pairs") << jog14 << int(FrameKind::Rtu) << 14;
        QTest::newRow("all jog, 8 pairs") << jog22 << int(FrameKind::Rtu) << 22;
        QTest::newRow("all jog, 8 pairs, 15 bytes in") << jog22.left(15) << -1 << 0;
        QTest::newRow("probe") << hex("24 FF 03 A0 00 C6 01") << int(FrameKind::Probe) << 6;
        QTest::newRow("probe, half") << hex("24 FF 03") << -1 << 0;
        QTest::newRow("text") << QByteArray("AT+STATUS+1=?\r\nAT") << int(FrameKind::Text) << 15;
        QTest::newRow("text, unfinished") << QByteArray("AT+STATUS") << -1 << 0;
        QTest::newRow("damaged") << hex("01 05 00 01 FF 00 DD FB 01") << int(FrameKind::Garbage)
                                 << 9;
        QTest::newRow("unknown function") << rtu("01 07") << -1 << 0;
    }
    void framing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(int, length);

        const auto cut = NextFrame(bytes);
        if (kind < 0) {
            QVERIFY(!cut);
            return;
        }
        QVERIFY(cut);
        QCOMPARE(int(cut->kind), kind);
        QCOMPARE(cut->length, length);
    }

    void moduleOption_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<ModuleConfig>("expected");

        QTest::newRow("address") << "3" << true << config(3);
        QTest::newRow("model") << "200:QV-04" << true << config(200, 4);
        QTest::newRow("all") << "7:QV-08:19200" << true << config(7, 8, 7);
        QTest::newRow("rate without model") << "7::300" << true << config(7, 8, 0);
        QTest::newRow("address 0") << "0" << false << ModuleConfig{};
        QTest::newRow("address 256") << "256" << false << ModuleConfig{};
        QTest::newRow("unknown model") << "1:QV-16" << false << ModuleConfig{};
        QTest::newRow("rate not in list") << "1:QV-08:12345" << false << ModuleConfig{};
        QTest::newRow("unknown format") << "1:QV-08:9600:x" << false << ModuleConfig{};
        QTest::newRow("parity and two stop bits") << "1:QV-08:9600:8E2" << false << ModuleConfig{};
        QTest::newRow("too many fields") << "1:QV-08:9600:8N1:x" << false << ModuleConfig{};
        ModuleConfig even = config(3, 8, 5);
        even.format = {'E', 1};
        QTest::newRow("even parity") << "3:QV-08:9600:8e1" << true << even;
        ModuleConfig twoStops = config(3, 8, 5);
        twoStops.format = {'N', 2};
        QTest::newRow("two stop bits, then a fault") << "3:QV-08:9600:8N2:stuck=5" << true << [&] {
            ModuleConfig c = twoStops;
            c.faults = {5, 0, 0, 0};
            return c;
        }();
        QTest::newRow("text") << "one" << false << ModuleConfig{};

        const auto faulty = [](Faults faults, int relays = 8) {
            ModuleConfig c = config(3, relays);
            c.faults = faults;
            return c;
        };
        QTest::newRow("stuck relay") << "3:QV-08:9600:stuck=5" << true << faulty({5, 0, 0, 0});
        QTest::newRow("faults after the address")
            << "3:slow=40:drop=1%" << true << faulty({0, 40, 0.01, 0});
        QTest::newRow("timing long") << "3:timing=+300" << true << faulty({0, 0, 0, 300});
        QTest::newRow("timing short") << "3:timing=-200" << true << faulty({0, 0, 0, -200});
        QTest::newRow("stuck beyond the model") << "3:QV-04:stuck=5" << false << ModuleConfig{};
        QTest::newRow("drop over 100%") << "3:drop=150%" << false << ModuleConfig{};
        QTest::newRow("unknown fault") << "3:burnt=1" << false << ModuleConfig{};
    }
    void moduleOption()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(ModuleConfig, expected);

        const auto parsed = ParseModuleOption(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QVERIFY(*parsed == expected);
    }
};

QTEST_GUILESS_MAIN(TestRelayModule)
#include "tst_relaymodule.moc"
