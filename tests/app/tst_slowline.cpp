// Replies on slow lines: the window on a pseudo-terminal whose other end answers one byte at a
// time, at the pace the chosen rate has on a wire (10 bits a byte).
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "modbus/crc.h"
#include "tests/support/pacedpeer.h"
#include "tests/support/panelprobe.h"
#include "tests/support/ptypair.h"
#include "tests/support/services.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <chrono>

class TestSlowLine : public QObject
{
    Q_OBJECT
private slots:
    // The 7-byte state reply takes 233 ms at 300 baud and 117 ms at 600: longer than the reply
    // window, it is still read as one reply and moves the switches.
    void stateReplyIsReadWhole_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::newRow("300") << "300 ";
        QTest::newRow("600") << "600 ";
        QTest::newRow("9600") << "9600 ";
    }
    void stateReplyIsReadWhole()
    {
        QFETCH(QString, rate);
        PtyPair pty;
        QVERIFY(pty.isValid());
        app::RecordedMessages messages;
        app::StartOptions options;
        options.extraPorts = {pty.slavePath()};
        Form1 form(options, support::TestServices(&messages));
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 5000);
        QCOMPARE(form.Combo2->currentText(), pty.slavePath());
        form.Combo3->setCurrentIndex(form.Combo3->findText(rate));
        emit form.Command2->Click();
        QVERIFY(form.MSComm1.isOpen());
        form.Combo1->setCurrentIndex(1); // eight channels
        form.Text1->setEditText("1");
        for (auto *sw : form.SafeSwitch)
            SetSwitchQuietly(sw, false);

        emit form.Readzt->Click();
        QTRY_VERIFY_WITH_TIMEOUT(!pty.received().isEmpty(), 5000);
        QByteArray reply = QByteArray::fromHex("0103020081") + QByteArray(2, '\0');
        modbus::AppendCrc(reply);
        {
            PacedPeer peer(pty.master(), reply, rate.trimmed().toInt());
            QTRY_COMPARE_WITH_TIMEOUT(panelprobe::Switches(form), QString("10000001"), 10000);
        }
        QCOMPARE(form.LblIn->text(), QString::fromLatin1(reply.toHex(' ').toUpper() + ' '));
        QVERIFY(messages.messages.isEmpty());
    }

    // A state reply that is whole moves the switches at once, while its window is still open;
    // a second state reply arriving within that window is shown after it and not interpreted.
    // The window is made long so that a loaded machine cannot end it first: the order is what
    // is checked, not a time.
    void wholeReplyIsReadBeforeItsWindowEnds()
    {
        using namespace std::chrono_literals;
        PtyPair pty;
        QVERIFY(pty.isValid());
        app::RecordedMessages messages;
        app::StartOptions options;
        options.extraPorts = {pty.slavePath()};
        Form1 form(options, support::TestServices(&messages));
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 5000);
        form.Combo3->setCurrentIndex(form.Combo3->findText("9600 "));
        emit form.Command2->Click();
        QVERIFY(form.MSComm1.isOpen());
        form.Combo1->setCurrentIndex(1); // eight channels
        form.Text1->setEditText("1");
        for (auto *sw : form.SafeSwitch)
            SetSwitchQuietly(sw, false);
        Replies &reader = *form.replies;
        reader.setWindow(3s);
        QSignalSpy replies(&reader, &Replies::replyRead);
        bool movedInWindow = false;
        connect(form.SafeSwitch[0], &SafeSwitch::Click, this,
                [&] { movedInWindow = reader.inTail(); });

        emit form.Readzt->Click();
        QTRY_VERIFY_WITH_TIMEOUT(!pty.received().isEmpty(), 5000);
        QByteArray first = QByteArray::fromHex("0103020081") + QByteArray(2, '\0');
        modbus::AppendCrc(first);
        QByteArray second = QByteArray::fromHex("0103020006") + QByteArray(2, '\0');
        modbus::AppendCrc(second);
        {
            PacedPeer peer(pty.master(), first, 9600);
            QTRY_COMPARE_WITH_TIMEOUT(panelprobe::Switches(form), QString("10000001"), 5000);
        }
        QVERIFY(movedInWindow);

        QVERIFY(pty.write(second));
        const QString both = protocol::HexFrameText(first + second);
        QTRY_COMPARE_WITH_TIMEOUT(form.LblIn->text(), both, 5000);
        QVERIFY(reader.inTail());
        QTRY_VERIFY_WITH_TIMEOUT(!reader.inTail(), 10000);
        QCOMPARE(replies.size(), 1);
        QCOMPARE(panelprobe::Switches(form), QString("10000001"));
        QCOMPARE(form.LblIn->text(), both);

        // The next reply is read as before.
        emit form.Readzt->Click();
        QVERIFY(pty.write(second));
        QTRY_COMPARE_WITH_TIMEOUT(panelprobe::Switches(form), QString("01100000"), 5000);
        QCOMPARE(replies.size(), 2);
        QVERIFY(messages.messages.isEmpty());
    }
};

QTEST_MAIN(TestSlowLine)
#include "tst_slowline.moc"
