// The window on network ports: quorvane-sim serving two modules on 127.0.0.1, reached as RTU over
// TCP and as a MODBUS TCP gateway, opened and driven with the window's own controls.
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/settingspage.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "support/input.h"
#include "support/panelprobe.h"
#include "support/services.h"
#include "support/simprocess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

namespace {

constexpr int ScanDeadline = 60000;

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// A loopback port nobody listens on: one the system handed out and took back.
quint16 ClosedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class TestNetPort : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<SimProcess> sim;
    app::RecordedMessages messages;
    std::unique_ptr<Form1> form;

    // The window with the port listed as --port gives it, opened with Command2.
    void openWindowOn(const QString &port)
    {
        app::StartOptions options;
        options.extraPorts = {port};
        form = std::make_unique<Form1>(options, support::TestServices(&messages));
        form->show();
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer4.isActive(), 2000);
        QVERIFY(Items(form->Combo2).contains(port));
        form->Combo2->setCurrentIndex(form->Combo2->findText(port));
        support::Click(form->Command2);
        form->Combo1->setCurrentIndex(1); // QV-08
    }
    void startSim(const QString &framing, const QStringList &modules = {"3", "200:QV-04"})
    {
        QStringList arguments{"--" + framing, "0"};
        for (const QString &m : modules)
            arguments << "--module" << m;
        sim = std::make_unique<SimProcess>(arguments);
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        QVERIFY(sim->path().startsWith(framing + "://127.0.0.1:"));
        openWindowOn(sim->path());
        // The window does not wait for the connection: it shows it being made.
        QVERIFY(form->MSComm1.isConnecting());
        QCOMPARE(form->Label2->text(), QString("正在连接..."));
        QTRY_VERIFY_WITH_TIMEOUT(form->MSComm1.isOpen(), 5000);
        QCOMPARE(form->Label2->text(), QString("串口已打开"));
        QCOMPARE(form->Command2->Caption(), QString("关闭串口"));
        QVERIFY(!form->Combo2->isEnabled());
        messages.clear();
    }
    bool awaitReply(int timeout = 3000) { return panelprobe::AwaitReply(*form, timeout); }

    static void framings()
    {
        QTest::addColumn<QString>("framing");
        QTest::newRow("RTU over TCP") << "tcp";
        QTest::newRow("MODBUS TCP") << "mbtcp";
    }

