#include "protocol/panel.h"

#include <QTest>

using namespace protocol;
using Outcome = PanelDecision::Outcome;

Q_DECLARE_METATYPE(protocol::PanelCommand)
Q_DECLARE_METATYPE(protocol::PanelDecision::Outcome)

namespace {

PanelInputs ready(int channelCount = 8)
{
    PanelInputs in;
    in.portOpen = true;
    in.addressText = "1";
    in.channelCount = channelCount;
    in.timeTexts = QStringList{"20", "2", "3", "4", "8", "8", "8", "1"};
    return in;
}

QString frameOf(const PanelDecision &d)
{
    return d.request ? QString(d.request->frame.toHex(' ').toUpper()) : QString();
}

} // namespace

class TestPanel : public QObject
{
    Q_OBJECT
private slots:
    // The frames every control sends from a ready window.
    void frames_data()
    {
        QTest::addColumn<PanelCommand>("command");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("clears");
        QTest::newRow("switch 0 on")
            << PanelCommand::SwitchOn << 0 << 8 << "01 05 00 00 FF 00 8C 3A" << true;
        QTest::newRow("switch 0 off")
            << PanelCommand::SwitchOff << 0 << 8 << "01 05 00 00 00 00 CD CA" << false;
        QTest::newRow("jog 0, time 10")
            << PanelCommand::Jog << 0 << 8 << "01 34 F0 00 00 0A 03 09" << true;
        QTest::newRow("delayed on 2, time 20")
            << PanelCommand::DelayedOn << 2 << 8 << "01 30 F0 02 00 14 D3 01" << true;
        QTest::newRow("delayed off 7, time 65535")
            << PanelCommand::DelayedOff << 7 << 8 << "01 32 F0 07 FF FF BB 7F" << true;
        QTest::newRow("all jog 8")
            << PanelCommand::AllJog << 0 << 8
            << "01 35 F0 00 00 14 00 02 00 03 00 04 00 08 00 08 00 08 00 01 AF FB" << true;
        QTest::newRow("all jog 4") << PanelCommand::AllJog << 0 << 4
                                   << "01 35 F0 00 00 14 00 02 00 03 00 04 AE CC" << true;
        QTest::newRow("all on") << PanelCommand::AllOn << 0 << 8
                                << "01 0F 00 00 00 10 02 FF FF E3 90" << true;
        QTest::newRow("all off") << PanelCommand::AllOff << 0 << 4
                                 << "01 0F 00 00 00 10 02 00 00 E2 20" << true;
        QTest::newRow("mask") << PanelCommand::Mask << 0 << 8 << "01 0F 00 00 00 10 02 05 00 E1 70"
                              << false;
        QTest::newRow("state") << PanelCommand::ReadState << 0 << 8 << "01 03 00 00 00 01 84 0A"
                               << false;
    }
    void frames()
    {
        QFETCH(PanelCommand, command);
        QFETCH(int, channel);
        QFETCH(int, channels);
        QFETCH(QString, frame);
        QFETCH(bool, clears);
        PanelInputs in = ready(channels);
        in.channel = channel;
        in.checks = {true, false, true, false, false, false, false, false};
        if (command == PanelCommand::Jog || command == PanelCommand::DelayedOn ||
            command == PanelCommand::DelayedOff)
            in.timeTexts = QStringList{"10", "2", "20", "4", "8", "8", "8", "65535"};
        const PanelDecision d = DecideCommand(command, in);
        QCOMPARE(d.outcome, Outcome::Send);
        QCOMPARE(frameOf(d), frame);
        QCOMPARE(protocol::RuleOfKind(d.request->kind).clearsReceived, clears);
    }

