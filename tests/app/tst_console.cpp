// The serial console through the window's own controls, on a pseudo-terminal whose other end the
// test plays at the line's pace.
#include "app/console.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "serial/commport.h"
#include "sim/demo.h"
#include "support/frames.h"
#include "support/input.h"
#include "support/pacedpeer.h"
#include "support/panelprobe.h"
#include "support/ptypair.h"
#include "support/services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>

using testframes::hex;
using Icon = app::Message::Icon;

namespace {

constexpr int Baud = 9600;
constexpr int Deadline = 5000;

QByteArray Gbk(const QString &text)
{
    return serial::CommPort::EncodeLocal8Bit(text);
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<PacedPeer> peer;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    // The window, its port opened with its own button, the console page clicked.
    void openWindow(const app::StartOptions &options, bool openPort = true)
    {
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        if (openPort) {
            support::Click(form->Command2);
            QVERIFY(form->MSComm1.isOpen());
        }
        QTest::mouseClick(form->safetabs1, Qt::LeftButton, Qt::NoModifier,
                          form->safetabs1->labelRect(4).center());
        QCOMPARE(form->safetabs1->activeTab(), 4);
        QVERIFY(!form->Text9);
        messages.clear();
    }
    void openOnPty(bool openPort = true)
    {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
        app::StartOptions options;
        options.extraPorts = {pty->slavePath()};
        openWindow(options, openPort);
    }
    // The far end answers at the line's pace.
    void answer(const QByteArray &bytes)
    {
        peer.reset();
        peer = std::make_unique<PacedPeer>(pty->master(), bytes, Baud);
    }
    // "▼", then the entry, clicked in the menu.
    void choose(QAction *item)
    {
        support::Click(form->qzbutton7);
        QTRY_VERIFY_WITH_TIMEOUT(form->mmu->isVisible(), Deadline);
        QTest::mouseClick(form->mmu, Qt::LeftButton, Qt::NoModifier,
                          form->mmu->actionGeometry(item).center());
        QTRY_VERIFY_WITH_TIMEOUT(!form->mmu->isVisible(), Deadline);
    }
    void typeInto(QWidget *box, const QString &text)
    {
        box->setFocus();
        QTRY_COMPARE_WITH_TIMEOUT(support::KeyTarget(), box, Deadline);
        QVERIFY(support::TypeIntoFocus(text));
    }
    QString received() const { return form->TxtReceive->toPlainText(); }
    static QMenu *openMenu()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "TxtReceiveMenu" && w->isVisible())
                return qobject_cast<QMenu *>(w);
        }
        return nullptr;
    }
    // Sends a marker text line and waits for it: what the far end received before it is all
    // that was sent.
    void sentBeforeMarker(QByteArray *before)
    {
        if (!form->MSComm1.isOpen())
            support::Click(form->Command2);
        if (form->ChkHexSend->isChecked())
            support::Click(form->ChkHexSend);
        form->TxtSend->setPlainText("marker");
        support::Click(form->Command7);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got = pty->received()).endsWith("marker\r\n"), Deadline);
        *before = got.chopped(8);
    }
    // The receive box's context menu, opened with a right click, and one of its entries chosen.
    void chooseFromContextMenu(QAction *item)
    {
        QWidget *viewport = form->TxtReceive->viewport();
        const QPoint at = viewport->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QMenu *menu = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((menu = openMenu()), Deadline);
        QVERIFY(menu->actions().contains(item));
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                          menu->actionGeometry(item).center());
    }

