// The settings that last: Config.ini read at start-up, the settings page and the names page
// writing it, opening the default port by itself. Every window here keeps its Config.ini in a
// temporary directory of its own.
#include "app/mainwindow.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "settings/configkeys.h"
#include "settings/ini.h"
#include "sim/demo.h"
#include "support/input.h"
#include "support/ptypair.h"
#include "support/services.h"
#include "support/shown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace settings;

namespace {

QByteArray Gbk(const QString &text)
{
    return QStringEncoder("GBK").encode(text);
}

// Lines of the system section as the Windows program writes them: GBK, CR LF.
QByteArray SystemLines(const QStringList &lines)
{
    QString text = u"["_qs + SystemSection + u"]\r\n"_qs;
    for (const QString &line : lines)
        text += line + u"\r\n"_qs;
    return Gbk(text);
}

// "name=value": a switch on/off, a list's entry, a box's or label's text, the title bar, the
// channel count.
QString StateOf(Form1 &w, const QString &name)
{
    if (name == u"title")
        return w.windowTitle();
    if (name == u"ChannelCount")
        return QString::number(w.ChannelCount);
    QWidget *c = w.control(name);
    if (auto *s = qobject_cast<::SafeSwitch *>(c))
        return s->value() ? u"on"_qs : u"off"_qs;
    if (auto *combo = qobject_cast<QComboBox *>(c))
        return combo->currentText();
    if (auto *box = qobject_cast<QLineEdit *>(c))
        return box->text();
    if (auto *check = qobject_cast<QCheckBox *>(c)) // as shown: "&x" marks a shortcut key
        return check->text().replace(QRegularExpression(u"&(.)"_qs), u"\\1"_qs);
    if (auto *label = qobject_cast<QLabel *>(c))
        return label->text();
    return u"<no control %1>"_qs.arg(name);
}

} // namespace

class TestSettingsPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    app::RecordedMessages messages;
    RecordingAutoStart autoStart;
    QStringList systemPorts;
    std::unique_ptr<Form1> window;

    QString ini() const { return dir->filePath(u"Config.ini"_qs); }
    void writeIni(const QByteArray &bytes)
    {
        QFile file(ini());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray iniBytes() const
    {
        QFile file(ini());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString stored(const QString &key, const QString &section = SystemSection) const
    {
        return ReadIni(ini(), section, key, u"<missing>"_qs);
    }

    // A window on Config.ini as it is now, once start-up has restored the settings.
    bool start(app::StartOptions options = {})
    {
        window.reset();
        app::Services services = support::TestServices(&messages);
        services.iniPath = ini();
        services.autoStart = &autoStart;
        window = std::make_unique<Form1>(options, services);
        window->setPortSource([this] {
            return serial::PortListing{systemPorts, int(systemPorts.size())};
        });
        if (options.demo)
            sim::InstallDemoPort(window.get());
        window->safetabs1->setActiveTab(6);
        if (!support::ShowAndWait(window.get()))
            return false;
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get()) &&
               QTest::qWaitFor([this] { return !window->Timer4.isActive(); }, 5000);
    }

    void verifyStates(const QStringList &expected)
    {
        for (const QString &pair : expected) {
            const QString name = pair.section(u'=', 0, 0);
            QCOMPARE(name + u'=' + StateOf(*window, name), pair);
        }
    }

    // Keys into the focused box; Chinese text comes through the input method, as typed.
    void typeKeys(const QString &keys)
    {
        for (const QChar c : keys) {
            if (c.unicode() >= 0x80) {
                QInputMethodEvent typed;
                typed.setCommitString(QString(c));
                QVERIFY(support::KeyTarget());
                QApplication::sendEvent(support::KeyTarget(), &typed);
            } else {
                QVERIFY(c == u'\b' ? support::KeyIntoFocus(Qt::Key_Backspace)
                                   : support::TypeIntoFocus(QString(c)));
            }
        }
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        messages.clear();
        messages.answers.clear();
        autoStart.calls.clear();
        systemPorts = QStringList{u"/dev/ttyQV1"_qs, u"/dev/ttyQV2"_qs};
    }
    void cleanup() { window.reset(); }

    void firstStartWritesTheSystemKeys()
    {
        systemPorts.clear(); // no port at all: the default one is listed anyway
        QVERIFY(start());
        verifyStates({"bkps=on",
                      "Combo5=9600 ",
                      "Combo3=9600 ",
                      "prots=off",
                      "Combo6=COM1",
                      "Combo2=",
                      "dizhi=on",
                      "Text4=1",
                      "Text1=1",
                      "Text2=1",
                      "Combo9=RS232",
                      "Combo7=RS232",
                      "Combo8=QV-04",
                      "Combo1=QV-04",
                      "ChannelCount=4",
                      "RUN=off",
                      "sp=off",
                      "duqu=off",
                      "title=Quorvane(MODBUS) Ver3.11",
                      "TxtTD(0)=第一路",
                      "LblTD(0)=第一路",
                      "ddcon(7)=第八路",
                      "yscon(2)=第三路",
                      "ChkTD(5)=第六路",
                      "Label2=串口已关闭"});
        QVERIFY(!window->MSComm1.isOpen());
        QCOMPARE(iniBytes(), SystemLines({"读取地址默认模式=0", "默认型号=0", "开机运行=0",
                                          "默认波特率=1,9600 ", "自动读取状态=0", "打开设定端口=0",
                                          "默认端口=0,COM1", "默认地址=1,1"}));
        QCOMPARE(autoStart.calls, QStringList{"remove"});
        QVERIFY(messages.messages.isEmpty());
    }

    void restores_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("states");
        QTest::newRow("defaults on") << QStringList{"默认波特率=1,115200", "默认端口=1,/dev/ttyQV2",
                                                    "默认地址=1,7",        "读取地址默认模式=1",
                                                    "默认型号=1",          "开机运行=1"}
                                     << QStringList{"bkps=on",
                                                    "Combo5=115200",
                                                    "Combo3=115200",
                                                    "Combo4=115200",
                                                    "prots=on",
                                                    "Combo6=/dev/ttyQV2",
                                                    "Combo2=/dev/ttyQV2",
                                                    "Text4=7",
                                                    "Text1=7",
                                                    "Text2=7",
                                                    "Combo7=RS485",
                                                    "Combo1=QV-08",
                                                    "RUN=on"};
        QTest::newRow("defaults off")
            << QStringList{"默认波特率=0,115200", "默认端口=0,/dev/ttyQV2", "默认地址=0,7"}
            << QStringList{
                   "bkps=off", "Combo5=115200", "Combo3=9600 ", "prots=off", "Combo6=/dev/ttyQV2",
                   "Combo2=",  "dizhi=off",     "Text4=7",      "Text1=1"};
        QTest::newRow("absent port stays the default")
            << QStringList{"默认端口=1,/dev/ttyUSB9"}
            << QStringList{"Combo6=/dev/ttyUSB9", "Combo2=", "prots=on"};
        QTest::newRow("unreadable values give defaults")
            << QStringList{"默认波特率=1,fast", "默认型号=9",   "读取地址默认模式=x",
                           "默认地址=1,300",    "开机运行=yes", "默认端口=1,"}
            << QStringList{"Combo5=9600 ", "Combo1=QV-04", "Combo7=RS232",
                           "Text4=1",      "RUN=off",      "Combo6=COM1"};
        // The switches' couplings hold also for a file edited by hand.
        QTest::newRow("reading without the open is dropped")
            << QStringList{"默认端口=1,COM1", "自动读取状态=1"}
            << QStringList{"prots=on", "sp=off", "duqu=off"};
        QTest::newRow("opening without a default port is dropped")
            << QStringList{"默认端口=0,COM1", "打开设定端口=1", "自动读取状态=1"}
            << QStringList{"prots=off", "sp=off", "duqu=off"};
    }
    void restores()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, states);
        writeIni(SystemLines(lines));
        QVERIFY(start());
        verifyStates(states);
        QVERIFY(messages.messages.isEmpty());
        // Start-up wrote every key back in its normalised form: a second start reads the same.
        const QByteArray normalised = iniBytes();
        QVERIFY(start());
        verifyStates(states);
        QCOMPARE(iniBytes(), normalised);
    }

    // A switch clicked on the settings page: the switches it moves, and the keys in the order
    // they were written (each key is missing before, so each write adds a line at the end).
    void switches_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QStringList>("written");
        const QStringList allOn{"默认端口=1,COM1", "打开设定端口=1", "自动读取状态=1"};
        QTest::newRow("duqu on") << QStringList{} << "duqu"
                                 << QStringList{"prots=on", "sp=on", "duqu=on"} << allOn;
        QTest::newRow("sp on") << QStringList{} << "sp"
                               << QStringList{"prots=on", "sp=on", "duqu=off"}
                               << QStringList{"默认端口=1,COM1", "打开设定端口=1"};
        QTest::newRow("prots off")
            << allOn << "prots" << QStringList{"prots=off", "sp=off", "duqu=off"}
            << QStringList{"自动读取状态=0", "打开设定端口=0", "默认端口=0,COM1"};
        QTest::newRow("sp off") << allOn << "sp" << QStringList{"prots=on", "sp=off", "duqu=off"}
                                << QStringList{"自动读取状态=0", "打开设定端口=0"};
        QTest::newRow("bkps off") << QStringList{} << "bkps" << QStringList{"Combo3=9600 "}
                                  << QStringList{"默认波特率=0,9600 "};
        QTest::newRow("RUN on") << QStringList{} << "RUN" << QStringList{}
                                << QStringList{"开机运行=1"};
    }
    void switches()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, clicked);
        QFETCH(QStringList, states);
        QFETCH(QStringList, written);
        writeIni(SystemLines(lines));
        QVERIFY(start());
        autoStart.calls.clear();
        writeIni(SystemLines({}));
        support::Click(window->control(clicked));
        verifyStates(states);
        QCOMPARE(iniBytes(), SystemLines(written));
        // The log-on entry follows RUN, naming this program.
        QCOMPARE(autoStart.calls,
                 clicked == u"RUN"
                     ? QStringList{u"add "_qs + QCoreApplication::applicationFilePath()}
                     : QStringList{});
    }

    // A list on the settings page chosen with the keyboard.
    void lists_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QStringList>("states");
        QTest::newRow("baud, default on")
            << QStringList{} << "Combo5" << int(Qt::Key_End) << "默认波特率=1,115200"
            << QStringList{"Combo3=115200", "Combo4=115200"};
        QTest::newRow("baud, default off")
            << QStringList{"默认波特率=0,9600"} << "Combo5" << int(Qt::Key_End)
            << "默认波特率=0,115200" << QStringList{"Combo3=9600 ", "Combo4=9600 "};
        QTest::newRow("port, default off")
            << QStringList{"默认波特率=0,115200"} << "Combo6" << int(Qt::Key_Home)
            << "默认端口=0,/dev/ttyQV1" << QStringList{"Combo2=", "Combo3=9600 "};
        QTest::newRow("model") << QStringList{} << "Combo8" << int(Qt::Key_End) << "默认型号=1"
                               << QStringList{"Combo1=QV-08", "ChannelCount=8"};
        QTest::newRow("read mode") << QStringList{} << "Combo9" << int(Qt::Key_Down)
                                   << "读取地址默认模式=1" << QStringList{"Combo7=RS485"};
    }
    void lists()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, list);
        QFETCH(int, key);
        QFETCH(QString, written);
        QFETCH(QStringList, states);
        writeIni(SystemLines(lines));
        QVERIFY(start());
        writeIni(SystemLines({}));
        window->control(list)->setFocus();
        QVERIFY(support::KeyIntoFocus(Qt::Key(key)));
        QCOMPARE(iniBytes(), SystemLines({written}));
        verifyStates(states);
    }

    // An adapter plugged in later can be chosen as the default port; the stored one, absent
    // today, stays listed and chosen, and nothing is written.
    void defaultPortListFollowsHotPlug()
    {
        writeIni(SystemLines({u"默认端口=1,/dev/ttyQV9"_qs}));
        QVERIFY(start());
        const QByteArray before = iniBytes();
        systemPorts << u"/dev/ttyUSB5"_qs;
        window->Timer2.start(); // a device notice
        QTRY_COMPARE(window->Combo6->count(), 4);
        QCOMPARE(window->Combo6->itemText(2), u"/dev/ttyUSB5"_qs);
        QCOMPARE(window->Combo6->currentText(), u"/dev/ttyQV9"_qs);
        QCOMPARE(iniBytes(), before);
    }

    // Keys typed into the settings address box, one step each: "box text|stored value|messages".
    void addressBox_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("keys"); // "\b" is Backspace
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("2, 5, 6") << "1,9"
                                 << "\b256"
                                 << QStringList{"|1,9|0", "2|1,2|0", "25|1,25|0", "256|1,25|1"};
        QTest::newRow("0 becomes 1") << "1,9"
                                     << "\b0" << QStringList{"|1,9|0", "1|1,9|1"};
        QTest::newRow("other keys discarded")
            << "1,9"
            << "a-." << QStringList{"9|1,9|0", "9|1,9|0", "9|1,9|0"};
    }
    void addressBox()
    {
        QFETCH(QString, address);
        QFETCH(QString, keys);
        QFETCH(QStringList, steps);
        writeIni(SystemLines({u"默认地址="_qs + address}));
        QVERIFY(start());
        window->Text4->setFocus();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            typeKeys(keys.at(i));
            QCOMPARE(window->Text4->text() + u'|' + stored(AddressKey) + u'|' +
                         QString::number(messages.messages.size()),
                     steps.at(i));
        }
        for (const app::Message &m : messages.messages) {
            QCOMPARE(m.text, u"输入错误，地址范围在1-255"_qs);
            QCOMPARE(m.icon, app::Message::Icon::Error);
            QCOMPARE(m.title, app::DefaultMessageTitle()); // none of its own
        }
    }

    // A click on the right end of the address box, where the range label reaches over it, puts
    // the keys into the box, not into the list that had the focus before.
    void clickOnTheAddressBoxUnderItsLabel()
    {
        QVERIFY(start());
        window->Combo3->setFocus();
        const QString rate = window->Combo3->currentText();
        const QRect box(window->Text4->mapTo(window.get(), QPoint()), window->Text4->size());
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                          QPoint(box.right() - 2, box.center().y()));
        QCOMPARE(support::KeyTarget(), window->Text4);
        QVERIFY(support::KeyIntoFocus(Qt::Key_End));
        typeKeys(u"\b25"_qs);
        QCOMPARE(stored(AddressKey), u"1,25"_qs);
        QCOMPARE(window->Combo3->currentText(), rate);
    }

    // Only the digits 0-9 reach an address box, also when text comes through an input method
    // (full-width digits, Chinese).
    void digitBoxes_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("default address") << "Text4";
        QTest::newRow("new address") << "Text2";
    }
    void digitBoxes()
    {
        QFETCH(QString, box);
        QVERIFY(start());
        window->control(box)->setFocus();
        QVERIFY(support::KeyIntoFocus(Qt::Key_End));
        typeKeys(u"\b２中3"_qs);
        QCOMPARE(StateOf(*window, box), u"3"_qs);
    }

    // The names page: channel 3 and the software name typed, then saved or restored.
    void names_data()
    {
        QTest::addColumn<bool>("restore"); // else save
        QTest::addColumn<bool>("yes");     // the answer to the question
        QTest::addColumn<QString>("name"); // typed for channel 3
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QString>("storedName");
        QTest::addColumn<QStringList>("afterRestart");
        const QString custom = u"title=泵房"_qs;
        QTest::newRow("save") << false << true << "水泵"
                              << QStringList{"LblTD(2)=水泵", "ChkTD(2)=水泵", "ddcon(2)=水泵",
                                             "yscon(2)=水泵", custom}
                              << "水泵" << QStringList{"TxtTD(2)=水泵", "LblTD(2)=水泵", custom};
        QTest::newRow("save, answered no")
            << false << false << "水泵"
            << QStringList{"LblTD(2)=第三路", "ddcon(2)=第三路", "title=" + MissingTitle}
            << "<missing>" << QStringList{"LblTD(2)=第三路", "title=" + MissingTitle};
        QTest::newRow("save a name with &")
            << false << true << "A&B"
            << QStringList{"LblTD(2)=A&B", "ChkTD(2)=A&B", "ddcon(2)=A&B", "yscon(2)=A&B"} << "A&B"
            << QStringList{"ChkTD(2)=A&B"};
        QTest::newRow("save an empty name")
            << false << true << "" << QStringList{"LblTD(2)=", "yscon(2)="} << ""
            << QStringList{"TxtTD(2)=", "LblTD(2)="};
        QTest::newRow("restore after a save")
            << true << true << "水泵"
            << QStringList{"TxtTD(2)=第三路", "LblTD(2)=第三路", "TxtTD(8)=" + RestoredTitle,
                           custom}
            << "第三路" << QStringList{"LblTD(2)=第三路", "title=" + RestoredTitle};
    }
    void names()
    {
        QFETCH(bool, restore);
        QFETCH(bool, yes);
        QFETCH(QString, name);
        QFETCH(QStringList, states);
        QFETCH(QString, storedName);
        QFETCH(QStringList, afterRestart);
        QVERIFY(start());
        window->safetabs1->setActiveTab(5);
        for (const auto &[box, text] :
             {std::pair(window->TxtTD[2], name), std::pair(window->TxtTD[8], u"泵房"_qs)}) {
            box->setFocus();
            QVERIFY(support::KeyIntoFocus(Qt::Key_A, Qt::ControlModifier));
            QVERIFY(support::KeyIntoFocus(Qt::Key_Delete));
            typeKeys(text);
        }
        if (restore)
            support::Click(window->qzbutton5); // answered Yes
        messages.answers = {yes ? app::Answer::Yes : app::Answer::No};
        support::Click(restore ? window->qzbutton6 : window->qzbutton5);
        const app::Message &asked = messages.messages.back();
        QCOMPARE(asked.text, restore ? u"是否将名称恢复成默认值？"_qs : u"是否保存新的名称？"_qs);
        QCOMPARE(asked.title, u"提示"_qs);
        QCOMPARE(asked.icon, app::Message::Icon::None);
        QCOMPARE(asked.buttons, app::Message::Buttons::YesNo);
        verifyStates(states);
        QCOMPARE(stored(ChannelKey(2), NamesSection), storedName);
        QVERIFY(start());
        verifyStates(afterRestart);
    }

    // "打开设定端口" opens the default port by itself once the window is up, and
    // "自动读取状态" then reads the relay states once.
    void openAtStart_data()
    {
        QTest::addColumn<QStringList>("lines"); // %1: the port
        QTest::addColumn<QString>("commandLinePort");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QByteArray>("sent");
        const QStringList open{"默认端口=1,%1", "打开设定端口=1"};
        QTest::newRow("open") << open << "" << true << QByteArray();
        QTest::newRow("open and read") << open + QStringList{"自动读取状态=1"} << "" << true
                                       << QByteArray::fromHex("010300000001840A");
        QTest::newRow("not asked") << QStringList{"默认端口=1,%1"} << "" << false << QByteArray();
        QTest::newRow("default port absent")
            << QStringList{"默认端口=1,/dev/ttyQVgone", "打开设定端口=1", "自动读取状态=1"} << ""
            << false << QByteArray();
        QTest::newRow("the command line names another port")
            << open + QStringList{"自动读取状态=1"} << "/dev/ttyQVother" << false << QByteArray();
    }
    void openAtStart()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, commandLinePort);
        QFETCH(bool, opens);
        QFETCH(QByteArray, sent);
        PtyPair pty;
        QVERIFY(pty.isValid());
        systemPorts = QStringList{pty.slavePath()};
        writeIni(SystemLines(lines).replace("%1", pty.slavePath().toLocal8Bit()));
        app::StartOptions options;
        if (!commandLinePort.isEmpty())
            options.extraPorts = QStringList{commandLinePort};
        QVERIFY(start(options));
        QVERIFY(!window->MSComm1.isOpen()); // not at once: a second after start-up
        QTRY_VERIFY_WITH_TIMEOUT(!window->sheding.isActive() && !window->sdduqu.isActive(), 5000);
        QCOMPARE(window->MSComm1.isOpen(), opens);
        QTRY_COMPARE_WITH_TIMEOUT(pty.received(), sent, 3000);
        QVERIFY(messages.messages.isEmpty());
        // Closing the window closes the port and writes nothing.
        const QByteArray before = iniBytes();
        window->close();
        QVERIFY(!window->MSComm1.isOpen());
        QCOMPARE(iniBytes(), before);
    }

    // Whatever Config.ini holds, start-up reaches the window without a message, takes what it
    // can read and keeps it in the file.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("kept"); // still in the file afterwards
        QByteArray garbage(4096, '\0');
        for (qsizetype i = 0; i < garbage.size(); ++i)
            garbage[i] = char((i * 7919 + i / 13) % 256);
        const QByteArray head = Gbk(u"; 注释\r\n[系统设置]\r\n其他=保留\r\n"_qs);
        const QByteArray good = head + Gbk(u"默认型号=1\r\n"_qs);
        QTest::newRow("binary garbage") << "" << garbage << "QV-04" << garbage;
        QTest::newRow("truncated mid-line") << "" << good + Gbk(u"默认波"_qs) << "QV-08" << head;
        QTest::newRow("LF, no final newline")
            << "" << Gbk(u"[系统设置]\n其他=保留\n默认型号=1"_qs) << "QV-08"
            << Gbk(u"[系统设置]\n其他=保留\n默认型号=1\n"_qs);
        QTest::newRow("20 MB") << "" << garbage.repeated(5 * 1024) + good << "QV-08" << good;
        QTest::newRow("read-only file") << "read-only" << good << "QV-08" << good;
        QTest::newRow("folder named Config.ini")
            << "folder" << QByteArray() << "QV-04" << QByteArray();
    }
    void damagedFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, model);
        QFETCH(QByteArray, kept);
        if (kind == u"folder")
            QVERIFY(QDir(dir->path()).mkdir(u"Config.ini"_qs));
        else
            writeIni(bytes);
        if (kind == u"read-only")
            QVERIFY(QFile::setPermissions(ini(), QFile::ReadOwner));
        QVERIFY(start());
        verifyStates({"Combo1=" + model, "Combo5=9600 ", "Text4=1"});
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(iniBytes().contains(kept));
        if (kind == u"read-only")
            QCOMPARE(iniBytes(), bytes);
        if (kind == u"folder")
            QVERIFY(QFileInfo(ini()).isDir());
    }

    // A new user's first day: model, a channel name and the default port set, then a restart.
    void newUserWalkThrough()
    {
        systemPorts.clear();
        app::StartOptions demo;
        demo.demo = true;
        QVERIFY(start(demo));
        window->Combo8->setFocus();
        QVERIFY(support::KeyIntoFocus(Qt::Key_End)); // QV-08
        window->safetabs1->setActiveTab(5);
        window->TxtTD[0]->setFocus();
        QVERIFY(support::KeyIntoFocus(Qt::Key_A, Qt::ControlModifier));
        typeKeys(u"水泵"_qs);
        support::Click(window->qzbutton5); // answered Yes
        window->safetabs1->setActiveTab(6);
        window->Combo6->setFocus();
        QVERIFY(support::KeyIntoFocus(Qt::Key_Home));
        QCOMPARE(window->Combo6->currentText(), u"DEMO"_qs);
        support::Click(window->sp);
        window->close();

        QVERIFY(start(demo));
        verifyStates({"title=" + MissingTitle, "LblTD(0)=水泵", "Combo1=QV-08", "Combo2=DEMO",
                      "prots=on", "sp=on"});
        QTRY_VERIFY_WITH_TIMEOUT(window->MSComm1.isOpen(), 5000);
        // Config.ini is GBK text holding every key.
        const QByteArray bytes = iniBytes();
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString asUtf8 = utf8.decode(bytes);
        QVERIFY(utf8.hasError());
        QVERIFY(bytes.contains(Gbk(u"第 一 路=水泵\r\n"_qs)));
        QCOMPARE(stored(TitleKey, InfoSection), MissingTitle);
        for (const QString &key : {BaudKey, PortKey, AddressKey, ReadModeKey, ModelKey,
                                   AutoStartKey, OpenPortKey, ReadStateKey})
            QVERIFY2(stored(key) != u"<missing>", qPrintable(key));
        QCOMPARE(stored(PortKey), u"1,DEMO"_qs);
    }
};

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