    // What each control does when the port is closed or the address is unusable.
    void refusals_data()
    {
        QTest::addColumn<PanelCommand>("command");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("address");
        QTest::addColumn<Outcome>("outcome");
        const struct
        {
            PanelCommand command;
            const char *name;
            bool message;
        } table[] = {
            {PanelCommand::SwitchOn, "switch on", true},
            {PanelCommand::SwitchOff, "switch off", false},
            {PanelCommand::Jog, "jog", true},
            {PanelCommand::DelayedOn, "delayed on", true},
            {PanelCommand::DelayedOff, "delayed off", true},
            {PanelCommand::AllOn, "all on", false},
            {PanelCommand::AllOff, "all off", false},
            {PanelCommand::AllJog, "all jog", true},
            {PanelCommand::AllDelayedOn, "all delayed on", true},
            {PanelCommand::AllDelayedOff, "all delayed off", true},
            {PanelCommand::Mask, "mask", false},
            {PanelCommand::ReadState, "read state", false},
        };
        for (const auto &row : table) {
            QTest::addRow("%s, port closed", row.name)
                << row.command << false << "1"
                << (row.message ? Outcome::PortClosed : Outcome::Silent);
            for (const char *address : {"0", "256", "", "abc", "-1"})
                QTest::addRow("%s, address '%s'", row.name, address)
                    << row.command << true << address << Outcome::Silent;
        }
    }
    void refusals()
    {
        QFETCH(PanelCommand, command);
        QFETCH(bool, portOpen);
        QFETCH(QString, address);
        QFETCH(Outcome, outcome);
        PanelInputs in = ready();
        in.portOpen = portOpen;
        in.addressText = address;
        in.channel = 3;
        const PanelDecision d = DecideCommand(command, in);
        QCOMPARE(d.outcome, outcome);
        QVERIFY(!d.request);
        // Only a switch turned on with the port closed moves back, and only itself.
        if (command == PanelCommand::SwitchOn && !portOpen) {
            QCOMPARE(d.switches.size(), std::size_t(1));
            QCOMPARE(d.switches[0], (SwitchMove{3, false}));
        } else {
            QVERIFY(d.switches.empty());
        }
    }

    void badTimes_data()
    {
        QTest::addColumn<PanelCommand>("command");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<int>("badBox"); // -1: sent
        const QStringList full = {"1", "1", "1", "1", "1", "1", "1", "1"};
        QStringList emptyAt5 = full;
        emptyAt5[5] = "";
        QStringList zeroAt1 = full;
        zeroAt1[1] = "0";
        QTest::newRow("jog, own box empty") << PanelCommand::Jog << 5 << 8 << emptyAt5 << 5;
        QTest::newRow("jog, other box empty") << PanelCommand::Jog << 4 << 8 << emptyAt5 << -1;
        QTest::newRow("delayed off, zero") << PanelCommand::DelayedOff << 1 << 8 << zeroAt1 << 1;
        QTest::newRow("all delayed on, 8") << PanelCommand::AllDelayedOn << 0 << 8 << emptyAt5 << 5;
        QTest::newRow("all delayed on, 4")
            << PanelCommand::AllDelayedOn << 0 << 4 << emptyAt5 << -1;
        QTest::newRow("all delayed off, first bad")
            << PanelCommand::AllDelayedOff << 0 << 8 << (QStringList(zeroAt1) << "") << 1;
        QTest::newRow("all jog, letters")
            << PanelCommand::AllJog << 0 << 4 << QStringList{"1", "1", "x", "1"} << 2;
    }
    void badTimes()
    {
        QFETCH(PanelCommand, command);
        QFETCH(int, channel);
        QFETCH(int, channels);
        QFETCH(QStringList, times);
        QFETCH(int, badBox);
        PanelInputs in = ready(channels);
        in.channel = channel;
        in.timeTexts = times;
        const PanelDecision d = DecideCommand(command, in);
        if (badBox < 0) {
            QCOMPARE(d.outcome, Outcome::Send);
            QVERIFY(d.request);
        } else {
            QCOMPARE(d.outcome, Outcome::BadTime);
            QCOMPARE(d.badTimeBox, badBox);
            QVERIFY(!d.request);
        }
    }

    void allOnMovesTheModelsSwitches_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("4") << 4;
        QTest::newRow("8") << 8;
        QTest::newRow("no model") << 0;
    }
    void allOnMovesTheModelsSwitches()
    {
        QFETCH(int, channels);
        for (bool on : {true, false}) {
            const PanelDecision d =
                DecideCommand(on ? PanelCommand::AllOn : PanelCommand::AllOff, ready(channels));
            QCOMPARE(int(d.switches.size()), channels);
            for (int k = 0; k < channels; ++k)
                QCOMPARE(d.switches[std::size_t(k)], (SwitchMove{k, on}));
        }
    }

    void rowsOfModel()
    {
        QString seen;
        for (int count : {0, 4, 8, 5})
            for (int row = 0; row < 8; ++row)
                seen += RowEnabled(row, count) ? '1' : '0';
        QCOMPARE(seen, QString("00000000"
                               "11110000"
                               "11111111"
                               "00000000"));
    }
};

QTEST_APPLESS_MAIN(TestPanel)
#include "tst_panel.moc"
