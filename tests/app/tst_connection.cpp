// The connection strip over a real pseudo-terminal: the test holds the module side of the line
// and reads the line settings back from it.

#include "app/connectionstrip.h"
#include "app/lamp.h"
#include "app/mainwindow.h"
#include "app/messages.h"
#include "app/openfailure.h"
#include "controls/qzbutton.h"
#include "sim/demo.h"
#include "support/services.h"
#include "support/shown.h"
#include "support/socatlink.h"

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

namespace {

// A pseudo-terminal pair: the window opens path, the test keeps the other side.
struct Pty
{
    int master = -1;
    QString path;

    bool open()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return false;
        ::close(slave);
        // Not inherited: a child started as "another program" must not hold the line's end.
        ::fcntl(master, F_SETFD, FD_CLOEXEC);
        path = QString::fromLocal8Bit(name);
        return true;
    }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    ~Pty() { closeMaster(); }

    termios settings() const
    {
        termios t{};
        tcgetattr(master, &t);
        return t;
    }
};

const QString Closed = QStringLiteral("串口已关闭");
const QString Opened = QStringLiteral("串口已打开");

} // namespace

class TestConnection : public QObject
{
    Q_OBJECT

    Pty pty;
    std::unique_ptr<app::RecordedMessages> messages;
    std::unique_ptr<Form1> window;

    void start(const QStringList &ports, bool demo = false,
               serial::PortEnumerator::Source source = {})
    {
        messages = std::make_unique<app::RecordedMessages>();
        app::StartOptions options;
        options.extraPorts = ports;
        options.demo = demo;
        window = std::make_unique<Form1>(options, support::TestServices(messages.get()));
        if (source)
            window->setPortSource(std::move(source));
        QVERIFY(support::ShowAndWait(window.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!window->Timer4.isActive(), 5000);
    }

    void click() { QTest::mouseClick(window->Command2, Qt::LeftButton); }

    void verifyClosedDisplay()
    {
        QCOMPARE(window->Label2->text(), Closed);
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(window->Command2->Caption(), QStringLiteral("打开串口"));
        QCOMPARE(window->Shape1->FillColor(), QColor(0, 0, 0));
        QVERIFY(window->Combo2->isEnabled());
        QVERIFY(!window->MSComm1.isOpen());
    }

    void verifyOpenDisplay()
    {
        QCOMPARE(window->Label2->text(), Opened);
        QCOMPARE(window->Label2->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QCOMPARE(window->Command2->Caption(), QStringLiteral("关闭串口"));
        QCOMPARE(window->Shape1->FillColor(), QColor(255, 0, 0));
        QVERIFY(!window->Combo2->isEnabled());
        QVERIFY(window->Combo3->isEnabled());
        QVERIFY(window->MSComm1.isOpen());
    }

private slots:
    void init() { QVERIFY(pty.open()); }

    void cleanup()
    {
        window.reset();
        messages.reset();
        pty.closeMaster();
    }

    // The port named with --port is listed and selected; opening applies the chosen rate, 8N1.
    void opensAtTheChosenRate_data()
    {
        QTest::addColumn<int>("baudIndex");
        QTest::addColumn<int>("speed");
        QTest::newRow("300 ") << 0 << int(B300);
        QTest::newRow("1200 ") << 2 << int(B1200);
        QTest::newRow("9600 ") << 5 << int(B9600);
        QTest::newRow("14400") << 6 << -1;
        QTest::newRow("19200") << 7 << int(B19200);
        QTest::newRow("56000") << 9 << -1;
        QTest::newRow("57600") << 10 << int(B57600);
        QTest::newRow("115200") << 11 << int(B115200);
    }

    void opensAtTheChosenRate()
    {
        QFETCH(int, baudIndex);
        QFETCH(int, speed);
        start({pty.path});
        QVERIFY(window->Combo2->findText(pty.path) >= 0);
        QCOMPARE(window->Combo2->currentText(), pty.path);
        window->Combo3->setCurrentIndex(baudIndex);
        QVERIFY(!window->MSComm1.isOpen()); // choosing a rate while closed opens nothing

        click();
        verifyOpenDisplay();
        const termios t = pty.settings();
        if (speed >= 0) // rates without a terminal constant are set another way
            QCOMPARE(int(cfgetospeed(&t)), speed);
        QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
        QVERIFY(!(t.c_cflag & PARENB));
        QVERIFY(!(t.c_cflag & CSTOPB));
        QVERIFY(messages->messages.isEmpty());

        click();
        verifyClosedDisplay();
        QVERIFY(messages->messages.isEmpty());
    }

    void newRateWhileOpenApplies()
    {
        start({pty.path});
        QCOMPARE(window->Combo3->currentText(), QStringLiteral("9600 "));
        click();
        verifyOpenDisplay();
        termios t = pty.settings();
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));

        window->Combo3->setCurrentIndex(window->Combo3->findText(QStringLiteral("115200")));
        QTRY_COMPARE_WITH_TIMEOUT(int(cfgetospeed(&(t = pty.settings()))), int(B115200), 5000);
        QCOMPARE(int(t.c_cflag & CSIZE), int(CS8));
        verifyOpenDisplay(); // caption and labels untouched
        QVERIFY(messages->messages.isEmpty());
    }