private slots:
    void cleanup()
    {
        form.reset();
        sim.reset();
        messages.clear();
    }

    // Behind a gateway the rate is the gateway's: a new baud entry changes nothing, and the
    // search says why it does not sweep.
    void switchAndReadState_data() { framings(); }
    void switchAndReadState()
    {
        QFETCH(QString, framing);
        startSim(framing);
        if (QTest::currentTestFailed())
            return;
        form->Combo3->setCurrentIndex(form->Combo3->findText("115200"));
        support::Click(form->qzbutton10);
        QCOMPARE(messages.texts(), QStringList{"网络端口的波特率由网关设定"});
        QVERIFY(!form->Timer3.isActive() && !form->readBT.isActive());
        messages.clear();
        form->Text1->setEditText("3");
        form->SafeSwitch[1]->setValue(true);
        QCOMPARE(form->LblOut->text(), QString("03 05 00 01 FF 00 DC 18 "));
        QVERIFY(awaitReply());
        // Above the port a MODBUS TCP answer reads as the module's RTU echo, CRC and all.
        QCOMPARE(form->LblIn->text(), QString("03 05 00 01 FF 00 DC 18 "));
        QCOMPARE(panelprobe::Switches(*form), QString("01000000"));
        SetSwitchQuietly(form->SafeSwitch[1], false);
        SetSwitchQuietly(form->SafeSwitch[5], true);
        emit form->Readzt->Click();
        QVERIFY(awaitReply());
        QCOMPARE(panelprobe::Switches(*form), QString("01000000"));
        QVERIFY(messages.messages.isEmpty());
    }

    void scanFindsBothModules_data() { framings(); }
    void scanFindsBothModules()
    {
        QFETCH(QString, framing);
        startSim(framing);
        if (QTest::currentTestFailed())
            return;
        form->Combo7->setCurrentIndex(1); // RS485
        support::Click(form->Command1);
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer5.isActive(), ScanDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(Items(form->Text1), QStringList({"3", "200"}), 3000);
        QCOMPARE(form->Label19->text(), QString(" 读取到 2 个模块"));
        QVERIFY(messages.messages.isEmpty());
    }

    // Nobody listening: shown as a missing port, with the reason on a second line.
    void refusedConnectionIsAMissingPort_data()
    {
        QTest::addColumn<QString>("scheme");
        QTest::newRow("tcp") << "tcp";
        QTest::newRow("mbtcp") << "mbtcp";
    }
    void refusedConnectionIsAMissingPort()
    {
        QFETCH(QString, scheme);
        const QString port = QString("%1://127.0.0.1:%2").arg(scheme).arg(ClosedPort());
        openWindowOn(port);
        QTRY_COMPARE_WITH_TIMEOUT(messages.messages.size(), 1, 5000);
        const QStringList lines = messages.texts().front().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QString("没有发现此串口号"));
        QVERIFY2(lines[1].startsWith("连接被拒绝（"), qPrintable(lines[1]));
        QCOMPARE(messages.messages.front().title, QString("提示"));
        QVERIFY(!form->MSComm1.isOpen() && !form->MSComm1.isConnecting());
        QCOMPARE(form->Label2->text(), QString("串口已关闭"));
        QCOMPARE(form->Command2->Caption(), QString("打开串口"));
        QVERIFY(form->Combo2->isEnabled());
    }

    // The simulator goes away while the port is open: closed once, as a pulled adapter, no box.
    void droppedConnectionClosesOnce_data() { framings(); }
    void droppedConnectionClosesOnce()
    {
        QFETCH(QString, framing);
        startSim(framing);
        if (QTest::currentTestFailed())
            return;
        QSignalSpy failed(&form->MSComm1, &serial::CommPort::failed);
        sim->stop();
        QTRY_COMPARE_WITH_TIMEOUT(form->Label2->text(), QString("串口已关闭"), 5000);
        QVERIFY(!form->MSComm1.isOpen());
        QVERIFY(!form->Label2->toolTip().isEmpty());
        QCOMPARE(form->Command2->Caption(), QString("打开串口"));
        QVERIFY(messages.messages.isEmpty());
        // Opening again is refused now; by the time that is shown, any second notice of the
        // drop would have come too.
        support::Click(form->Command2);
        QTRY_COMPARE_WITH_TIMEOUT(messages.messages.size(), 1, 5000);
        QVERIFY(messages.texts().front().startsWith("没有发现此串口号\n"));
        QCOMPARE(failed.count(), 1);
    }

    // A click while the connection is being made gives up on it.
    void clickWhileConnectingGivesUp()
    {
        sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        openWindowOn(sim->path());
        QVERIFY(form->MSComm1.isConnecting());
        support::Click(form->Command2);
        QVERIFY(!form->MSComm1.isConnecting() && !form->MSComm1.isOpen());
        QCOMPARE(form->Label2->text(), QString("串口已关闭"));
        QSignalSpy opened(&form->MSComm1, &serial::CommPort::opened);
        // Opening again works, and the abandoned attempt does not open the port behind it.
        support::Click(form->Command2);
        QVERIFY(opened.wait(5000));
        QCOMPARE(opened.count(), 1);
        QVERIFY(form->MSComm1.isOpen());
        QVERIFY(messages.messages.isEmpty());
    }

    // The automatic open at start-up leaves a connection being made by hand alone.
    void startUpOpenLeavesAConnectionBeingMade()
    {
        sim = std::make_unique<SimProcess>(QStringList{"--tcp", "0"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->ready(), 10000);
        openWindowOn(sim->path());
        QVERIFY(form->MSComm1.isConnecting());
        form->Combo6->setCurrentIndex(form->Combo6->findText(sim->path()));
        form->settingsPage->sheding_Timer();
        QTRY_VERIFY_WITH_TIMEOUT(form->MSComm1.isOpen(), 5000);
        QVERIFY(messages.messages.isEmpty());
    }

    // What a MODBUS TCP gateway cannot pass on is not sent, and the receive box says so; a whole
    // frame goes out and is answered.
    void consoleOverModbusTcp_data()
    {
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("sent");
        QTest::newRow("text") << false << "AT+STATUS+3=?" << false;
        QTest::newRow("no CRC") << true << "03 03 00 00 00 01" << false;
        QTest::newRow("frame") << true << "03 03 00 00 00 01 85 E8" << true;
    }
    void consoleOverModbusTcp()
    {
        QFETCH(bool, hex);
        QFETCH(QString, typed);
        QFETCH(bool, sent);
        startSim("mbtcp");
        if (QTest::currentTestFailed())
            return;
        form->safetabs1->setActiveTab(4);
        if (form->ChkHexSend->isChecked() != hex)
            support::Click(form->ChkHexSend);
        form->TxtSend->setPlainText(typed);
        support::Click(form->Command7);
        const auto shown = [this] { return form->TxtReceive->toPlainText(); };
        if (sent) {
            QTRY_VERIFY(shown().contains("03 03 02 00 00 C1 84"));
        } else {
            QTRY_VERIFY(
                shown().startsWith("（未发送：MODBUS TCP 端口只能发送 CRC 正确的 MODBUS 帧"));
            QCOMPARE(shown().count('\n'), 1); // one line
        }
    }
};

QTEST_MAIN(TestNetPort)

#include "tst_netport.moc"
