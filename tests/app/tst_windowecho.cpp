// The window behind an adapter that hears itself (quorvane-sim --echo): a switch moves only on
// the module's answer, never on the adapter's copy of the request, in each echo setting.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "controls/safeswitch.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "support/panelprobe.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

class TestWindowEcho : public QObject
{
    Q_OBJECT
private slots:
    void switchOne_data()
    {
        QTest::addColumn<QStringList>("line");
        QTest::addColumn<QString>("echo");
        QTest::addColumn<bool>("moves");
        QTest::addColumn<QString>("said"); // in the received box

        const QStringList echoNoModule{"--echo", "--module", "9"};
        const QStringList echoModule{"--echo", "--module", "1"};
        QTest::newRow("echo alone, learned") << echoNoModule << "auto" << false << "只有适配器回显";
        QTest::newRow("echo alone, dropped") << echoNoModule << "drop" << false << "只有适配器回显";
        QTest::newRow("module behind the echo, learned") << echoModule << "auto" << true << "";
        QTest::newRow("module behind the echo, dropped") << echoModule << "drop" << true << "";
        QTest::newRow("module, no echo, learned")
            << QStringList{"--module", "1"} << "auto" << true << "";
    }
    void switchOne()
    {
        QFETCH(QStringList, line);
        QFETCH(QString, echo);
        QFETCH(bool, moves);
        QFETCH(QString, said);

        SimProcess sim(line);
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
        app::RecordedMessages messages;
        Form1 form(app::StartOptions{}, support::TestServices(&messages, echo));
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 2000);
        // The setting as stored shows on the system settings page.
        QCOMPARE(form.Combo11->currentIndex(), int(*bus::EchoFromText(echo)));
        form.MSComm1.setPortName(sim.path());
        QVERIFY(form.MSComm1.setSettings("9600 ,N,8,1"));
        QCOMPARE(form.MSComm1.open(), serial::OpenResult::Ok);
        form.Combo1->setCurrentIndex(1); // QV-08
        form.Text1->setEditText("1");
        for (auto *sw : form.SafeSwitch)
            SetSwitchQuietly(sw, false);

        form.SafeSwitch[0]->setValue(true);
        if (moves) {
            // On the module's answer, read after the adapter's copy.
            QTRY_COMPARE_WITH_TIMEOUT(form.LblIn->text().count(QStringLiteral("01 05 00 00")),
                                      line.contains("--echo") ? 2 : 1, 5000);
            QTRY_COMPARE(panelprobe::Switches(form), QString("10000000"));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(form.LblIn->text().contains(said), 5000);
            QCOMPARE(panelprobe::Switches(form), QString("00000000"));
        }
        QCOMPARE(form.replies->lineEchoes().value_or(echo == "drop"), line.contains("--echo"));
    }
};

QTEST_MAIN(TestWindowEcho)
#include "tst_windowecho.moc"
