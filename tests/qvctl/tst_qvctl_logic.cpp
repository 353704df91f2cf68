// The parts of qvctl that need no line: reading the command line, the waits, the output.

#include "modbus/timing.h"
#include "qvctl/invocation.h"
#include "qvctl/report.h"

#include <QTest>

using namespace qvctl;

namespace {

// The fields an invocation sets, in one line.
QString Summary(const Invocation &in)
{
    QStringList parts = {CommandName(in.command), QStringLiteral("port=%1").arg(in.port),
                         QStringLiteral("baud=%1").arg(in.baud),
                         QStringLiteral("address=%1").arg(in.address),
                         QStringLiteral("channels=%1").arg(in.channelCount)};
    if (in.timeoutMs)
        parts << QStringLiteral("timeout=%1").arg(*in.timeoutMs);
    if (in.retries)
        parts << QStringLiteral("retries=%1").arg(in.retries);
    if (in.echo != bus::Echo::Auto)
        parts << QStringLiteral("echo=%1").arg(bus::EchoText(in.echo));
    if (in.json)
        parts << QStringLiteral("json");
    if (in.verbose)
        parts << QStringLiteral("verbose");
    if (!in.channels.isEmpty()) {
        QStringList list;
        for (const int c : in.channels)
            list << QString::number(c);
        parts << QStringLiteral("ch=%1").arg(list.join(u','));
    }
    if (in.tenths)
        parts << QStringLiteral("tenths=%1").arg(in.tenths);
    if (in.command == Command::Mask) {
        QString bits;
        for (const bool b : in.mask)
            bits += b ? u'1' : u'0';
        parts << QStringLiteral("mask=%1").arg(bits);
    }
    if (in.newAddress)
        parts << QStringLiteral("new=%1").arg(in.newAddress);
    if (in.newBaud)
        parts << QStringLiteral("new=%1").arg(in.newBaud);
    if (in.command == Command::Scan)
        parts << QStringLiteral("range=%1-%2").arg(in.scanFrom).arg(in.scanTo);
    if (!in.bytes.isEmpty())
        parts << QStringLiteral("bytes=%1").arg(QString::fromLatin1(in.bytes.toHex(' ')));
    return parts.join(u' ');
}

} // namespace

