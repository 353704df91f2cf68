// The module configuration end to end: the window's own buttons against quorvane-sim behind a
// pseudo-terminal, at the line's real timing. The durations printed are for reading, not asserted.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/moduleconfig.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "support/input.h"
#include "support/panelprobe.h"
#include "support/ptypair.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <memory>

namespace {

constexpr int ScanDeadline = 120000;
constexpr int SearchDeadline = 30000;

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

} // namespace

class TestModulePty : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<PtyPair> silentLine;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    // The window on the line, its port opened with its own controls at the baud entry.
    void openWindowOn(const QString &path, const QString &baud)
    {
        app::StartOptions options;
        options.extraPorts = {path};
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        QCOMPARE(form->Combo2->currentText(), path);
        form->Combo3->setCurrentIndex(form->Combo3->findText(baud));
        support::Click(form->Command2);
        QVERIFY(form->MSComm1.isOpen());
        form->Combo1->setCurrentIndex(1); // QV-08
        messages.clear();
    }
    void startSim(const QStringList &modules, const QString &baud)
    {
        QStringList arguments;
        for (const QString &m : modules)
            arguments << "--module" << m;
        sim = std::make_unique<SimProcess>(arguments);
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        openWindowOn(sim->path(), baud);
    }
    bool awaitReply(int timeout = 3000) { return panelprobe::AwaitReply(*form, timeout); }
    qint32 portRate() const { return form->MSComm1.lineSettings().baudRate; }
    bool searchRunning() const { return form->Timer3.isActive() || form->readBT.isActive(); }

    // "RS485" and "读取", until the scan has ended; *ms: the time until the result showed.
    void scanBus(qint64 *ms = nullptr)
    {
        form->Combo7->setCurrentIndex(1);
        QElapsedTimer clock;
        clock.start();
        support::Click(form->Command1);
        QCOMPARE(form->Label19->text(), QString("正在读取..."));
        QVERIFY(form->Label19->isVisible() && form->Label18->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer5.isActive(), ScanDeadline);
        if (ms)
            *ms = clock.elapsed();
    }

