// The window on a line that is not 8N1 or needs its direction switched: the line settings
// chosen in their dialog reach the port, are kept in Config.ini, and a driver that refuses the
// RS-485 mode is said so with nothing else changed.
#include "app/linesettingsdialog.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

class TestWindowLine : public QObject
{
    Q_OBJECT

    // The line dialog opened as the user opens it, from the system settings page.
    static LineSettingsDialog *openDialog(Form1 &form)
    {
        emit qobject_cast<QzButton *>(form.control("qzbutton16"))->Click();
        return form.findChild<LineSettingsDialog *>();
    }
    template <typename T> static T *in(QWidget *dialog, const char *name)
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        // Every case starts from the modules' own line.
        const QString ini = support::TestServices(nullptr).iniPath;
        for (const auto &[key, value] : {std::pair{settings::FormatKey, QStringLiteral("8N1")},
                                         {settings::PauseKey, QStringLiteral("0")},
                                         {settings::AnswerWaitKey, QStringLiteral("0")}})
            QVERIFY(settings::WriteIni(ini, settings::SystemSection, key, value));
    }

    // A module at one format answers a window at the same format only; the choice is kept.
    void formatReachesTheModule_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("answers");
        QTest::newRow("8N2 module, window at 8N1") << "1:QV-08:9600:8N2"
                                                   << "8N1" << false;
        QTest::newRow("8N2 module, window at 8N2") << "1:QV-08:9600:8N2"
                                                   << "8N2" << true;
        QTest::newRow("8N1 module, window at 8N2") << "1:QV-08:9600"
                                                   << "8N2" << false;
    }
    void formatReachesTheModule()
    {
        QFETCH(QString, module);
        QFETCH(QString, chosen);
        QFETCH(bool, answers);

        SimProcess sim({"--module", module});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
        app::RecordedMessages messages;
        Form1 form(app::StartOptions{{sim.path()}}, support::TestServices(&messages));
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 2000);

        LineSettingsDialog *dialog = openDialog(form);
        QVERIFY(dialog);
        auto *format = in<QComboBox>(dialog, "lineFormat");
        format->setCurrentIndex(format->findText(chosen));
        in<QLineEdit>(dialog, "linePause")->setText("20");
        emit in<QzButton>(dialog, "lineOk")->Click();
        QTRY_VERIFY(!form.findChild<LineSettingsDialog *>());
        QCOMPARE(
            settings::ReadIni(form.iniPath(), settings::SystemSection, settings::FormatKey, {}),
            chosen);

        form.Combo2->setCurrentIndex(form.Combo2->findText(sim.path()));
        emit form.Command2->Click();
        QVERIFY(form.MSComm1.isOpen());
        QCOMPARE(form.MSComm1.lineSettings().stopBits, chosen == "8N2" ? 2 : 1);
        QCOMPARE(form.replies->master().pacing().pauseMs, 20.0);
        form.Combo1->setCurrentIndex(1); // QV-08
        form.Text1->setEditText("1");
        form.SafeSwitch[0]->setValue(true);
        if (answers) {
            QTRY_COMPARE_WITH_TIMEOUT(form.LblIn->text(), QString("01 05 00 00 FF 00 8C 3A "),
                                      5000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!form.ReplyBeingCollected(), 5000);
            QCOMPARE(form.LblIn->text(), QString());
        }
        QVERIFY(messages.messages.isEmpty());

        // The next start reads the line back.
        Form1 again(app::StartOptions{}, support::TestServices(&messages));
        QTRY_VERIFY_WITH_TIMEOUT(!again.Timer4.isActive(), 2000);
        QCOMPARE(bus::FormatName(again.replies->lineFormat()), chosen);
        QCOMPARE(again.replies->master().pacing().pauseMs, 20.0);
    }

    // A pseudo-terminal's driver has no RS-485 mode: the refusal is said in the dialog, nothing
    // is kept, and the port stays open and usable.
    void rs485Refused()
    {
        SimProcess sim({"--module", "1"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.ready(), 10000);
        app::RecordedMessages messages;
        Form1 form(app::StartOptions{{sim.path()}}, support::TestServices(&messages));
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 2000);
        form.Combo2->setCurrentIndex(form.Combo2->findText(sim.path()));
        emit form.Command2->Click();
        QVERIFY(form.MSComm1.isOpen());

        LineSettingsDialog *dialog = openDialog(form);
        QVERIFY(dialog);
        auto *rs485 = in<QCheckBox>(dialog, "lineRs485");
        QVERIFY(rs485->isEnabled());
        rs485->setChecked(true);
        emit in<QzButton>(dialog, "lineOk")->Click();
        QVERIFY(in<QLabel>(dialog, "lineNotice")->text().startsWith("无法启用 RS-485 方向控制："));
        QVERIFY(!rs485->isChecked());
        QCOMPARE(settings::ReadIni(form.iniPath(), settings::Rs485Section, sim.path(), {}),
                 QString("0"));
        dialog->reject();

        QVERIFY(form.MSComm1.isOpen());
        form.Text1->setEditText("1");
        form.Combo1->setCurrentIndex(1);
        form.SafeSwitch[0]->setValue(true);
        QTRY_COMPARE_WITH_TIMEOUT(form.LblIn->text(), QString("01 05 00 00 FF 00 8C 3A "), 5000);
    }
};

QTEST_MAIN(TestWindowLine)
#include "tst_windowline.moc"
