// The bus monitor page over a real pseudo-terminal: a paced peer plays master and module; the
// page splits, pairs, marks and counts what it hears, shows what the window itself sends and
// saves it.

#include "app/mainwindow.h"
#include "app/monitorpage.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "support/frames.h"
#include "support/input.h"
#include "support/pacedpeer.h"
#include "support/ptypair.h"
#include "support/services.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using testframes::hex;
using testframes::rtu;

class TestMonitorWindow : public QObject
{
    Q_OBJECT
private slots:
    void hearsSplitsPairsAndSaves();
};

void TestMonitorWindow::hearsSplitsPairsAndSaves()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    app::RecordedMessages messages;
    app::StartOptions options;
    options.extraPorts = {pty.slavePath()};
    Form1 form(options, support::TestServices(&messages));
    form.show();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Timer4.isActive(), 2000);
    form.Combo2->setCurrentText(pty.slavePath());
    support::Click(form.Command2);
    QVERIFY(form.MSComm1.isOpen());

    QTest::mouseClick(form.safetabs1, Qt::LeftButton, Qt::NoModifier,
                      form.safetabs1->labelRect(MonitorPage::Page).center());
    QCOMPARE(form.safetabs1->activeTab(), MonitorPage::Page);
    support::Click(form.control("MonitorStart"));
    QVERIFY(form.monitorPage->capturing());

    QByteArray hurt = rtu("0103020007");
    hurt[4] = char(hurt[4] ^ 0x01);
    const QByteArray bus = rtu("010300000001") + rtu("0103020005") + hex("A5") +
                           rtu("01050002FF00") + rtu("01050002FF00") + rtu("010300000001") + hurt +
                           rtu("630300000001");
    {
        PacedPeer peer(pty.master(), bus, 9600);
    }
    FrameTableModel &frames = form.monitorPage->frames();
    QTRY_COMPARE_WITH_TIMEOUT(frames.rowCount(), 8, 5000);
    QStringList roles, crcs, responses;
    for (int row = 0; row < frames.rowCount(); ++row) {
        const QStringList cells = monitor::Cells(frames.frame(row));
        roles << cells[2];
        crcs << cells[7];
        responses << (cells[8].isEmpty() || cells[8] == "无应答" ? cells[8] : "ms");
    }
    QCOMPARE(roles, QStringList({"请求", "应答", "噪声", "请求", "应答", "请求", "应答", "请求"}));
    QCOMPARE(crcs, QStringList({"正确", "正确", "", "正确", "正确", "正确", "错误", "正确"}));
    QCOMPARE(responses, QStringList({"", "ms", "", "", "ms", "", "ms", "无应答"}));
    QCOMPARE(frames.frame(1).summary, QString("读保持寄存器 0x0000 × 1 → 0x0005"));

    const std::map<int, monitor::AddressStats> &stats = form.monitorPage->capture().stats();
    QCOMPARE(stats.at(1).requests, 3);
    QCOMPARE(stats.at(1).answers, 3);
    QCOMPARE(stats.at(1).crcErrors, 1);
    QCOMPARE(stats.at(99).unanswered, 1);
    QCOMPARE(stats.at(-1).noiseBytes, 1);

    // What the window sends itself shows as sent by this program.
    support::Click(form.Command1);
    QTRY_VERIFY_WITH_TIMEOUT(frames.rowCount() > 8 && frames.frame(8).sent, 5000);
    QVERIFY(monitor::Cells(frames.frame(8))[2].startsWith("本机"));

    // Saved as CSV: the byte order mark, a title line, one line per frame.
    QTemporaryDir dir;
    const QString path = dir.filePath("bus.csv");
    form.monitorPage->setFileChooser([&](const QString &) { return path; });
    support::Click(form.control("MonitorSave"));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QVERIFY(text.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(text.count("\r\n"), frames.rowCount() + 1);
    QVERIFY(messages.messages.isEmpty());
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitor_window.moc"
