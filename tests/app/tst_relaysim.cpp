// The relay panel against the virtual relay module served in this process: the module's own
// relays and clock answer the window, at the line's real timing.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "sim/demo.h"
#include "sim/virtualline.h"
#include "support/panelprobe.h"
#include "support/services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class TestRelaySim : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<sim::VirtualLine> line;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    sim::RelayModule &module() { return line->bus().module(0); }
    // The module's relays 1..8 as a text of 0 and 1.
    QString relays()
    {
        QString s;
        for (int i = 0; i < module().relayCount(); ++i)
            s += module().relay(i) ? '1' : '0';
        return s;
    }
    QString switches() const { return panelprobe::Switches(*form); }
    bool awaitReply(int timeout = 3000) { return panelprobe::AwaitReply(*form, timeout); }
    void readState()
    {
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
    }

private slots:
    void init()
    {
        line = std::make_unique<sim::VirtualLine>();
        line->addModule({1, 5, 8});
        serial::CommPort::RegisterVirtualPort("MODULE", line.get());
        form = std::make_unique<Form1>(app::StartOptions{}, support::TestServices(&messages));
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        form->MSComm1.setPortName("MODULE");
        QVERIFY(form->MSComm1.setSettings("9600 ,N,8,1"));
        QCOMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
        form->Combo1->setCurrentIndex(1);
        form->Text1->setEditText("1");
        messages.clear();
    }
    void cleanup()
    {
        form.reset();
        serial::CommPort::UnregisterVirtualPort("MODULE");
        line.reset();
    }

    void switchesFollowTheModule()
    {
        for (int i : {0, 3, 7}) {
            form->SafeSwitch[i]->setValue(true);
            QVERIFY(awaitReply());
        }
        QCOMPARE(relays(), QString("10010001"));
        QCOMPARE(switches(), QString("10010001"));
        form->SafeSwitch[3]->setValue(false);
        QVERIFY(awaitReply());
        QCOMPARE(relays(), QString("10000001"));
        // Switches moved by hand without a request: a state read puts them right.
        SetSwitchQuietly(form->SafeSwitch[2], true);
        SetSwitchQuietly(form->SafeSwitch[0], false);
        readState();
        QCOMPARE(switches(), QString("10000001"));
        QVERIFY(messages.messages.isEmpty());
    }

    // Jog: the module closes the relay and opens it again after the time, by its own clock.
    void jogRunsOnTheModulesClock()
    {
        form->DDT[0]->setEditText("3"); // 0.3 s
        emit form->DD[0]->Click();
        QCOMPARE(form->LblOut->text(), QString("01 34 F0 00 00 03 C3 0F "));
        QTRY_COMPARE_WITH_TIMEOUT(relays().left(1), QString("1"), 2000);
        QCOMPARE(switches(), QString("00000000")); // the window does not follow timed state
        QTRY_COMPARE_WITH_TIMEOUT(relays().left(1), QString("0"), 3000);
        QCOMPARE(form->LblIn->text(), QString("01 34 F0 00 00 03 C3 0F ")); // the echo, shown only
    }

    void delayedOnAndOff()
    {
        form->TM[5]->setEditText("2");
        emit form->ONQ[5]->Click();
        QCOMPARE(relays(), QString("00000000"));
        QTRY_COMPARE_WITH_TIMEOUT(relays(), QString("00000100"), 3000);
        emit form->OFF[5]->Click();
        QTRY_COMPARE_WITH_TIMEOUT(relays(), QString("00000000"), 3000);
    }

    void allChannelCommands_data()
    {
        QTest::addColumn<int>("channels");
        QTest::newRow("QV-04 settings") << 4;
        QTest::newRow("QV-08 settings") << 8;
    }
    void allChannelCommands()
    {
        QFETCH(int, channels);
        form->Combo1->setCurrentIndex(channels == 4 ? 0 : 1);
        emit form->qzbutton3->Click();
        QVERIFY(awaitReply());
        QCOMPARE(relays(), QString("11111111"));
        emit form->qzbutton4->Click();
        QVERIFY(awaitReply());
        QCOMPARE(relays(), QString("00000000"));
        // Delayed on for all: every channel of the model after its own time.
        for (int k = 0; k < 8; ++k)
            form->TM[k]->setEditText(QString::number(1 + k));
        emit form->allyanshi->Click();
        QCOMPARE(form->LblOut->text().size(), (channels == 8 ? 22 : 14) * 3);
        const QString expected = QString(channels, '1') + QString(8 - channels, '0');
        QTRY_COMPARE_WITH_TIMEOUT(relays(), expected, 3000);
        // The combination: the ticked channels on, the others off.
        form->ChkTD[1]->setChecked(true);
        form->ChkTD[6]->setChecked(true);
        emit form->qzbutton9->Click();
        QVERIFY(awaitReply());
        QCOMPARE(relays(), QString("01000010"));
        readState();
        QCOMPARE(switches().left(channels), QString("01000010").left(channels));
    }

    // The walk-through of the demo: the built-in module opened with the window's own button,
    // every channel flipped, states read, all on, all off, channel 1 jogged for 1 s.
    void demoWalkThrough()
    {
        cleanup();
        app::StartOptions options;
        options.demo = true;
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        sim::VirtualLine *demo = nullptr;
        sim::InstallDemoPort(form.get(), &demo);
        form->show();
        QTRY_COMPARE_WITH_TIMEOUT(form->Combo2->currentText(), QString("DEMO"), 2000);
        form->Combo1->setCurrentIndex(1);
        form->Text1->setEditText("1");
        emit form->Command2->Click();
        QVERIFY(form->MSComm1.isOpen());
        sim::RelayModule &m = demo->bus().module(0);
        for (int i = 0; i < 8; ++i) {
            form->SafeSwitch[i]->setValue(true);
            QVERIFY(awaitReply());
            QVERIFY(m.relay(i));
            form->SafeSwitch[i]->setValue(false);
            QVERIFY(awaitReply());
            QVERIFY(!m.relay(i));
        }
        emit form->qzbutton3->Click();
        QVERIFY(awaitReply());
        readState();
        QCOMPARE(switches(), QString("11111111"));
        emit form->qzbutton4->Click();
        QVERIFY(awaitReply());
        readState();
        QCOMPARE(switches(), QString("00000000"));
        form->DDT[0]->setEditText("10");
        emit form->DD[0]->Click();
        QVERIFY(awaitReply()); // the echo, shown only
        QVERIFY(m.relay(0));
        readState();
        QCOMPARE(switches(), QString("10000000"));
        QTRY_VERIFY_WITH_TIMEOUT(!m.relay(0), 3000);
        readState();
        QCOMPARE(switches(), QString("00000000"));
        QVERIFY(messages.messages.isEmpty());
    }
};

QTEST_MAIN(TestRelaySim)

#include "tst_relaysim.moc"
