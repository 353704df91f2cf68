// The bus overview page end to end against quorvane-sim behind a pseudo-terminal with three
// modules: a scan fills the list, a click switches the right module, modules that stop answering
// go grey and come back, leaving the page stops the polling; and the page in a window of its own.

#include "app/detachedpage.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/monitorpage.h"
#include "app/overviewpage.h"
#include "app/testpage.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "protocol/hexcodec.h"
#include "protocol/requests.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "support/input.h"
#include "support/panelprobe.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <csignal>
#include <memory>

class TestOverviewPage : public QObject
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
    OverviewPage &page() { return *form->overviewPage; }
    void showPage(int index)
    {
        SafeTabs *tabs = form->safetabs1;
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->labelRect(index).center());
        QCOMPARE(tabs->activeTab(), index);
    }
    void clickCell(int row, int column)
    {
        auto *table = control<QTableView>("OverviewTable");
        const QRect cell = table->visualRect(table->model()->index(row, column));
        QVERIFY(!cell.isEmpty());
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }
    void typeInto(const char *name, const QString &text)
    {
        auto *box = control<QLineEdit>(QString::fromLatin1(name));
        box->setFocus();
        box->selectAll();
        QVERIFY(support::TypeIntoFocus(text));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text(), text);
    }
    const bus::Poller::Module *module(int address)
    {
        return page().poller().module(std::uint8_t(address));
    }
    bool online(int address)
    {
        const auto *m = module(address);
        return m && m->online;
    }
    std::uint16_t bits(int address)
    {
        const auto *m = module(address);
        return m && m->bits ? *m->bits : 0xFFFF;
    }
    // The requests the simulated modules heard, as hex lines.
    QStringList heard()
    {
        QStringList in;
        for (const QString &line : QString::fromLocal8Bit(sim->log()).split(u'\n'))
            if (line.contains(QLatin1String(" in ")))
                in << line.trimmed();
        return in;
    }
    static QString Hex(const QByteArray &frame) { return protocol::HexFrameText(frame).trimmed(); }