class TestQvctlLogic : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("summary");
        const QStringList p = {"qvctl", "--port", "/dev/ttyUSB0"};
        QTest::newRow("defaults") << p + QStringList{"state"}
                                  << "state port=/dev/ttyUSB0 baud=9600 address=1 channels=8";
        QTest::newRow("every option")
            << QStringList{"qvctl",     "--port=/dev/pts/3",
                           "--baud",    "2400",
                           "--address", "200",
                           "--model",   "qv-04",
                           "--timeout", "500",
                           "--retries", "3",
                           "--json",    "--verbose",
                           "off",       "4",
                           "1"}
            << "off port=/dev/pts/3 baud=2400 address=200 channels=4 timeout=500 retries=3 json "
               "verbose ch=4,1";
        QTest::newRow("echo dropped") << p + QStringList{"--echo", "drop", "on", "1"}
                                      << "on port=/dev/ttyUSB0 baud=9600 address=1 channels=8 "
                                         "echo=drop ch=1";
        QTest::newRow("no echo") << p + QStringList{"state", "--echo=none"}
                                 << "state port=/dev/ttyUSB0 baud=9600 address=1 channels=8 "
                                    "echo=none";
        QTest::newRow("options after the command")
            << QStringList{"qvctl", "on", "2", "--port", "/dev/x", "--address", "0"}
            << "on port=/dev/x baud=9600 address=0 channels=8 ch=2";
        QTest::newRow("jog") << p + QStringList{"jog", "8", "6553.5"}
                             << "jog port=/dev/ttyUSB0 baud=9600 address=1 channels=8 ch=8 "
                                "tenths=65535";
        QTest::newRow("all delay-off") << p + QStringList{"all", "delay-off", "0.1"}
                                       << "all delay-off port=/dev/ttyUSB0 baud=9600 address=1 "
                                          "channels=8 tenths=1";
        QTest::newRow("mask, channel 1 first")
            << p + QStringList{"mask", "101"}
            << "mask port=/dev/ttyUSB0 baud=9600 address=1 channels=8 mask=10100000";
        QTest::newRow("mask in hex, channel 1 in bit 0")
            << p + QStringList{"mask", "0xC1"}
            << "mask port=/dev/ttyUSB0 baud=9600 address=1 channels=8 mask=10000011";
        QTest::newRow("scan one address") << p + QStringList{"scan", "17"}
                                          << "scan port=/dev/ttyUSB0 baud=9600 address=1 "
                                             "channels=8 range=17-17";
        QTest::newRow("set-baud") << p + QStringList{"set-baud", "115200"}
                                  << "set-baud port=/dev/ttyUSB0 baud=9600 address=1 channels=8 "
                                     "new=115200";
        QTest::newRow("send, bytes split any way, CRC appended")
            << p + QStringList{"send", "01 05", "0000ff00", "--crc"}
            << "send port=/dev/ttyUSB0 baud=9600 address=1 channels=8 bytes=01 05 00 00 ff 00 8c "
               "3a";
        QTest::newRow("ports takes no port")
            << QStringList{"qvctl", "ports"} << "ports port= baud=9600 address=1 channels=8";
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, summary);
        const ParseOutcome outcome = ParseArguments(arguments);
        QCOMPARE(outcome.text, QString());
        QCOMPARE(outcome.kind, ParseOutcome::Kind::Run);
        QCOMPARE(Summary(outcome.invocation), summary);
    }

    void seconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tenths"); // -1: refused
        QTest::newRow("shortest") << "0.1" << 1;
        QTest::newRow("longest") << "6553.5" << 65535;
        QTest::newRow("whole seconds") << "12" << 120;
        QTest::newRow("trailing zeros") << "2.50" << 25;
        QTest::newRow("finer than 0.1 s") << "2.55" << -1;
        QTest::newRow("zero") << "0.0" << -1;
        QTest::newRow("too long") << "6553.6" << -1;
        QTest::newRow("no digit before the point") << ".5" << -1;
        QTest::newRow("sign") << "-1" << -1;
        QTest::newRow("exponent") << "1e2" << -1;
    }
    void seconds()
    {
        QFETCH(QString, text);
        QFETCH(int, tenths);
        const auto parsed = ParseSeconds(text);
        QCOMPARE(parsed ? int(*parsed) : -1, tenths);
    }

    // The waits follow the wire time at 10 bits a byte.
    void timeouts()
    {
        QCOMPARE(modbus::AnswerTimeoutMs(8, 8, 9600), 117); // 16.7 ms on the wire
        QCOMPARE(modbus::AnswerTimeoutMs(8, 7, 300), 600);  // 500 ms on the wire
        QCOMPARE(modbus::AnswerTimeoutMs(22, 22, 115200), 104);
        // A scan of every address at 9600 baud stays within seven seconds.
        QVERIFY(modbus::ScanWaitMs(9600) * 255 < 7000);
        QCOMPARE(modbus::QuietGapMs(115200), 1.75);
    }

    void output()
    {
        QCOMPARE(ChannelStatesText(0x81, 8), "1:on 2:off 3:off 4:off 5:off 6:off 7:off 8:on");
        QCOMPARE(ChannelStatesText(0x81, 4), "1:on 2:off 3:off 4:off");
        QCOMPARE(ChannelStatesJson(0x02, 4).value("2").toString(), "on");
        QCOMPARE(SecondsText(25), "2.5");
        QCOMPARE(SecondsText(30), "3");
        QCOMPARE(ResultLine({"3", {{"address", 3}}}, false), "3\n");
        QCOMPARE(ResultLine({"3", {{"address", 3}}}, true), "{\"address\":3}\n");
        QCOMPARE(FailureJsonLine("state", Exit::NoAnswer, "no answer"),
                 "{\"command\":\"state\",\"error\":\"no-answer\",\"exit\":1,\"message\":\"no "
                 "answer\"}\n");
    }
};

QTEST_GUILESS_MAIN(TestQvctlLogic)
#include "tst_qvctl_logic.moc"