    void openFailuresAreShownAndLeaveTheDisplayClosed_data()
    {
        QTest::addColumn<QString>("holder"); // "": missing port; "here": this process
        QTest::addColumn<QString>("text");
        QTest::newRow("missing port") << ""
                                      << "没有发现此串口号";
        QTest::newRow("port in use here") << "here"
                                          << "此串口存在但是被占用";
        // Another program holds it without a lock file; the message names it.
        QTest::newRow("held by another program") << "sleep"
                                                 << "此串口存在但是被占用\nsleep (pid %1)";
    }

    void openFailuresAreShownAndLeaveTheDisplayClosed()
    {
        QFETCH(QString, holder);
        QFETCH(QString, text);
        const QString missing = QStringLiteral("/nonexistent/ttyQV9");
        start({holder.isEmpty() ? missing : pty.path});
        serial::CommPort other;
        QProcess child;
        if (holder == "here") {
            other.setPortName(pty.path);
            QCOMPARE(other.open(), serial::OpenResult::Ok);
        } else if (!holder.isEmpty()) {
            child.setStandardInputFile(pty.path);
            child.start(holder, {"600"});
            QVERIFY(child.waitForStarted(10000));
            text = text.arg(child.processId());
        }
        click();
        QCOMPARE(messages->messages.size(), 1);
        const app::Message &message = messages->messages.front();
        QCOMPARE(message.text, text);
        QCOMPARE(message.title, QStringLiteral("提示"));
        QCOMPARE(message.icon, app::Message::Icon::Error);
        verifyClosedDisplay();
        // A second try behaves the same; nothing was left half open.
        click();
        QCOMPARE(messages->messages.size(), 2);
        verifyClosedDisplay();
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            QVERIFY(child.waitForFinished(10000));
            click();
            verifyOpenDisplay();
        }
    }

    // socat holds the masters of both terminals it joins: it is the line's other end, not a
    // program using the port.
    void opensASocatLink()
    {
        SocatLink link;
        QTRY_VERIFY_WITH_TIMEOUT(link.ready(), 10000);
        start({link.a()});
        click();
        QVERIFY(messages->messages.isEmpty());
        verifyOpenDisplay();
    }

    void noPortChosenDoesNothing()
    {
        start({});
        window->Combo2->setCurrentIndex(-1);
        click();
        QVERIFY(messages->messages.isEmpty());
        verifyClosedDisplay();
    }

    // The other end goes away while open: closed once, the Closed display, no message storm.
    void peerGoneWhileOpen()
    {
        start({pty.path});
        click();
        verifyOpenDisplay();
        QSignalSpy failures(&window->MSComm1, &serial::CommPort::failed);

        pty.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(window->Label2->text(), Closed, 5000);
        verifyClosedDisplay();
        QCOMPARE(failures.size(), 1);
        // No second failure follows: the port is closed, not polled in a loop.
        QVERIFY(!failures.wait(300));
        QCOMPARE(failures.size(), 1);
        QVERIFY(messages->messages.isEmpty());
        // The tooltip says why in Chinese; the user's next click clears it, here an open that
        // fails because the terminal is gone.
        const QString why = window->Label2->toolTip();
        QVERIFY2(why.startsWith(QStringLiteral("读取数据失败")) ||
                     why.startsWith(QStringLiteral("设备已拔出")),
                 qPrintable(why));
        click();
        QCOMPARE(messages->messages.size(), 1);
        verifyClosedDisplay();
        QCOMPARE(window->Label2->toolTip(), QString());
    }

    // What the hot-plug watch reports once the number of ports changed.
    void watchOutcome_data()
    {
        QTest::addColumn<bool>("stillListed");
        QTest::newRow("open port pulled") << false;
        QTest::newRow("another adapter plugged") << true;
    }

    void watchOutcome()
    {
        QFETCH(bool, stillListed);
        start({pty.path});
        click();
        verifyOpenDisplay();

        serial::WatchUpdate update;
        update.ports = stillListed ? QStringList{QStringLiteral("/dev/ttyUSB7"), pty.path}
                                   : QStringList{QStringLiteral("/dev/ttyUSB7")};
        update.selectedPresent = stillListed;
        update.closePort = !stillListed;
        update.selection = stillListed ? pty.path : QStringLiteral("/dev/ttyUSB7");
        window->connectionStrip->ApplyWatchUpdate(update);

        QCOMPARE(window->Combo2->count(), update.ports.size());
        QCOMPARE(window->Combo2->currentText(), update.selection);
        if (stillListed)
            verifyOpenDisplay();
        else
            verifyClosedDisplay();
        QVERIFY(messages->messages.isEmpty());
    }

    // --demo: the virtual module is listed and selected, so one click opens it.
    void demoIsSelectedAndOpens()
    {
        QObject owner;
        const QString demo = sim::InstallDemoPort(&owner);
        start({pty.path}, true);
        QCOMPARE(window->Combo2->currentText(), demo);
        QCOMPARE(demo, QStringLiteral("DEMO"));
        click();
        verifyOpenDisplay();
        QVERIFY(messages->messages.isEmpty());
        click();
        verifyClosedDisplay();
        window.reset(); // before the line goes
    }

    // Adapters come and go while the port is open. A device notice starts Timer2; the list is
    // rebuilt only once the number of serial ports changes.
    void hotPlug()
    {
        QStringList system{pty.path};
        int listings = 0;
        start({}, false, [&] {
            ++listings;
            return serial::PortListing{system, int(system.size())};
        });
        QCOMPARE(window->Combo2->count(), 1);
        window->Combo2->setCurrentIndex(0);
        click();
        verifyOpenDisplay();

        // A device that is no serial port: the watch keeps polling, nothing changes.
        const int before = listings;
        window->Timer2.start();
        QTRY_VERIFY_WITH_TIMEOUT(listings >= before + 3, 5000);
        QVERIFY(window->Timer2.isActive());
        QCOMPARE(window->Combo2->count(), 1);

        // A second adapter arrives: the list grows, the open port stays open and selected.
        system.prepend(QStringLiteral("/dev/ttyACM0"));
        QTRY_COMPARE_WITH_TIMEOUT(window->Combo2->count(), 2, 5000);
        QVERIFY(!window->Timer2.isActive());
        QCOMPARE(window->Combo2->currentText(), pty.path);
        verifyOpenDisplay();

        // The open port's adapter is pulled: closed, the Closed display, the first port chosen.
        system.removeAll(pty.path);
        window->Timer2.start();
        QTRY_COMPARE_WITH_TIMEOUT(window->Combo2->count(), 1, 5000);
        QCOMPARE(window->Combo2->currentText(), QStringLiteral("/dev/ttyACM0"));
        verifyClosedDisplay();
        QVERIFY(!window->Timer2.isActive());
        QVERIFY(messages->messages.isEmpty());
    }

    void closingTheWindowClosesThePort()
    {
        start({pty.path});
        click();
        verifyOpenDisplay();
        window->close();
        QVERIFY(!window->MSComm1.isOpen());
    }

    void failureTexts_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("text");
        using R = serial::OpenResult;
        QTest::newRow("ok") << int(R::Ok) << ""
                            << "";
        QTest::newRow("missing") << int(R::NoSuchPort) << ""
                                 << "没有发现此串口号";
        QTest::newRow("busy") << int(R::Busy) << ""
                              << "此串口存在但是被占用";
        QTest::newRow("other") << int(R::Other) << ""
                               << "无法打开此串口：设备输入输出出错（Input/output error）";
        const QString hint = QStringLiteral("没有权限打开此串口\n请把您的账户加入用户组 %1（sudo "
                                            "usermod -aG %1 $USER），然后重新登录。");
        QTest::newRow("no permission, dialout")
            << int(R::NoPermission) << "dialout" << hint.arg("dialout");
        QTest::newRow("no permission, uucp") << int(R::NoPermission) << "uucp" << hint.arg("uucp");
        QTest::newRow("no permission, root's group")
            << int(R::NoPermission) << "root" << hint.arg("dialout");
    }

    void failureTexts()
    {
        QFETCH(int, result);
        QFETCH(QString, group);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString device = dir.filePath(QStringLiteral("ttyQV0"));
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        if (!group.isEmpty()) {
            const struct group *entry = getgrnam(group.toLocal8Bit().constData());
            if (!entry)
                QSKIP("this machine has no such group");
            if (chown(device.toLocal8Bit().constData(), uid_t(-1), entry->gr_gid) != 0)
                QSKIP("cannot give the file to that group here");
        }
        const serial::LineFailure failure{serial::FailureKind::Other, EIO,
                                          QStringLiteral("Input/output error")};
        QCOMPARE(app::OpenFailureText(serial::OpenResult(result), device, failure), text);
    }

    // Every reason the user reads is Chinese, the driver's text in parentheses.
    void failureReasons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("errorNumber");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("text");
        using K = serial::FailureKind;
        QTest::newRow("none") << int(K::None) << 0 << ""
                              << "";
        QTest::newRow("pulled") << int(K::Removed) << ENODEV << "No such device"
                                << "设备已拔出（No such device）";
        QTest::newRow("settings text")
            << int(K::BadSettings) << 0 << "Invalid line settings \"9600,X,8,1\""
            << "线路设置无效（Invalid line settings \"9600,X,8,1\"）";
        QTest::newRow("no detail") << int(K::NotResponding) << 0 << ""
                                   << "设备不响应";
        QTest::newRow("hung up") << int(K::ReadFailed) << ENOTTY << "Inappropriate ioctl for device"
                                 << "读取数据失败（Inappropriate ioctl for device）";
        QTest::newRow("other, errno says more")
            << int(K::Other) << ENOTTY << "Inappropriate ioctl for device"
            << "此设备不是串口（Inappropriate ioctl for device）";
        QTest::newRow("other, nothing known") << int(K::Other) << 0 << "strange"
                                              << "未知错误（strange）";
    }

    void failureReasons()
    {
        QFETCH(int, kind);
        QFETCH(int, errorNumber);
        QFETCH(QString, detail);
        QFETCH(QString, text);
        QCOMPARE(app::FailureReason({serial::FailureKind(kind), errorNumber, detail}), text);
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
