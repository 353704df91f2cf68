// The module test page end to end: the page's own controls against quorvane-sim behind a
// pseudo-terminal, a module with a relay that never switches.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/testpage.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "support/input.h"
#include "support/panelprobe.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

class TestTestPage : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimProcess> sim;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    template <typename T> T *control(const QString &name)
    {
        return qobject_cast<T *>(form->control(name));
    }
    void showPage(int page)
    {
        SafeTabs *tabs = form->safetabs1;
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->labelRect(page).center());
        QCOMPARE(tabs->activeTab(), page);
    }
    // Ticks exactly the steps given (0 communication .. 5 configuration), by their boxes.
    void chooseSteps(const QList<int> &steps)
    {
        for (int i = 0; i < 6; ++i) {
            auto *box = control<QCheckBox>(QStringLiteral("TestStep(%1)").arg(i));
            if (box->isChecked() != steps.contains(i))
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
            QCOMPARE(box->isChecked(), steps.contains(i));
        }
    }
    void typeCycles(const QString &text)
    {
        auto *box = control<QLineEdit>("TestCycles");
        QTest::mouseClick(box, Qt::LeftButton, {}, support::Centre(box).toPoint());
        QTest::keyClick(support::KeyTarget(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(support::TypeIntoFocus(text));
        QCOMPARE(box->text(), text);
    }
    QColor cellColour(int channel)
    {
        return control<QLabel>(QStringLiteral("TestCell(%1)").arg(channel - 1))
            ->palette()
            .color(QPalette::Window);
    }
    bool running() const { return form->testPage->running(); }

private slots:
    void init()
    {
        sim =
            std::make_unique<SimProcess>(QStringList{"--log", "--module", "1:QV-08:9600:stuck=5"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        app::StartOptions options;
        options.extraPorts = {sim->path()};
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        form->Combo2->setCurrentIndex(form->Combo2->findText(sim->path()));
        form->Combo3->setCurrentIndex(form->Combo3->findText("9600 "));
        support::Click(form->Command2);
        QVERIFY(form->MSComm1.isOpen());
        form->Combo1->setCurrentIndex(1); // QV-08
        form->Text1->setEditText("1");
        messages.clear();
        messages.answers.clear();
        showPage(TestPage::Page);
    }
    void cleanup()
    {
        form.reset();
        sim.reset();
    }

    // Confirmed: the stuck relay's cell turns red, every other cell green.
    void stuckRelayShowsRed()
    {
        chooseSteps({0, 1});
        messages.answers.push_back(app::Answer::Yes);
        support::Click(control<QzButton>("TestStart"));
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages[0].buttons, app::Message::Buttons::YesNo);
        QVERIFY(running());
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 30000);
        for (int channel = 1; channel <= 8; ++channel)
            QCOMPARE(cellColour(channel).green() > cellColour(channel).red(), channel != 5);
        const auto &report = form->testPage->report();
        QVERIFY(report && !report->passed() && report->modules.size() == 1);
        QCOMPARE(report->modules[0].channelFailures[5] > 0, true);
        QCOMPARE(report->modules[0].channelFailures[4], quint64(0));
        const QString log = control<QPlainTextEdit>("TestLog")->toPlainText();
        QVERIFY(log.contains("地址 1：未通过"));
        QVERIFY2(log.contains("逐路开关：状态不符（第 5 路）"), qPrintable(log));
    }

    // Stopped in the middle: the test ends with every relay off. Meanwhile the rest of the
    // window sends nothing: a switch flipped is refused with a word and goes back.
    void stopLeavesEveryRelayOff()
    {
        chooseSteps({1, 3});
        typeCycles("100");
        messages.answers.push_back(app::Answer::Yes);
        support::Click(control<QzButton>("TestStart"));
        // The first step has ended: its verdicts show.
        QTRY_VERIFY_WITH_TIMEOUT(cellColour(1).green() > cellColour(1).red(), 10000);
        showPage(0);
        messages.clear();
        support::Click(form->SafeSwitch[1]);
        QCOMPARE(messages.texts(), QStringList{"模块测试正在进行，测试结束或停止后才能发送"});
        QCOMPARE(panelprobe::Switches(*form), QString("00000000"));
        showPage(TestPage::Page);
        support::Click(control<QzButton>("TestStart"));
        QVERIFY(running());
        QTRY_VERIFY_WITH_TIMEOUT(!running(), 10000);
        QVERIFY(form->testPage->report()->stopped);

        // The module itself says every relay is off.
        showPage(0);
        for (auto *sw : form->SafeSwitch)
            SetSwitchQuietly(sw, true);
        support::Click(form->Readzt);
        QVERIFY(panelprobe::AwaitReply(*form));
        QCOMPARE(panelprobe::Switches(*form), QString("00000000"));
    }

    // The window closed in the middle of a test: the last thing the module hears is every
    // relay off.
    void closingSwitchesEverythingOff()
    {
        chooseSteps({3});
        typeCycles("100");
        messages.answers.push_back(app::Answer::Yes);
        support::Click(control<QzButton>("TestStart"));
        QTRY_VERIFY_WITH_TIMEOUT(sim->log().count(" 0F ") >= 3, 10000);
        form->close();
        QVERIFY(!running());
        const QString allOff = protocol::HexFrameText(protocol::AllOffRequest(1).frame).trimmed();
        QTRY_VERIFY_WITH_TIMEOUT(!sim->log().trimmed().isEmpty(), 3000);
        QStringList in;
        for (const QString &line : QString::fromLocal8Bit(sim->log()).split(u'\n'))
            if (line.contains(QLatin1String(" in ")))
                in << line.trimmed();
        QVERIFY(!in.isEmpty());
        QVERIFY2(in.last().endsWith(allOff), qPrintable(in.last()));
    }

    // No to the question: nothing reaches the module, as the module's own log shows.
    void noSendsNothing()
    {
        messages.answers.push_back(app::Answer::No);
        support::Click(control<QzButton>("TestStart"));
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY(!running());
        showPage(0);
        support::Click(form->Readzt);
        QVERIFY(panelprobe::AwaitReply(*form));
        QTRY_VERIFY_WITH_TIMEOUT(sim->log().count(" out ") == 1, 3000);
        QCOMPARE(sim->log().count(" in  "), 1);
    }

    // Port closed: said so, and nothing asked.
    void closedPortIsSaid()
    {
        support::Click(form->Command2);
        QVERIFY(!form->MSComm1.isOpen());
        support::Click(control<QzButton>("TestStart"));
        QCOMPARE(messages.texts(), QStringList{"串口未打开"});
        QVERIFY(!running());
    }
};

QTEST_MAIN(TestTestPage)
#include "tst_testpage.moc"
