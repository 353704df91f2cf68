// The module configuration driven through the real window, against a line whose answers the test
// writes.
#include "app/digitsonly.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/moduleconfig.h"
#include "controls/qzbutton.h"
#include "support/fakeline.h"
#include "support/input.h"
#include "support/panelprobe.h"
#include "support/services.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

class TestModuleConfig : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<FakeLine> line;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    QString sent()
    {
        if (!panelprobe::AwaitWritten(*form))
            return QStringLiteral("(still queued)");
        const QString s = QString::fromLatin1(line->written.toHex(' ').toUpper());
        line->written.clear();
        return s;
    }
    // Opened with the window's own controls at the rate shown.
    void openPort()
    {
        form->Combo2->setCurrentIndex(form->Combo2->findText("LINE"));
        QCOMPARE(form->Combo2->currentText(), QString("LINE"));
        support::Click(form->Command2);
        QVERIFY(form->MSComm1.isOpen());
    }

private slots:
    void init()
    {
        line = std::make_unique<FakeLine>();
        serial::CommPort::RegisterVirtualPort("LINE", line.get());
        form = std::make_unique<Form1>(app::StartOptions{}, support::TestServices(&messages));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        messages.clear();
        messages.answers.clear();
    }
    void cleanup()
    {
        form.reset();
        serial::CommPort::UnregisterVirtualPort("LINE");
        line.reset();
    }

    // An address box's text when a key is released, under the rule of the new-address box (an
    // address out of range becomes 1) and of the default-address box (it stays, unsaved).
    void addressCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("becomesOne");
        QTest::addColumn<bool>("address");
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("replacement"); // empty: left as it is
        for (const bool becomesOne : {true, false}) {
            const char *rule = becomesOne ? "new: " : "default: ";
            const QString outOfRange = becomesOne ? "1" : "";
            QTest::addRow("%sempty", rule) << "" << becomesOne << false << false << "";
            QTest::addRow("%s1", rule) << "1" << becomesOne << true << false << "";
            QTest::addRow("%s255", rule) << "255" << becomesOne << true << false << "";
            QTest::addRow("%sleading zeros", rule) << "007" << becomesOne << true << false << "";
            QTest::addRow("%s0", rule) << "0" << becomesOne << false << true << "1";
            QTest::addRow("%s256", rule) << "256" << becomesOne << false << true << outOfRange;
            QTest::addRow("%s300", rule) << "300" << becomesOne << false << true << outOfRange;
            QTest::addRow("%spasted text", rule)
                << "abc" << becomesOne << false << true << outOfRange;
            QTest::addRow("%smany digits", rule)
                << "99999999999999999999" << becomesOne << false << true << outOfRange;
        }
    }
    void addressCheck()
    {
        QFETCH(QString, text);
        QFETCH(bool, becomesOne);
        QFETCH(bool, address);
        QFETCH(bool, error);
        QFETCH(QString, replacement);
        const AddressBoxCheck check = CheckAddressBox(
            text, becomesOne ? OutOfRangeAddress::BecomesOne : OutOfRangeAddress::Stays);
        QCOMPARE(check.address, address);
        QCOMPARE(check.inputError, error);
        QCOMPARE(check.replacement.value_or(QString()), replacement);
    }

    // Only digits and Backspace reach the new-address box; a release checks the range.
    void newAddressKeys()
    {
        form->Text2->setFocus();
        form->Text2->clear();
        QCOMPARE(support::KeyTarget(), form->Text2);
        QVERIFY(support::TypeIntoFocus("3a-0"));
        QCOMPARE(form->Text2->text(), QString("30"));
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(support::KeyIntoFocus(Qt::Key_0));
        QCOMPARE(messages.texts(), QStringList{"输入错误，地址范围在1-255"});
        QCOMPARE(messages.messages.front().icon, app::Message::Icon::Error);
        QCOMPARE(messages.messages.front().title, QString("提示"));
        QCOMPARE(form->Text2->text(), QString("1"));
        // Backspace empties the box, which is left alone; a lone 0 becomes 1.
        messages.clear();
        QVERIFY(support::KeyIntoFocus(Qt::Key_Backspace));
        QCOMPARE(form->Text2->text(), QString());
        QVERIFY(support::KeyIntoFocus(Qt::Key_0));
        QCOMPARE(form->Text2->text(), QString("1"));
        QCOMPARE(messages.messages.size(), 1);
    }

    void closedPort()
    {
        QVERIFY(!form->MSComm1.isOpen());
        support::Click(form->Command1); // RS232: nothing at all
        support::Click(form->Command3);
        support::Click(form->qzbutton1);
        QVERIFY(messages.messages.isEmpty());
        form->moduleConfig->qzbutton2_Click();
        support::Click(form->qzbutton10);
        QCOMPARE(messages.texts(),
                 QStringList({"请先打开串口后，在搜索", "请先打开串口后，在搜索"}));
        QVERIFY(!form->Timer3.isActive());
        // The bus scan starts, and its first step reports the closed port once.
        messages.clear();
        form->Combo7->setCurrentIndex(1);
        support::Click(form->Command1);
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer5.isActive(), 2000);
        QCOMPARE(messages.texts(), QStringList{"串口未打开"});
        QCOMPARE(form->RequestKind, protocol::RequestKind::Address1);
        // It ends as a finished scan does, so later echoes are not taken for scan answers.
        QCOMPARE(form->Label19->text(), QString(" 读取到 0 个模块"));
        QVERIFY(form->Label18->isHidden());
        openPort();
        form->Combo1->setCurrentIndex(1);
        form->Text1->setEditText("1");
        support::Click(form->SafeSwitch[0]);
        QCOMPARE(sent(), QString("01 05 00 00 FF 00 8C 3A"));
        line->feed(QByteArray::fromHex("01050000FF008C3A"));
        QVERIFY(panelprobe::AwaitReply(*form));
        QCOMPARE(form->Text1->currentText(), QString("1"));
        QCOMPARE(panelprobe::Switches(*form), QString("10000000"));
    }

    // The frames of the requests whose inputs need no module to check; the questions answered.
    void frames_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("action"); // 0 set address to 2, 1 set 9600, 2 read the baud code
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("frame");
        QTest::newRow("read baud at 1") << "1" << 2 << true << "01 03 02 00 00 01 85 B2";
        QTest::newRow("set 9600 at 1") << "1" << 1 << true << "01 06 02 00 00 05 48 71";
        QTest::newRow("set 9600, No") << "1" << 1 << false << "";
        QTest::newRow("set 9600, empty box") << "" << 1 << true << "00 06 02 00 00 05 49 A0";
        QTest::newRow("set 9600 at 256") << "256" << 1 << true << "";
        QTest::newRow("set address 1 to 2") << "1" << 0 << true << "01 06 01 00 00 02 09 F7";
        QTest::newRow("set address, No") << "1" << 0 << false << "";
        QTest::newRow("set address at 256") << "256" << 0 << true << "";
        QTest::newRow("set address, empty box") << "" << 0 << true << "";
    }
    void frames()
    {
        QFETCH(QString, address);
        QFETCH(int, action);
        QFETCH(bool, yes);
        QFETCH(QString, frame);
        openPort();
        form->Text1->setEditText(address);
        form->Text2->setText("2");
        form->Combo4->setCurrentIndex(5);
        form->LblIn->setText("earlier");
        messages.answers = {yes ? app::Answer::Yes : app::Answer::No};
        if (action == 0)
            support::Click(form->Command3);
        else if (action == 1)
            support::Click(form->qzbutton1);
        else
            form->moduleConfig->qzbutton2_Click();
        QCOMPARE(sent(), frame);
        if (action != 2) {
            QCOMPARE(messages.messages.size(), 1);
            const app::Message &question = messages.messages.front();
            QCOMPARE(question.text,
                     action == 0 ? QString("是否更新模块地址?") : QString("是否更新模块波特率?"));
            QCOMPARE(question.title, QString("提示"));
            QCOMPARE(question.icon, app::Message::Icon::None);
            QCOMPARE(question.buttons, app::Message::Buttons::YesNo);
        }
        if (!frame.isEmpty())
            QCOMPARE(form->LblIn->text(), action == 0 ? QString("earlier") : QString());
    }

    // After a scan found 3 and 7, RS232 gives the whole list back and keeps the address shown.
    void rs232AfterScan()
    {
        form->Combo7->setCurrentIndex(1);
        form->Text1->clear();
        form->Text1->addItems({"3", "7"});
        form->Text1->setCurrentIndex(0);
        form->Label19->show();
        form->Combo7->setCurrentIndex(0);
        QCOMPARE(form->Text1->count(), 255);
        QCOMPARE(form->Text1->itemText(254), QString("255"));
        QCOMPARE(form->Text1->currentText(), QString("3"));
        QVERIFY(form->Label19->isHidden());
        // An empty box gets the first entry.
        form->Text1->setEditText("");
        form->moduleConfig->Combo7_Click();
        QCOMPARE(form->Text1->currentText(), QString("1"));
    }

    // The line disappears while the search moves between rates: the search ends, the port shows
    // closed once, nothing is said, and a later search goes on from the rate it could not open.
    // Closing the port while the search listens stops it the same way, and a later search tries
    // that rate again.
    void lineGoneDuringSearch()
    {
        openPort();
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(form->readBT.isActive(), 2000);
        QCOMPARE(sent(), QString("24 FF 03 A0 00 C6"));
        serial::CommPort::UnregisterVirtualPort("LINE");
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer3.isActive() && !form->readBT.isActive(), 5000);
        QCOMPARE(form->BaudScanIndex, 1);
        QVERIFY(!form->MSComm1.isOpen());
        QCOMPARE(form->Command2->Caption(), QString("打开串口"));
        QCOMPARE(form->Label2->text(), QString("串口已关闭"));
        QVERIFY(messages.messages.isEmpty());
        // Back again: the next search starts at 600.
        serial::CommPort::RegisterVirtualPort("LINE", line.get());
        openPort();
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(form->readBT.isActive(), 2000);
        QCOMPARE(form->MSComm1.lineSettings().baudRate, 600);
        // Closed by the user while listening: the search stops there too.
        support::Click(form->Command2);
        QVERIFY(!form->MSComm1.isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer3.isActive() && !form->readBT.isActive(), 5000);
        QCOMPARE(form->BaudScanIndex, 1);
        QVERIFY(messages.messages.isEmpty());
    }

    // Any input at all wins, even a single stray byte.
    void anyInputWins()
    {
        openPort();
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(form->readBT.isActive(), 2000);
        support::Click(form->qzbutton10); // while listening: no second search beside this one
        QVERIFY(!form->Timer3.isActive());
        QCOMPARE(sent(), QString("24 FF 03 A0 00 C6"));
        line->feed(QByteArray(1, '\x55'));
        QTRY_VERIFY_WITH_TIMEOUT(!form->readBT.isActive() && !form->Timer3.isActive(), 3000);
        QCOMPARE(form->Combo3->currentText(), QString("300 "));
        QCOMPARE(form->BaudScanIndex, 0);
        QCOMPARE(form->MSComm1.lineSettings().baudRate, 300);
    }
};

QTEST_MAIN(TestModuleConfig)
#include "tst_moduleconfig.moc"
