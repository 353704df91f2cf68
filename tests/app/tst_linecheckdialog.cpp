// The line check in the window: opened from the system settings page and from the port strip,
// run against quorvane-sim's echo and noise over a real pseudo-terminal, and refusing to take a
// port the window has open.

#include "app/linecheckdialog.h"
#include "app/linecheckwords.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "controls/qzbutton.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {
constexpr int Deadline = 20000;
}

class TestLineCheckDialog : public QObject
{
    Q_OBJECT
private:
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    LineCheckDialog *openedBy(const QString &button)
    {
        auto *click = qobject_cast<QzButton *>(form->control(button));
        if (!click)
            return nullptr;
        emit click->Click();
        return form->findChild<LineCheckDialog *>();
    }

private slots:
    void init()
    {
        form =
            std::make_unique<Form1>(app::StartOptions{}, support::TestServices(&messages, "auto"));
        form->show();
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
    }
    void cleanup() { form.reset(); }

    // Both buttons open the same dialog over the window, closed again by its own button.
    void opensFrom_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("system settings page") << "qzbutton14";
        QTest::newRow("port strip") << "qzbutton15";
    }
    void opensFrom()
    {
        QFETCH(QString, button);
        LineCheckDialog *dialog = openedBy(button);
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(dialog->isModal());
        emit dialog->findChild<QzButton *>("lineCheckClose")->Click();
        QTRY_VERIFY(!form->findChild<LineCheckDialog *>());
    }

    // Echo and noise on the line: the findings the command line gives, in the table, and the
    // summary naming the rate.
    void findsEchoAndNoise()
    {
        SimProcess sim({"--echo", "--noise", "5%", "--seed", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        LineCheckDialog *dialog = openedBy("qzbutton14");
        QVERIFY(dialog);
        dialog->findChild<QComboBox *>("lineCheckPort")->setEditText(sim.path());
        dialog->findChild<QLineEdit *>("lineCheckReads")->setText("40");
        emit dialog->findChild<QzButton *>("lineCheckStart")->Click();
        QVERIFY(dialog->running());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->running() && !dialog->findings().isEmpty(), Deadline);
        const auto level = [&](linecheck::Check check) {
            return dialog->findings().at(int(check)).level;
        };
        QCOMPARE(level(linecheck::Check::Echo), linecheck::Level::Warning);
        QCOMPARE(level(linecheck::Check::Module), linecheck::Level::Pass);
        QCOMPARE(level(linecheck::Check::Errors), linecheck::Level::Fault);
        const auto *table = dialog->findChild<QTableWidget *>("lineCheckTable");
        QCOMPARE(table->rowCount(), dialog->findings().size());
        const int errors = int(linecheck::Check::Errors);
        QCOMPARE(table->item(errors, 1)->text(), app::LineCheckLevel(linecheck::Level::Fault));
        QVERIFY(!table->item(errors, 3)->text().isEmpty());
        QVERIFY(dialog->findChild<QLabel *>("lineCheckSummary")->text().contains("9600"));
        // The check has let go of the port: the window can open it now.
        form->MSComm1.setPortName(sim.path());
        QTRY_COMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
    }

    // Closed while the check runs: the check ends with it and the port is free for the window.
    void closedWhileRunning()
    {
        SimProcess sim({});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        LineCheckDialog *dialog = openedBy("qzbutton14");
        QVERIFY(dialog);
        dialog->findChild<QComboBox *>("lineCheckPort")->setEditText(sim.path());
        dialog->findChild<QLineEdit *>("lineCheckReads")->setText("1000");
        dialog->start();
        QVERIFY(dialog->running());
        // Into the reads: a transaction is under way on the line when the dialog closes.
        const auto *status = dialog->findChild<QLabel *>("lineCheckStatus");
        QTRY_VERIFY_WITH_TIMEOUT(
            status->text().contains(app::LineCheckTitle(linecheck::Check::Times)), Deadline);
        emit dialog->findChild<QzButton *>("lineCheckClose")->Click();
        QTRY_VERIFY(!form->findChild<LineCheckDialog *>());
        form->MSComm1.setPortName(sim.path());
        QTRY_COMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
    }

    // While the window has the port open, the dialog says so and starts nothing.
    void asksToCloseTheWindowsPort()
    {
        SimProcess sim({});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), Deadline);
        form->MSComm1.setPortName(sim.path());
        QCOMPARE(form->MSComm1.open(), serial::OpenResult::Ok);
        LineCheckDialog *dialog = openedBy("qzbutton15");
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->findChild<QLabel *>("lineCheckNotice")->isVisible());
        dialog->findChild<QComboBox *>("lineCheckPort")->setEditText(sim.path());
        dialog->start();
        QVERIFY(!dialog->running());
        QVERIFY(dialog->findings().isEmpty());
        form->MSComm1.close();
        dialog->start();
        QVERIFY(dialog->running());
        QVERIFY(!dialog->findChild<QLabel *>("lineCheckNotice")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->running(), Deadline);
    }
};

QTEST_MAIN(TestLineCheckDialog)
#include "tst_linecheckdialog.moc"