private slots:
    void initTestCase()
    {
        // A fresh list each run: nothing stored from an earlier one.
        settings::WriteIni(support::TestServices(&messages).iniPath, settings::OverviewSection,
                           settings::OverviewModulesKey, QString());
        sim = std::make_unique<SimProcess>(
            QStringList{"--log", "--module", "1:QV-08", "--module", "2:QV-04", "--module", "5"});
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
        form->Combo1->setCurrentIndex(1); // the window's model, QV-08, for the modules scanned
        showPage(OverviewPage::Page);
        QVERIFY(!page().polling()); // nothing listed yet
    }
    void cleanupTestCase()
    {
        form.reset();
        sim.reset();
    }

    // The scan lists the three modules, which are then polled and shown online.
    void scanFillsTheList()
    {
        typeInto("OverviewRange", "1-6");
        QSignalSpy finished(&page(), &OverviewPage::scanFinished);
        support::Click(control<QzButton>("OverviewScan"));
        QVERIFY(page().scanning());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
        QCOMPARE(bus::WatchListText(page().model().modules()), QString("1:QV-08,2:QV-08,5:QV-08"));
        // The user corrects the model the scan cannot tell.
        typeInto("OverviewAddress", "2");
        control<QComboBox>("OverviewModel")->setCurrentIndex(0);
        support::Click(control<QzButton>("OverviewAdd"));
        QCOMPARE(bus::WatchListText(page().model().modules()), QString("1:QV-08,2:QV-04,5:QV-08"));
        QCOMPARE(settings::ReadIni(form->iniPath(), settings::OverviewSection,
                                   settings::OverviewModulesKey, {}),
                 QString("1:QV-08,2:QV-04,5:QV-08"));
        QTRY_VERIFY(page().polling());
        QTRY_VERIFY_WITH_TIMEOUT(online(1) && online(2) && online(5), 10000);
    }

    // Channel 3 of module 5 clicked: that module alone hears a switch, and the row shows what
    // the module answers; all off for the bus, confirmed, leaves every module off.
    void clickSwitchesTheRightModule()
    {
        QTRY_VERIFY_WITH_TIMEOUT(online(5), 10000);
        const int before = int(heard().size());
        clickCell(page().model().rowOf(5), OverviewModel::FirstChannel + 2);
        QTRY_COMPARE_WITH_TIMEOUT(bits(5), std::uint16_t(0x04), 5000);
        QCOMPARE(bits(1), std::uint16_t(0));
        QCOMPARE(bits(2), std::uint16_t(0));
        QStringList switches;
        for (const QString &line : heard().mid(before))
            if (line.contains(QLatin1String(" 05 00 ")))
                switches << line;
        QCOMPARE(switches.size(), 1);
        QVERIFY2(switches[0].endsWith(Hex(protocol::SwitchRequest(5, 2, true).frame)),
                 qPrintable(switches[0]));

        messages.clear();
        messages.answers.push_back(app::Answer::Yes);
        support::Click(control<QzButton>("OverviewAllOff"));
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages[0].buttons, app::Message::Buttons::YesNo);
        QTRY_COMPARE_WITH_TIMEOUT(bits(5), std::uint16_t(0), 5000);
        QTRY_VERIFY(sim->log().contains(Hex(protocol::AllOffRequest(1).frame).toLatin1()));
        QTRY_VERIFY(sim->log().contains(Hex(protocol::AllOffRequest(2).frame).toLatin1()));
    }

    // The simulator stopped: every lamp goes grey after the misses set, the row saying since
    // when; continued, the modules are online again by themselves.
    void silentModulesGoGreyAndComeBack()
    {
        typeInto("OverviewMisses", "2");
        QCOMPARE(page().poller().options().missesOffline, 2);
        QTRY_VERIFY_WITH_TIMEOUT(online(1) && online(2) && online(5), 10000);
        ::kill(pid_t(sim->pid()), SIGSTOP);
        QTRY_VERIFY_WITH_TIMEOUT(!online(1) && !online(2) && !online(5), 10000);
        QVERIFY(module(5)->missedInARow >= 2);
        QVERIFY(module(5)->offlineSince.isValid());
        const QModelIndex state =
            page().model().index(page().model().rowOf(5), OverviewModel::Online);
        QVERIFY2(state.data().toString().contains(module(5)->offlineSince.toString("HH:mm:ss")),
                 qPrintable(state.data().toString()));
        ::kill(pid_t(sim->pid()), SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(online(1) && online(2) && online(5), 10000);
        QVERIFY(!state.data().toString().contains(u':'));
    }

    // Another page shown: no poll after the one under way, and the window has the port again
    // (its own state read is the only request the modules hear).
    void leavingThePageStopsPolling()
    {
        QVERIFY(page().polling());
        showPage(0);
        QVERIFY(!page().polling());
        QTRY_VERIFY(!form->ReplyBeingCollected()); // the poll under way ends
        const int before = int(heard().size());
        form->Text1->setEditText("5");
        support::Click(form->Readzt);
        QVERIFY(panelprobe::AwaitReply(*form));
        QTRY_COMPARE_WITH_TIMEOUT(int(heard().size()), before + 1, 3000);
        QVERIFY(heard().last().endsWith(Hex(protocol::StateRequest(5).frame)));
        showPage(OverviewPage::Page);
        QTRY_VERIFY(page().polling());
    }

    // The port closed under the polling: it stops and says why; opened again, the polling goes
    // on by itself and the modules answer.
    void closingThePortStopsPolling()
    {
        showPage(OverviewPage::Page);
        QTRY_VERIFY(page().polling());
        messages.clear();
        support::Click(form->Command2);
        QVERIFY(!form->MSComm1.isOpen());
        QTRY_VERIFY(!page().polling());
        QTRY_COMPARE(control<QLabel>("OverviewState")->text(), QString("未轮询：串口未打开"));
        QVERIFY2(messages.texts().isEmpty(), qPrintable(messages.texts().join(u'|')));
        support::Click(form->Command2);
        QVERIFY(form->MSComm1.isOpen());
        QTRY_VERIFY(page().polling());
        const quint64 polls = module(5)->polls;
        QTRY_VERIFY_WITH_TIMEOUT(module(5)->polls > polls + 1 && online(5), 5000);
    }

    // The monitor in a window of its own: enlarged, its table shows more rows and its columns
    // uncut; closed, the page is back on its tab as designed, and the size is kept.
    void monitorInItsOwnWindow()
    {
        showPage(MonitorPage::Page);
        auto *table = control<QTableView>("MonitorTable");
        auto *frame = control<QWidget>("Frame19");
        const QRect designed = table->geometry();
        const int designedWidth = table->horizontalHeader()->length();
        support::Click(control<QzButton>("MonitorDetach"));
        DetachedPage &detached = form->monitorPage->detached();
        QVERIFY(detached.isOpen());
        QVERIFY(form->monitorPage->shown());
        QCOMPARE(frame->window(), detached.window());
        detached.window()->resize(1100, 760);
        QTRY_VERIFY(table->height() >= designed.height() + 200);
        QVERIFY(table->width() >= designed.width() + 400);
        // The last column stretches into the room: every column gets at least what it had.
        QVERIFY(table->horizontalHeader()->length() >= designedWidth);
        // Leaving the tab keeps the detached page shown, and listening: a click in the main
        // window is seen on the monitor and still answered in the window.
        showPage(0);
        QVERIFY(form->monitorPage->shown());
        support::Click(control<QzButton>("MonitorStart"));
        form->Text1->setEditText("2");
        emit form->Readzt->Click();
        QTRY_VERIFY_WITH_TIMEOUT(form->LblIn->text().startsWith("02 03 02 "), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(form->monitorPage->capture().frameCount() >= 2, 5000);
        support::Click(control<QzButton>("MonitorStart"));
        detached.close();
        QVERIFY(!detached.isOpen());
        QCOMPARE(frame->parentWidget(), form->safetabs1);
        QCOMPARE(table->geometry(), designed);
        QVERIFY(!form->monitorPage->shown());
        QCOMPARE(settings::ReadIni(form->iniPath(), settings::WindowsSection,
                                   settings::MonitorWindowKey, {}),
                 QString("1100x760"));
        showPage(MonitorPage::Page);
        QVERIFY(frame->isVisible());
        detached.open();
        QCOMPARE(detached.window()->size(), QSize(1100, 760));
        detached.close();
    }

    // The overview in its own window keeps polling whatever the main window shows, and stops
    // once that window is closed.
    void overviewPollsInItsOwnWindow()
    {
        showPage(OverviewPage::Page);
        support::Click(control<QzButton>("OverviewDetach"));
        QVERIFY(page().detached().isOpen());
        showPage(0);
        QTRY_VERIFY(page().polling());
        const quint64 polls = module(1)->polls;
        QTRY_VERIFY_WITH_TIMEOUT(module(1)->polls > polls + 2, 5000);
        // A click in the main window goes before the polls; its answer is the window's, and the
        // next poll sees the relay it switched.
        form->Text1->setEditText("1");
        form->Combo1->setCurrentIndex(1);
        SetSwitchQuietly(form->SafeSwitch[1], false);
        form->SafeSwitch[1]->setValue(true);
        QTRY_COMPARE_WITH_TIMEOUT(form->LblIn->text(), QString("01 05 00 01 FF 00 DD FA "), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(module(1)->bits && (*module(1)->bits & 0x2), 5000);
        page().detached().close();
        QVERIFY(!page().polling());
    }

    // A module test started while the overview polls in its own window: the polling stops, the
    // test gets the port and passes, and the polling goes on once it ends. The window then
    // closes with the overview's window still open.
    void moduleTestStopsPolling()
    {
        showPage(OverviewPage::Page);
        support::Click(control<QzButton>("OverviewDetach"));
        QTRY_VERIFY(page().polling());
        showPage(TestPage::Page);
        for (int i = 0; i < 6; ++i) {
            auto *box = control<QCheckBox>(QStringLiteral("TestStep(%1)").arg(i));
            box->setChecked(i == 0 || i == 1);
        }
        form->Text1->setEditText("5");
        messages.answers.push_back(app::Answer::Yes);
        support::Click(control<QzButton>("TestStart"));
        QVERIFY(!page().polling());
        QVERIFY(form->testPage->running());
        QTRY_VERIFY_WITH_TIMEOUT(!form->testPage->running(), 30000);
        QVERIFY(form->testPage->report() && form->testPage->report()->passed());
        QTRY_VERIFY(page().polling());
        QVERIFY(page().detached().isOpen());
    }
};

QTEST_MAIN(TestOverviewPage)
#include "tst_overviewpage.moc"