private slots:
    void cleanup()
    {
        form.reset();
        sim.reset();
        silentLine.reset();
        messages.clear();
        messages.answers.clear();
    }

    void scanFindsBothModules_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::newRow("9600") << "9600 ";
        QTest::newRow("2400") << "2400 ";
    }
    void scanFindsBothModules()
    {
        QFETCH(QString, baud);
        const QString rate = baud.trimmed();
        // At 9600 the modules as a user starts them: quorvane-sim --module 3 --module 200:QV-04.
        startSim(rate == "9600" ? QStringList{"3", "200:QV-04"}
                                : QStringList{"3:QV-08:" + rate, "200:QV-04:" + rate},
                 baud);
        qint64 ms = 0;
        scanBus(&ms);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(form->Label19->text(), QString(" 读取到 2 个模块"));
        QCOMPARE(Items(form->Text1), QStringList({"3", "200"}));
        QCOMPARE(form->Text1->currentText(), QString("3"));
        QCOMPARE(form->Label18->text(), QString("0"));
        QVERIFY(form->Label18->isHidden());
        QCOMPARE(form->LblOut->text(), QString("FF 03 01 00 00 01 90 28 "));
        QVERIFY(messages.messages.isEmpty());
        qInfo("full scan at %s baud: %lld ms", qPrintable(rate), ms);
    }

    // The scan does not claim the replies for itself: on the console page they go to the
    // console, and nothing is counted.
    void scanOnTheConsolePageCountsNothing()
    {
        startSim({"3", "200:QV-04"}, "9600 ");
        form->safetabs1->setActiveTab(4);
        scanBus();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(form->Label19->text(), QString(" 读取到 0 个模块"));
        QCOMPARE(form->Text1->count(), 0);
    }

    void rs232ReadShowsTheAddress()
    {
        startSim({"7"}, "9600 ");
        QCOMPARE(form->Combo7->currentText(), QString("RS232"));
        QCOMPARE(form->Text1->count(), 255);
        support::Click(form->Command1);
        QCOMPARE(form->LblOut->text(), QString("24 FF 03 A0 00 C6 "));
        QCOMPARE(form->Text1->currentText(), QString());
        QVERIFY(awaitReply());
        QCOMPARE(form->Text1->currentText(), QString("7"));
        QCOMPARE(Items(form->Text1), QStringList({"7"}));
    }

    void baudSearchFindsTheModule_data()
    {
        QTest::addColumn<QString>("moduleRate");
        QTest::newRow("9600") << "9600 ";
        QTest::newRow("1200") << "1200 ";
    }
    void baudSearchFindsTheModule()
    {
        QFETCH(QString, moduleRate);
        startSim({"5:QV-08:" + moduleRate.trimmed()}, "115200");
        QElapsedTimer clock;
        clock.start();
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(), SearchDeadline);
        const qint64 ms = clock.elapsed();
        QCOMPARE(form->Combo3->currentText(), moduleRate);
        QCOMPARE(portRate(), moduleRate.trimmed().toInt());
        QCOMPARE(form->Text1->currentText(), QString("5"));
        QCOMPARE(form->BaudScanIndex, 0);
        QVERIFY(form->MSComm1.isOpen());
        QVERIFY(messages.messages.isEmpty());
        qInfo("baud search ending at %s: %lld ms", qPrintable(moduleRate.trimmed()), ms);
        // The module answers there: a state read works.
        support::Click(form->Readzt);
        QVERIFY(awaitReply());
        QCOMPARE(form->LblIn->text().left(6), QString("05 03 "));
        // A second search starts from the slowest rate again.
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(form->readBT.isActive(), 3000);
        QCOMPARE(portRate(), 300);
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(), SearchDeadline);
        QCOMPARE(form->Combo3->currentText(), moduleRate);
    }

    void baudSearchWithoutModule()
    {
        silentLine = std::make_unique<PtyPair>();
        QVERIFY(silentLine->isValid());
        openWindowOn(silentLine->slavePath(), "9600 ");
        form->LblIn->clear();
        QElapsedTimer clock;
        clock.start();
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(!searchRunning(), SearchDeadline);
        qInfo("baud search without an answer: %lld ms", clock.elapsed());
        // Back at the rate the list shows, the one in use before the search.
        QVERIFY(form->MSComm1.isOpen());
        QCOMPARE(form->Combo3->currentText(), QString("9600 "));
        QCOMPARE(portRate(), 9600);
        QCOMPARE(form->BaudScanIndex, 0);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(form->LblIn->text(), QString());
        support::Click(form->qzbutton10);
        QTRY_VERIFY_WITH_TIMEOUT(form->readBT.isActive(), 3000);
        QCOMPARE(portRate(), 300);
    }

    // Address 1 to 2, answered Yes: the module answers at 2 afterwards, and no longer at 1.
    void setAddress()
    {
        startSim({"1"}, "9600 ");
        form->Text1->setEditText("1");
        form->Text2->setFocus();
        form->Text2->selectAll();
        QVERIFY(support::TypeIntoFocus("2"));
        QCOMPARE(form->Text2->text(), QString("2"));
        support::Click(form->Command3);
        QCOMPARE(messages.texts(), QStringList{"是否更新模块地址?"});
        QCOMPARE(form->LblOut->text(), QString("01 06 01 00 00 02 09 F7 "));
        QVERIFY(awaitReply());
        QCOMPARE(form->Text1->currentText(), QString("2"));
        support::Click(form->Readzt);
        QCOMPARE(form->LblOut->text().left(6), QString("02 03 "));
        QVERIFY(awaitReply());
        QCOMPARE(form->LblIn->text().left(6), QString("02 03 "));
        form->Text1->setEditText("1");
        form->LblIn->clear();
        support::Click(form->Readzt);
        QVERIFY(!awaitReply(600));
        QCOMPARE(form->LblIn->text(), QString());
    }

    // 9600 to 19200, answered Yes: the module and the port both end at 19200.
    void setBaudRate()
    {
        startSim({"1"}, "9600 ");
        form->Text1->setEditText("1");
        form->Combo4->setCurrentIndex(form->Combo4->findText("19200"));
        support::Click(form->qzbutton1);
        QCOMPARE(messages.texts(), QStringList{"是否更新模块波特率?"});
        QCOMPARE(form->LblOut->text(), QString("01 06 02 00 00 07 C9 B0 "));
        QTRY_COMPARE_WITH_TIMEOUT(form->Combo3->currentText(), QString("19200"), 3000);
        QCOMPARE(portRate(), 19200);
        QVERIFY(form->MSComm1.isOpen());
        // The module hears at 19200 only: a state read works there.
        support::Click(form->Readzt);
        QVERIFY(awaitReply());
        QCOMPARE(form->LblIn->text().size(), 7 * 3);
        QCOMPARE(messages.messages.size(), 1);
    }
};

QTEST_MAIN(TestModulePty)
#include "tst_modulepty.moc"