private slots:
    void cleanup()
    {
        peer.reset();
        form.reset();
        pty.reset();
        messages.clear();
    }

    // An example or typed text, "发送", and the far end's answer in the receive box.
    void sendAndAnswer_data()
    {
        QTest::addColumn<QString>("item");   // an example entry, or empty: typed
        QTest::addColumn<QString>("typed");  // typed into the send box
        QTest::addColumn<bool>("hexTicked"); // for typed text
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::newRow("MOD1") << "MOD1"
                              << "" << true << hex("0105 0000 FF00 8C3A")
                              << hex("0105 0000 FF00 8C3A") << "01 05 00 00 FF 00 8C 3A ";
        QTest::newRow("AT1") << "AT1"
                             << "" << false << QByteArray("AT+OUT1+1=ON\r\n")
                             << QByteArray("OK\r\n") << "OK\n";
        QTest::newRow("text with spaces")
            << ""
            << "  hello " << false << QByteArray("hello \r\n") << QByteArray("hi\r\n") << "hi\n";
        QTest::newRow("typed hex, stops at G")
            << ""
            << "01 03 00 00 00 01 84 0A G1" << true << hex("0103 0000 0001 840A")
            << hex("010302000578 47") << "01 03 02 00 05 78 47 ";
    }
    void sendAndAnswer()
    {
        QFETCH(QString, item);
        QFETCH(QString, typed);
        QFETCH(bool, hexTicked);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        openOnPty();
        if (item.isEmpty()) {
            if (form->ChkHexSend->isChecked() != hexTicked)
                support::Click(form->ChkHexSend);
            typeInto(form->TxtSend, typed);
        } else {
            choose(form->menuItems.value(item));
            QCOMPARE(form->ChkHexSend->isChecked(), hexTicked);
        }
        form->LblIn->setText("01 03 02 00 00 B8 44 ");
        support::Click(form->Command7);
        QTRY_COMPARE_WITH_TIMEOUT(pty->received(), sent, Deadline);
        answer(reply);
        QTRY_COMPARE_WITH_TIMEOUT(form->jishu->text(), QString::number(reply.size()), Deadline);
        QTRY_COMPARE_WITH_TIMEOUT(received(), shown, Deadline);
        // A console send is no request: the sent box and the request kind stay as they were, and
        // an echo of a switching frame moves no switch.
        QVERIFY(form->LblOut->text().isEmpty());
        QVERIFY(!form->RequestKind.has_value());
        QCOMPARE(panelprobe::Switches(*form), QString("00000000"));
        QVERIFY(!form->Text9);
        // A hex reply clears the received box; text leaves it alone.
        QCOMPARE(form->LblIn->text().isEmpty(), hexTicked);
        QVERIFY(messages.messages.isEmpty());
    }

    // A character whose two bytes arrive apart is shown whole once its second byte is there;
    // the count is of bytes.
    void gbkCharacterSplitAcrossArrivals()
    {
        openOnPty();
        QVERIFY(!form->ChkHexSend->isChecked());
        const QByteArray bytes = Gbk("继电器状态");
        QCOMPARE(bytes.size(), 10);
        answer(bytes.left(3));
        QTRY_COMPARE_WITH_TIMEOUT(form->jishu->text(), QString("3"), Deadline);
        QTRY_COMPARE_WITH_TIMEOUT(received(), QString("继"), Deadline);
        answer(bytes.mid(3));
        QTRY_COMPARE_WITH_TIMEOUT(received(), QString("继电器状态"), Deadline);
        QCOMPARE(form->jishu->text(), QString("10"));
    }

    // The address read claims its reply for the relay protocol even on the console page.
    void rs232ReadOnTheConsolePage()
    {
        openOnPty();
        choose(form->AT5);
        support::Click(form->Command7);
        QTRY_COMPARE_WITH_TIMEOUT(pty->received(), QByteArray("AT+STATUS+1=?\r\n"), Deadline);
        QVERIFY(!form->Text9);
        pty->clearReceived();
        QCOMPARE(form->Combo7->currentText(), QString("RS232"));
        support::Click(form->Command1);
        QVERIFY(form->Text9);
        QTRY_COMPARE_WITH_TIMEOUT(pty->received(), hex("24FF03A000C6"), Deadline);
        answer(testframes::rtu("07 03 02 00 07"));
        QTRY_COMPARE_WITH_TIMEOUT(form->Text1->currentText(), QString("7"), Deadline);
        QCOMPARE(form->LblIn->text().size(), 7 * 3);
        QVERIFY(received().isEmpty());
        QCOMPARE(form->jishu->text(), QString("0"));
    }

    // Refused sends: the message, and nothing on the line. Hex without a whole pair says nothing.
    void sendRefused_data()
    {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("hexTicked");
        QTest::addColumn<int>("icon"); // -1: no message
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("port closed")
            << false << "AT" << false << int(Icon::Warning) << "串口调试助手"
            << "串口没有打开，请打开串口";
        QTest::newRow("empty") << true << "" << false << int(Icon::Error) << "提示"
                               << "发送数据不能为空";
        QTest::newRow("hex, no whole pair") << true << "1" << true << -1 << ""
                                            << "";
    }
    void sendRefused()
    {
        QFETCH(bool, portOpen);
        QFETCH(QString, typed);
        QFETCH(bool, hexTicked);
        QFETCH(int, icon);
        QFETCH(QString, title);
        QFETCH(QString, text);
        openOnPty(portOpen);
        if (hexTicked)
            support::Click(form->ChkHexSend);
        form->TxtSend->setPlainText(typed);
        support::Click(form->Command7);
        if (icon < 0) {
            QVERIFY(messages.messages.isEmpty());
        } else {
            QCOMPARE(messages.messages.size(), 1);
            QCOMPARE(int(messages.messages.first().icon), icon);
            QCOMPARE(messages.messages.first().title, title);
            QCOMPARE(messages.messages.first().text, text);
        }
        QByteArray before;
        sentBeforeMarker(&before);
        QCOMPARE(before, QByteArray());
    }

    void calculator_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("marked");
        QTest::newRow("switch on") << "01 05 00 00 FF 00"
                                   << "8C3A" << false;
        QTest::newRow("high byte below 10") << "01 03 00 00 00 01"
                                            << "84A" << false;
        QTest::newRow("not hex") << "01 0G"
                                 << "" << true;
        QTest::newRow("empty leaves the result") << ""
                                                 << "previous" << false;
    }
    void calculator()
    {
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(bool, marked);
        openOnPty(false);
        form->Text8->setText("previous");
        const QFont font = form->Text7->font();
        typeInto(form->Text7, typed);
        support::Click(form->Command8);
        QCOMPARE(form->Text8->text(), result);
        QCOMPARE(form->Text7->property("inputProblem").toBool(), marked);
        QCOMPARE(form->Text7->toolTip().isEmpty(), !marked);
        QCOMPARE(form->Text7->font(), font);
        if (marked) {
            QVERIFY(form->Text7->toolTip().contains("“G”"));
            // Editing takes the mark away.
            typeInto(form->Text7, "");
            QVERIFY(support::KeyIntoFocus(Qt::Key_Backspace));
            QVERIFY(!form->Text7->property("inputProblem").toBool());
            QVERIFY(form->Text7->toolTip().isEmpty());
        }
        QVERIFY(messages.messages.isEmpty());
    }

    void copyButtons_data()
    {
        QTest::addColumn<bool>("sentBox");
        QTest::addColumn<QString>("content");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("text");
        QTest::newRow("sent") << true << "01 03 00 00 00 01 84 0A " << int(Icon::Information)
                              << "发出数据已经复制到剪切板";
        QTest::newRow("sent, empty") << true << "" << int(Icon::Error) << "发出数据为空，无法复制";
        QTest::newRow("received") << false << "01 03 02 00 05 78 47 " << int(Icon::Information)
                                  << "收到数据已经复制到剪切板";
        QTest::newRow("received, empty")
            << false << "" << int(Icon::Error) << "收到数据为空，无法复制";
    }
    void copyButtons()
    {
        QFETCH(bool, sentBox);
        QFETCH(QString, content);
        QFETCH(int, icon);
        QFETCH(QString, text);
        openOnPty(false);
        QApplication::clipboard()->setText("left over");
        (sentBox ? form->LblOut : form->LblIn)->setText(content);
        support::Click(sentBox ? form->qzbutton11 : form->qzbutton13);
        QCOMPARE(QApplication::clipboard()->text(), content);
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(int(messages.messages.first().icon), icon);
        QCOMPARE(messages.messages.first().title, QString("提示"));
        QCOMPARE(messages.messages.first().text, text);
    }

    // With small limits: the box keeps only its newest whole lines, the count keeps every byte.
    void boxKeepsItsNewestPart_data()
    {
        QTest::addColumn<bool>("hexTicked");
        QTest::addColumn<qsizetype>("lines");
        QTest::addColumn<qsizetype>("characters");
        QTest::newRow("text, line limit") << false << qsizetype(5) << qsizetype(1 << 20);
        QTest::newRow("text, character limit") << false << qsizetype(1000) << qsizetype(40);
        QTest::newRow("hex, line limit") << true << qsizetype(3) << qsizetype(1 << 20);
    }
    void boxKeepsItsNewestPart()
    {
        QFETCH(bool, hexTicked);
        QFETCH(qsizetype, lines);
        QFETCH(qsizetype, characters);
        openOnPty();
        if (hexTicked)
            support::Click(form->ChkHexSend);
        form->console->setLimits({lines, characters});
        QByteArray stream;
        for (int i = 0; i < 30; ++i)
            stream += "line " + QByteArray::number(i) + "\r\n";
        QString whole = hexTicked ? protocol::HexFrameText(stream) : QString(stream);
        whole.remove('\r');
        answer(stream);
        QTRY_COMPARE_WITH_TIMEOUT(form->jishu->text(), QString::number(stream.size()), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(received().endsWith(hexTicked ? "0D 0A " : "line 29\n"), Deadline);
        QString kept = received();
        const QTextDocument *doc = form->TxtReceive->document();
        QVERIFY(doc->blockCount() <= lines);
        QVERIFY(doc->blockCount() >= std::min<qsizetype>(lines, 2));
        if (hexTicked) {
            // Lines of whole bytes, as many as the box shows side by side.
            QVERIFY(form->console->hexBytesPerLine() >= 4);
            QCOMPARE(doc->firstBlock().length(), form->console->hexBytesPerLine() * 3 + 1);
            kept.remove('\n');
        } else {
            QVERIFY(doc->characterCount() - doc->firstBlock().length() < characters ||
                    doc->blockCount() - 1 < lines);
            QVERIFY(whole.endsWith('\n' + kept));
            QVERIFY(doc->characterCount() >= characters || doc->blockCount() >= lines);
        }
        QVERIFY(whole.endsWith(kept));
    }

    // The receive box's context menu: time stamps per chunk, and the box saved as UTF-8.
    void contextMenuExtras()
    {
        openOnPty();
        chooseFromContextMenu(form->console->timestampAction());
        QVERIFY(form->console->timestampAction()->isChecked());
        // Each written whole, so each arrives as one chunk.
        QVERIFY(pty->write(Gbk("继电器\r\n")));
        QTRY_VERIFY_WITH_TIMEOUT(received().endsWith("继电器\n"), Deadline);
        QVERIFY(pty->write("OK"));
        QTRY_VERIFY_WITH_TIMEOUT(received().endsWith("OK"), Deadline);
        static const QRegularExpression stamped(
            R"(^\[\d\d:\d\d:\d\d\.\d\d\d\] 继电器\n\[\d\d:\d\d:\d\d\.\d\d\d\] OK$)");
        QVERIFY2(stamped.match(received()).hasMatch(), qPrintable(received()));

        const QString path = support::TestDirectory().filePath("received.txt");
        form->console->setPathChooser([&](QWidget *) { return path; });
        chooseFromContextMenu(form->console->saveAction());
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), received());
        QVERIFY(messages.messages.isEmpty());

        // "清空" empties the box and the count; with stamps off again, chunks run on.
        chooseFromContextMenu(form->console->timestampAction());
        support::Click(form->qzbutton8);
        QCOMPARE(form->jishu->text(), QString("0"));
        QVERIFY(received().isEmpty());
        answer("A");
        QTRY_COMPARE_WITH_TIMEOUT(received(), QString("A"), Deadline);
        answer("B");
        QTRY_COMPARE_WITH_TIMEOUT(received(), QString("AB"), Deadline);
        QCOMPARE(form->jishu->text(), QString("2"));
    }

    // The walk-through a new user makes: the built-in module, MOD1, "发送".
    void demoModuleEchoes()
    {
        app::StartOptions options;
        options.demo = true;
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        sim::InstallDemoPort(form.get());
        form->show();
        QTRY_COMPARE_WITH_TIMEOUT(form->Combo2->currentText(), QString("DEMO"), 2000);
        support::Click(form->Command2);
        QVERIFY(form->MSComm1.isOpen());
        form->safetabs1->setActiveTab(4);
        choose(form->MOD1);
        support::Click(form->Command7);
        QTRY_COMPARE_WITH_TIMEOUT(received(), QString("01 05 00 00 FF 00 8C 3A "), Deadline);
        QCOMPARE(form->jishu->text(), QString("8"));
        QVERIFY(messages.messages.isEmpty());
    }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
