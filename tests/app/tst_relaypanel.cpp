// The relay panel driven through the real window, against a line whose replies the test writes.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/moduleconfig.h"
#include "app/relaypanel.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "modbus/crc.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "support/fakeline.h"
#include "support/frames.h"
#include "support/panelprobe.h"
#include "support/services.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

using testframes::hex;
using testframes::hexOf;
using testframes::rtu;

} // namespace

class TestRelayPanel : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FakeLine> line;
    std::unique_ptr<app::RecordedMessages> messages;
    std::unique_ptr<Form1> form;

    QString switches() const { return panelprobe::Switches(*form); }
    QString kindText() const
    {
        return form->RequestKind ? protocol::RequestKindText(*form->RequestKind) : QString();
    }
    void setKind(const QString &text) { form->RequestKind = protocol::RequestKindFromText(text); }
    void setSwitches(const QString &bits)
    {
        for (int i = 0; i < 8; ++i)
            SetSwitchQuietly(form->SafeSwitch[i], bits.at(i) == '1');
    }
    void chooseModel(int channels)
    {
        form->Combo1->setCurrentIndex(channels == 4 ? 0 : 1);
        QCOMPARE(form->ChannelCount, channels);
    }
    // What the window wrote since the last call, as spaced hex.
    QString sent()
    {
        if (!panelprobe::AwaitWritten(*form))
            return QStringLiteral("(still queued)");
        const QString s = hexOf(line->written);
        line->written.clear();
        return s;
    }
    // Hands a reply to the port and waits until it has been read and interpreted.
    void reply(const QByteArray &bytes)
    {
        QSignalSpy read(form->replies, &Replies::replyRead);
        line->feed(bytes);
        QVERIFY(read.wait(2000));
        QCOMPARE(read.size(), 1);
        QCOMPARE(read[0][0].toByteArray(), bytes);
    }
    void click(QzButton *button) { emit button->Click(); }
    // Clicks into an editable box as a user does; returns where the keys go now.
    QWidget *clickInto(QComboBox *box)
    {
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            return nullptr;
        QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
        return QApplication::focusWidget();
    }
    static void eraseAll(QWidget *keys)
    {
        QTest::keyClick(keys, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(keys, Qt::Key_Backspace);
    }

private slots:
    void init()
    {
        line = std::make_unique<FakeLine>();
        serial::CommPort::RegisterVirtualPort("FAKE", line.get());
        messages = std::make_unique<app::RecordedMessages>();
        form = std::make_unique<Form1>(app::StartOptions{}, support::TestServices(messages.get()));
        form->show();
        // The start-up step resets the port's buffers: let it run first.
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        form->MSComm1.setPortName("FAKE");
        QCOMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
        form->Text1->setEditText("1");
        chooseModel(8);
        setSwitches("00000000");
        messages->clear();
        line->written.clear();
    }
    void cleanup()
    {
        form.reset();
        serial::CommPort::UnregisterVirtualPort("FAKE");
        line.reset();
        messages.reset();
    }

    void switchOnAndOff()
    {
        form->LblIn->setText("old");
        form->SafeSwitch[0]->setValue(true);
        QCOMPARE(sent(), QString("01 05 00 00 FF 00 8C 3A"));
        QCOMPARE(kindText(), QString("Connect"));
        QCOMPARE(form->LblOut->text(), QString("01 05 00 00 FF 00 8C 3A "));
        QCOMPARE(form->LblIn->text(), QString());
        reply(hex("01050000FF008C3A"));
        QCOMPARE(form->LblIn->text(), QString("01 05 00 00 FF 00 8C 3A "));
        QCOMPARE(switches(), QString("10000000"));
        QCOMPARE(sent(), QString()); // the echo sends nothing

        form->SafeSwitch[0]->setValue(false);
        QCOMPARE(sent(), QString("01 05 00 00 00 00 CD CA"));
        QCOMPARE(form->LblIn->text(), QString("01 05 00 00 FF 00 8C 3A ")); // kept
        QVERIFY(messages->messages.isEmpty());
    }

    // From the reply's last byte to the switch moving: the reply window plus processing.
    void replyLatency()
    {
        QObject scope; // ends the connection with the test
        QElapsedTimer clock;
        qint64 movedAt = -1;
        connect(form->SafeSwitch[5], &::SafeSwitch::Click, &scope,
                [&] { movedAt = clock.elapsed(); });
        setKind("Connect");
        clock.start();
        reply(hex("01050005FF009C3B"));
        QVERIFY(movedAt >= 0);
        qInfo("last byte to switch moved: %lld ms", movedAt);
        QVERIFY(movedAt >= 95 && movedAt < 400);
        QCOMPARE(switches(), QString("00000100"));
    }

    // The echo names the switch that moves: a module answering for another coil wins.
    void echoMovesTheNamedSwitch()
    {
        form->SafeSwitch[1]->setValue(true);
        QCOMPARE(sent(), QString("01 05 00 01 FF 00 DD FA"));
        setSwitches("00000000");
        reply(hex("01050001FF00DDFA"));
        QCOMPARE(switches(), QString("01000000"));
        setKind("DisConnect");
        reply(hex("010500090000")); // no switch 10: ignored
        reply(hex("0105"));         // too short: ignored
        QCOMPARE(switches(), QString("01000000"));
        QCOMPARE(sent(), QString());
    }

    void portClosed()
    {
        form->MSComm1.close();
        form->SafeSwitch[3]->setValue(true);
        QCOMPARE(messages->texts(), QStringList{"串口未打开"});
        QCOMPARE(messages->messages[0].icon, app::Message::Icon::Error);
        QCOMPARE(switches(), QString("00000000"));
        messages->clear();
        form->SafeSwitch[3]->setValue(false); // off with the port closed: silent
        for (auto *b : {form->qzbutton3, form->qzbutton4, form->qzbutton9, form->Readzt})
            click(b);
        QVERIFY(messages->messages.isEmpty());
        for (auto *b : {form->DD[0], form->ONQ[0], form->OFF[0], form->ALLDD, form->allyanshi,
                        form->qzbutton12}) {
            click(b);
            QCOMPARE(messages->texts(), QStringList{"串口未打开"});
            messages->clear();
        }
        QCOMPARE(sent(), QString());
        QCOMPARE(switches(), QString("00000000"));
    }

    void badAddressSendsNothing_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("0") << "0";
        QTest::newRow("256") << "256";
        QTest::newRow("empty") << "";
    }
    void badAddressSendsNothing()
    {
        QFETCH(QString, address);
        form->Text1->setEditText(address);
        setKind("State");
        form->SafeSwitch[2]->setValue(true);
        for (auto *b :
             {form->qzbutton3, form->qzbutton4, form->qzbutton9, form->Readzt, form->DD[0],
              form->ONQ[0], form->OFF[0], form->ALLDD, form->allyanshi, form->qzbutton12})
            click(b);
        QCOMPARE(sent(), QString());
        QVERIFY(messages->messages.isEmpty());
        QCOMPARE(kindText(), QString("State"));
        QCOMPARE(switches(), QString("00100000")); // the flipped switch keeps its position
    }

    void stateReplies_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("0x05 on 8") << 8 << rtu("0103020005") << "01011111"
                                   << "10100000";
        QTest::newRow("0x81 on 8") << 8 << rtu("0103020081") << "01111110"
                                   << "10000001";
        QTest::newRow("0x81 on 4") << 4 << rtu("0103020081") << "01110110"
                                   << "10000110";
        QTest::newRow("0xFFFE on 8") << 8 << rtu("010302FFFE") << "10000000"
                                     << "01111111";
        QTest::newRow("0x0100 on 8") << 8 << rtu("0103020100") << "11111111"
                                     << "00000000";
        QTest::newRow("six bytes") << 8 << hex("010302008100") << "01010101"
                                   << "01010101";
        QTest::newRow("eight bytes") << 8 << hex("0103020081000000") << "01010101"
                                     << "01010101";
    }
    void stateReplies()
    {
        QFETCH(int, channels);
        QFETCH(QByteArray, reply);
        QFETCH(QString, before);
        QFETCH(QString, after);
        chooseModel(channels);
        setSwitches(before);
        form->LblIn->setText("kept until the reply");
        click(form->Readzt);
        QCOMPARE(sent(), QString("01 03 00 00 00 01 84 0A"));
        QCOMPARE(form->LblIn->text(), QString("kept until the reply"));
        this->reply(reply);
        QCOMPARE(switches(), after);
        QCOMPARE(sent(), QString());
    }

    // The window's requests queue on its one master: a click made while a reply is being read
    // goes out once that reply is in, and each reply is read in the light of its own request.
    void clickWaitsForTheReplyBeingRead()
    {
        using namespace std::chrono_literals;
        form->replies->setPacing(0, 5000); // no wait runs out under a loaded machine
        form->replies->setWindow(5s);      // ended by the whole answer, never by its time
        click(form->Readzt);
        QCOMPARE(sent(), QString("01 03 00 00 00 01 84 0A"));
        const QByteArray state = rtu("0103020081");
        line->feed(state.first(3));
        QTRY_VERIFY(form->replies->collecting());
        form->SafeSwitch[2]->setValue(true);
        QCOMPARE(form->replies->master().unwritten(), 1);
        QVERIFY(line->written.isEmpty());
        line->feed(state.mid(3));
        // Read as the state it answers: channel 3 reads off, as the module says.
        QTRY_COMPARE(switches(), QString("10000001"));
        QCOMPARE(sent(), hexOf(protocol::SwitchRequest(1, 2, true).frame));
        reply(protocol::SwitchRequest(1, 2, true).frame);
        QCOMPARE(switches(), QString("10100001"));
    }

    // An answer later than its wait, or bytes nobody asked for, are still read, in the light of
    // the last request.
    void lateAnswerIsStillRead()
    {
        form->replies->setPacing(0, 1);
        click(form->Readzt);
        QCOMPARE(sent(), QString("01 03 00 00 00 01 84 0A"));
        QTRY_VERIFY(!form->replies->collecting());
        reply(rtu("0103020005"));
        QCOMPARE(switches(), QString("10100000"));
        QCOMPARE(form->LblIn->text(), protocol::HexFrameText(rtu("0103020005")));
    }

    // A line that floods: the received box keeps at most a longest frame of it, whether the
    // bytes come as the reply or after it.
    void floodIsBounded_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        const QByteArray flood(200000, char(0xA5));
        QTest::newRow("one reply") << QList<QByteArray>{flood};
        QTest::newRow("an answer and a flood behind it")
            << QList<QByteArray>{rtu("0103020005") + flood, flood};
        QTest::newRow("many pieces") << QList<QByteArray>(50, flood.first(4000));
    }
    void floodIsBounded()
    {
        QFETCH(QList<QByteArray>, chunks);
        click(form->Readzt);
        QCOMPARE(sent(), QString("01 03 00 00 00 01 84 0A"));
        QSignalSpy read(form->replies, &Replies::replyRead);
        for (const QByteArray &chunk : chunks)
            line->feed(chunk);
        QVERIFY(read.wait(2000));
        QTRY_VERIFY(!form->replies->collecting());
        const qsizetype shown = form->LblIn->text().split(u' ', Qt::SkipEmptyParts).size();
        QVERIFY2(shown > 0 && shown <= 256, qPrintable(QString::number(shown)));
    }

    // Replies to the configuration requests move the address box and the PC baud list.
    void configurationReplies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("scan"); // the scan's next address (Label18)
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("addresses"); // Text1's list, then its text
        QTest::addColumn<int>("baud");          // Combo3's index (starts at 5)
        QTest::addColumn<QString>("message");
        QTest::newRow("probe answered")
            << "Address" << 0 << hex("24030200100000") << "16|16" << 5 << "";
        QTest::newRow("probe unanswered")
            << "Address" << 0 << hex("2400") << "1|1" << 5 << "没有搜索到模块";
        QTest::newRow("new address echoed")
            << "SetAddress" << 0 << rtu("010601000007") << "1|7" << 5 << "";
        QTest::newRow("read rate 3") << "ReadRate" << 0 << rtu("0103020003") << "1|1" << 3 << "";
        QTest::newRow("read rate 5") << "ReadRate" << 0 << rtu("0103020005") << "1|1" << 5 << "";
        QTest::newRow("scan step") << "Address1" << 12 << rtu("0C03020021") << "1,33|1" << 5 << "";
        QTest::newRow("scan step, short reply")
            << "Address1" << 12 << hex("0C0302") << "1|1" << 5 << "";
    }
    void configurationReplies()
    {
        QFETCH(QString, kind);
        QFETCH(int, scan);
        QFETCH(QByteArray, reply);
        QFETCH(QString, addresses);
        QFETCH(int, baud);
        QFETCH(QString, message);
        form->Text1->clear();
        form->Text1->addItem("1");
        form->Text1->setCurrentIndex(0);
        form->Combo3->setCurrentIndex(5);
        form->moduleConfig->setScanNext(scan);
        setKind(kind);
        this->reply(reply);
        QStringList list;
        for (int i = 0; i < form->Text1->count(); ++i)
            list << form->Text1->itemText(i);
        QCOMPARE(list.join(',') + '|' + form->Text1->currentText(), addresses);
        QCOMPARE(form->Combo3->currentIndex(), baud);
        QCOMPARE(messages->texts().join(""), message);
        if (!message.isEmpty()) {
            QCOMPARE(messages->messages[0].title, QString("提示"));
            QCOMPARE(messages->messages[0].icon, app::Message::Icon::Information);
        }
    }

    // The PC side follows a new rate only on the module's exact echo of the request sent; what
    // the sent box shows plays no part.
    void setRateFollowsAnExactEcho()
    {
        form->Combo4->setCurrentIndex(7);
        form->Combo3->setCurrentIndex(5);
        click(form->qzbutton1);
        QCOMPARE(sent(), QString("01 06 02 00 00 07 C9 B0"));
        form->LblOut->setText("01 06 02 00 00 07 C9 B1 ");
        reply(hex("010602000007C9B1")); // one byte differs
        QCOMPARE(form->Combo3->currentIndex(), 5);
        click(form->qzbutton1);
        QCOMPARE(sent(), QString("01 06 02 00 00 07 C9 B0"));
        form->LblOut->clear();
        reply(hex("010602000007C9B0"));
        QCOMPARE(form->Combo3->currentIndex(), 7);
    }

    void allOnAllOff_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("on");
        QTest::newRow("8") << 8 << "11111111";
        QTest::newRow("4") << 4 << "11110000";
    }
    void allOnAllOff()
    {
        QFETCH(int, channels);
        QFETCH(QString, on);
        chooseModel(channels);
        click(form->qzbutton3);
        QCOMPARE(sent(), QString("01 0F 00 00 00 10 02 FF FF E3 90"));
        QCOMPARE(switches(), on);
        QCOMPARE(kindText(), QString("AllConnect"));
        reply(hex("010F0000001054 08")); // the module's answer moves nothing more
        QCOMPARE(switches(), on);
        setSwitches("11111111");
        click(form->qzbutton4);
        QCOMPARE(sent(), QString("01 0F 00 00 00 10 02 00 00 E2 20"));
        QCOMPARE(switches(), channels == 4 ? QString("00001111") : QString("00000000"));
        QCOMPARE(kindText(), QString("AllDisConnect"));
        // The rows beyond the model stay disabled.
        for (int i = 0; i < 8; ++i)
            QCOMPARE(form->SafeSwitch[i]->Enable(), i < channels);
    }

    void timedChannelFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("kind");
        QTest::newRow("ONQ(2) 20") << "ONQ" << 2 << "20"
                                   << "01 30 F0 02 00 14 D3 01"
                                   << "Connect1";
        QTest::newRow("ONQ(2) 000020") << "ONQ" << 2 << "000020"
                                       << "01 30 F0 02 00 14 D3 01"
                                       << "Connect1";
        QTest::newRow("DD(0) 10") << "DD" << 0 << "10"
                                  << "01 34 F0 00 00 0A 03 09"
                                  << "Connect1";
        QTest::newRow("OFF(7) 65535") << "OFF" << 7 << "65535"
                                      << "01 32 F0 07 FF FF BB 7F"
                                      << "DisConnect1";
    }
    void timedChannelFrames()
    {
        QFETCH(QString, button);
        QFETCH(int, index);
        QFETCH(QString, time);
        QFETCH(QString, frame);
        QFETCH(QString, kind);
        const bool jog = button == "DD";
        QComboBox *box = (jog ? form->DDT : form->TM)[index];
        box->setEditText(time);
        setSwitches("00100000");
        form->LblIn->setText("x");
        click((button == "DD" ? form->DD : button == "ONQ" ? form->ONQ : form->OFF)[index]);
        QCOMPARE(sent(), frame);
        QCOMPARE(kindText(), kind);
        QCOMPARE(form->LblIn->text(), QString());
        reply(hex(frame)); // shown only
        QCOMPARE(form->LblIn->text(), frame + ' ');
        QCOMPARE(switches(), QString("00100000"));
    }

    void allChannelFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("frame");
        QTest::newRow("ALLDD 8") << "ALLDD" << 8
                                 << "01 35 F0 00 00 14 00 02 00 03 00 04 00 08 00 08 00 08 00 "
                                    "01 AF FB";
        QTest::newRow("ALLDD 4") << "ALLDD" << 4 << "01 35 F0 00 00 14 00 02 00 03 00 04 AE CC";
        QTest::newRow("allyanshi 4")
            << "allyanshi" << 4 << "01 31 F0 00 00 01 00 01 00 01 00 01 DA FE";
    }
    void allChannelFrames()
    {
        QFETCH(QString, button);
        QFETCH(int, channels);
        QFETCH(QString, frame);
        chooseModel(channels);
        const QStringList jog = {"20", "2", "3", "4", "8", "8", "8", "1"};
        for (int k = 0; k < 8; ++k) {
            form->DDT[k]->setEditText(jog[k]);
            form->TM[k]->setEditText("1");
        }
        click(button == "ALLDD" ? form->ALLDD : form->allyanshi);
        QCOMPARE(sent(), frame);
    }

    void maskRequest()
    {
        form->ChkTD[0]->setChecked(true);
        form->ChkTD[2]->setChecked(true);
        form->LblIn->setText("kept");
        click(form->qzbutton9);
        QCOMPARE(sent(), QString("01 0F 00 00 00 10 02 05 00 E1 70"));
        QCOMPARE(kindText(), QString("Connect2"));
        QCOMPARE(form->LblIn->text(), QString("kept"));
    }

    void emptyTimeBox_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("emptyBox");
        QTest::addColumn<int>("focusBox"); // -1: sent
        QTest::newRow("DD(3)") << "DD" << 8 << 3 << 3;
        QTest::newRow("ONQ(5)") << "ONQ" << 8 << 5 << 5;
        QTest::newRow("OFF(0)") << "OFF" << 8 << 0 << 0;
        QTest::newRow("ALLDD, 8") << "ALLDD" << 8 << 6 << 6;
        QTest::newRow("ALLDD, empty above N") << "ALLDD" << 4 << 6 << -1;
        QTest::newRow("allyanshi") << "allyanshi" << 8 << 2 << 2;
        QTest::newRow("qzbutton12") << "qzbutton12" << 4 << 1 << 1;
    }
    void emptyTimeBox()
    {
        QFETCH(QString, button);
        QFETCH(int, channels);
        QFETCH(int, emptyBox);
        QFETCH(int, focusBox);
        chooseModel(channels);
        const bool jog = button.startsWith("DD") || button == "ALLDD";
        const auto &boxes = jog ? form->DDT : form->TM;
        boxes[emptyBox]->setEditText("");
        form->activateWindow();
        QzButton *b = button == "DD"          ? form->DD[emptyBox]
                      : button == "ONQ"       ? form->ONQ[emptyBox]
                      : button == "OFF"       ? form->OFF[emptyBox]
                      : button == "ALLDD"     ? form->ALLDD
                      : button == "allyanshi" ? form->allyanshi
                                              : form->qzbutton12;
        form->safetabs1->setActiveTab(jog ? 1 : 2);
        click(b);
        if (focusBox < 0) {
            QVERIFY(!sent().isEmpty());
            QVERIFY(messages->messages.isEmpty());
            return;
        }
        QCOMPARE(sent(), QString());
        QCOMPARE(messages->texts(), QStringList{"输入错误，数值范围在1-65535"});
        QCOMPARE(messages->messages[0].title, QString("提示"));
        QTRY_VERIFY_WITH_TIMEOUT(boxes[focusBox]->hasFocus(), 1000);
    }

    // Keys go where a user's keys go: to the focused widget after a click into the box.
    void typingIntoTimeBoxes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        for (int i = 0; i < 8; ++i) {
            const QString tm = QString("TM(%1)").arg(i), ddt = QString("DDT(%1)").arg(i);
            QTest::newRow(qPrintable(tm)) << tm << QString("ht(%1)").arg(i);
            QTest::newRow(qPrintable(ddt)) << ddt << QString("DDM(%1)").arg(i);
        }
        QTest::newRow("QTM") << "QTM"
                             << "QB";
        QTest::newRow("ALLDDT") << "ALLDDT"
                                << "ALLDDM";
    }
    void typingIntoTimeBoxes()
    {
        QFETCH(QString, name);
        QFETCH(QString, label);
        auto *box = qobject_cast<QComboBox *>(form->control(name));
        auto *seconds = qobject_cast<QLabel *>(form->control(label));
        QVERIFY(box && seconds);
        form->safetabs1->setActiveTab(name.startsWith("DD") || name == "ALLDDT" ? 1 : 2);
        QWidget *keys = clickInto(box);
        QCOMPARE(keys, box);
        eraseAll(keys);
        QTest::keyClicks(keys, "7a0");
        QCOMPARE(box->currentText(), QString("70"));
        QCOMPARE(seconds->text(), QString("7秒"));
        QTest::keyClicks(keys, "000");
        QCOMPARE(messages->texts(), QStringList{"输入错误，数值范围在1-65535"});
        QCOMPARE(box->currentText(), QString("65535"));
        QCOMPARE(seconds->text(), QString("6553.5秒"));
        messages->clear();
        // Deleting everything: no message, the label keeps its text.
        eraseAll(keys);
        QCOMPARE(box->currentText(), QString());
        QCOMPARE(seconds->text(), QString("6553.5秒"));
        QVERIFY(messages->messages.isEmpty());
        QTest::keyClicks(keys, "0");
        QCOMPARE(messages->texts(), QStringList{"输入错误，数值范围在1-65535"});
        QCOMPARE(box->currentText(), QString("65535"));
        // A typed time confirmed with Enter does not join the list.
        eraseAll(keys);
        QTest::keyClicks(keys, "1234");
        QTest::keyClick(keys, Qt::Key_Return);
        QCOMPARE(box->count(), 20);
        QCOMPARE(box->currentText(), QString("1234"));
    }

    void allTimesBoxes()
    {
        chooseModel(4);
        for (int k = 0; k < 8; ++k) {
            form->TM[k]->setEditText("3");
            form->DDT[k]->setEditText("3");
        }
        // Typing reaches the model's four delay boxes; neither Enter nor leaving the box is a
        // list choice.
        form->safetabs1->setActiveTab(2);
        QWidget *keys = clickInto(form->QTM);
        eraseAll(keys);
        QTest::keyClicks(keys, "50");
        QTest::keyClick(keys, Qt::Key_Return);
        eraseAll(keys);
        QTest::keyClicks(keys, "20");
        clickInto(form->TM[1]);
        QCOMPARE(form->TM[3]->currentText(), QString("20"));
        QCOMPARE(form->TM[4]->currentText(), QString("3"));
        // A list choice in QTM reaches all eight.
        const int fifty = form->QTM->findText("50");
        form->QTM->setCurrentIndex(fifty);
        emit form->QTM->activated(fifty);
        for (int k = 0; k < 8; ++k)
            QCOMPARE(form->TM[k]->currentText(), QString("50"));
        QCOMPARE(form->QB->text(), QString("5秒"));
        QCOMPARE(form->ht[7]->text(), QString("5秒"));

        form->safetabs1->setActiveTab(1);
        keys = clickInto(form->ALLDDT);
        eraseAll(keys);
        QTest::keyClicks(keys, "7000");
        QCOMPARE(form->DDT[0]->currentText(), QString("7000"));
        QCOMPARE(form->DDT[3]->currentText(), QString("7000"));
        QCOMPARE(form->DDT[4]->currentText(), QString("3"));
        QVERIFY(messages->messages.isEmpty());
        QTest::keyClicks(keys, "0");
        QCOMPARE(messages->texts(), QStringList{"输入错误，数值范围在1-65535"});
        QCOMPARE(form->ALLDDT->currentText(), QString("65535"));
        QCOMPARE(form->DDT[0]->currentText(), QString("7000"));
        QCOMPARE(form->ALLDDM->text(), QString("6553.5秒"));
        const int hundred = form->ALLDDT->findText("100");
        form->ALLDDT->setCurrentIndex(hundred);
        emit form->ALLDDT->activated(hundred);
        QCOMPARE(form->DDT[3]->currentText(), QString("100"));
        QCOMPARE(form->DDT[4]->currentText(), QString("3"));
        QCOMPARE(form->DDM[3]->text(), QString("10秒"));
    }

    void startTimes()
    {
        // A fresh window starts channels 1..8 at 1, 3, 5, 7, 9, 20, 50 and 100.
        QStringList tm, ddt, labels;
        for (int i = 0; i < 8; ++i) {
            tm << form->TM[i]->currentText();
            ddt << form->DDT[i]->currentText();
            labels << form->ht[i]->text();
        }
        QCOMPARE(tm.join(' '), QString("1 3 5 7 9 20 50 100"));
        QCOMPARE(ddt.join(' '), QString("1 3 5 7 9 20 50 100"));
        QCOMPARE(labels.join(' '), QString("0.1秒 0.3秒 0.5秒 0.7秒 0.9秒 2秒 5秒 10秒"));
        QCOMPARE(form->QTM->currentText(), QString("1"));
    }

    void modelChoiceEnablesRows()
    {
        chooseModel(4);
        for (int i = 0; i < 8; ++i) {
            const bool on = i < 4;
            QCOMPARE(form->SafeSwitch[i]->Enable(), on);
            for (QWidget *w : std::initializer_list<QWidget *>{
                     form->ChkTD[i], form->TM[i], form->ht[i], form->ONQ[i], form->OFF[i],
                     form->DDT[i], form->DDM[i], form->DD[i]})
                QCOMPARE(w->isEnabled(), on);
        }
        // A stray echo for a disabled row moves it but leaves it disabled.
        setKind("Connect");
        reply(hex("01050006FF00"));
        QCOMPARE(switches(), QString("00000010"));
        QVERIFY(!form->SafeSwitch[6]->Enable());
        chooseModel(8);
        for (int i = 0; i < 8; ++i)
            QVERIFY(form->SafeSwitch[i]->Enable() && form->DD[i]->isEnabled());
        QCOMPARE(switches(), QString("00000010"));
    }

    void consoleRouting()
    {
        form->safetabs1->setActiveTab(4);
        QVERIFY(!form->Text9);
        setKind("State");
        form->LblIn->setText("before");
        QSignalSpy notices(&form->MSComm1, &serial::CommPort::received);
        line->feed(rtu("01030200FF"));
        QTRY_VERIFY_WITH_TIMEOUT(notices.size() >= 1, 1000);
        // The console takes them: read, counted, and not mistaken for the next reply.
        QTRY_COMPARE_WITH_TIMEOUT(form->MSComm1.bytesWaiting(), 0, 1000);
        QTRY_COMPARE_WITH_TIMEOUT(form->jishu->text(), QString("7"), 1000);
        QVERIFY(!form->replies->collecting());
        QCOMPARE(switches(), QString("00000000"));
        QCOMPARE(form->LblIn->text(), QString("before"));
        // The flag set (as the configuration requests do) routes to the interpreter.
        form->Text9 = true;
        reply(rtu("01030200FF"));
        QCOMPARE(switches(), QString("11111111"));
        form->safetabs1->setActiveTab(0);
        QVERIFY(form->Text9);
        form->safetabs1->setActiveTab(4);
        QVERIFY(!form->Text9);
    }

    void startupRead()
    {
        form->duqu->setValue(true);
        form->sdduqu.start();
        QTRY_VERIFY_WITH_TIMEOUT(!line->written.isEmpty(), 3000);
        QCOMPARE(sent(), QString("01 03 00 00 00 01 84 0A"));
        QVERIFY(!form->sdduqu.isActive());
        form->duqu->setValue(false);
        form->sdduqu.start();
        QTRY_VERIFY_WITH_TIMEOUT(!form->sdduqu.isActive(), 3000);
        QCOMPARE(sent(), QString());
    }

    void clock()
    {
        form->relayPanel->Timer1_Timer();
        const QString text = form->Label3->text();
        QVERIFY(text.contains(QTime::currentTime().toString("HH:mm").left(2)));
        QCOMPARE(RelayPanel::ClockText(QDateTime(QDate(2017, 11, 11), QTime(15, 55, 0))),
                 QLocale().toString(QDate(2017, 11, 11), QLocale::ShortFormat) + " 15:55:00");
    }

    // Random replies under every request kind: the window keeps its eight switches, its rows
    // and its composure.
    void randomReplies()
    {
        form->replies->setWindow(1ms);
        const QStringList kinds = {
            "",           "Connect",       "DisConnect", "Connect1", "DisConnect1",
            "AllConnect", "AllDisConnect", "Connect2",   "State",    "Address",
            "Address1",   "SetAddress",    "SetRate",    "ReadRate"};
        QRandomGenerator rng(7);
        chooseModel(4);
        for (int round = 0; round < 400; ++round) {
            setKind(kinds[rng.bounded(int(kinds.size()))]);
            form->moduleConfig->setScanNext(rng.bounded(5) == 0 ? 3 : 0);
            QByteArray bytes(1 + rng.bounded(64), '\0');
            for (char &b : bytes)
                b = char(rng.bounded(256));
            if (round % 3 == 0 && bytes.size() > 3)
                bytes[3] = char(rng.bounded(9));
            reply(bytes);
            QCOMPARE(form->LblIn->text().size(), bytes.size() * 3);
            for (int i = 4; i < 8; ++i)
                QVERIFY(!form->SafeSwitch[i]->Enable());
        }
        QCOMPARE(form->findChildren<::SafeSwitch *>().size(), 14); // 8 channels + 6 settings
        QCOMPARE(form->MSComm1.receiveThreshold(), 1);
        QVERIFY(form->Combo3->currentIndex() < form->Combo3->count());
    }
};

QTEST_MAIN(TestRelayPanel)

#include "tst_relaypanel.moc"
