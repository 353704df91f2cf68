#pragma once

#include "app/commandline.h"
#include "app/layout.h"
#include "app/messages.h"
#include "app/services.h"
#include "link/echo.h"
#include "protocol/requests.h"
#include "serial/commport.h"
#include "serial/portenumerator.h"
#include "serial/portwatch.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;

class QzButton;
class SafeSwitch;
class SafeTabs;

namespace app {
class Lamp;
}
namespace settings {
class AutoStart;
}
class ChannelNames;
class ConnectionStrip;
class Console;
class ModuleConfig;
class MonitorPage;
class OverviewPage;
class RelayPanel;
class Replies;
class SettingsPage;
class TestPage;
class TimeBoxes;

// The control types under names that the members below do not hide.
using ButtonControl = ::QzButton;
using SwitchControl = ::SafeSwitch;
using TabsControl = ::SafeTabs;

// The main window. It owns every control, the serial port MSComm1, the timers, the popup menu
// and the window-wide variables. Controls are public members named as the window names them
// (objectName "LblTD(3)" is member LblTD[3]). The handlers of each region of the window are one
// object holding the window (ConnectionStrip, RelayPanel, TimeBoxes, Replies, ModuleConfig,
// Console, MonitorPage, TestPage, OverviewPage), in one file pair.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(const app::StartOptions &options = {}, const app::Services &services = {},
                   QWidget *parent = nullptr);
    ~Form1() override;

    // Every created control by objectName.
    QWidget *control(const QString &objectName) const { return m_controls.value(objectName); }
    const QHash<QString, QWidget *> &controls() const { return m_controls; }

    app::Messages &messages() { return *m_messages; }
    const app::StartOptions &startOptions() const { return m_options; }
    // Config.ini, for ReadIni and WriteIni.
    const QString &iniPath() const { return m_iniPath; }
    settings::AutoStart &autoStart() { return *m_autoStart; }

    // The serial port (the window's port object).
    serial::CommPort MSComm1;

    // Connection strip.
    QGroupBox *Frame5 = nullptr, *Frame6 = nullptr, *Frame2 = nullptr, *Frame1 = nullptr;
    std::array<QLabel *, 10> Label1{}; // indices 1, 2, 4, 7, 8, 9 exist
    QComboBox *Combo3 = nullptr, *Combo2 = nullptr, *Text1 = nullptr, *Combo7 = nullptr,
              *Combo1 = nullptr, *Combo4 = nullptr;
    ButtonControl *qzbutton10 = nullptr, *Command2 = nullptr, *Command1 = nullptr,
                  *qzbutton1 = nullptr, *Command3 = nullptr;
    app::Lamp *Shape1 = nullptr;
    QLabel *Label18 = nullptr, *Label19 = nullptr;
    QLineEdit *Text2 = nullptr;

    // The tab strip and its pages.
    TabsControl *safetabs1 = nullptr;
    // Page 0: single channels.
    QGroupBox *Frame4 = nullptr;
    std::array<SwitchControl *, 8> SafeSwitch{};
    std::array<QLabel *, 20> LblTD{}; // 0..7 page 0, 8..16 page 5, 17..18 status, 19 page 6
    ButtonControl *Readzt = nullptr, *qzbutton3 = nullptr, *qzbutton4 = nullptr;
    // Page 1: jog.
    QGroupBox *Frame18 = nullptr;
    QLabel *Label28 = nullptr, *Label27 = nullptr, *ALLDDM = nullptr;
    std::array<QLabel *, 8> ddcon{}, DDM{};
    std::array<QComboBox *, 8> DDT{};
    std::array<ButtonControl *, 8> DD{};
    QComboBox *ALLDDT = nullptr;
    ButtonControl *ALLDD = nullptr;
    // Page 2: delay.
    QLabel *Label16 = nullptr;
    QGroupBox *Frame17 = nullptr;
    std::array<QLabel *, 8> yscon{}, ht{};
    std::array<QComboBox *, 8> TM{};
    std::array<ButtonControl *, 8> ONQ{}, OFF{};
    QLabel *Label17 = nullptr, *QB = nullptr;
    QComboBox *QTM = nullptr;
    ButtonControl *allyanshi = nullptr, *qzbutton12 = nullptr;
    // Page 3: combined.
    QGroupBox *Frame9 = nullptr;
    QLabel *Label4 = nullptr;
    std::array<QCheckBox *, 8> ChkTD{};
    ButtonControl *qzbutton9 = nullptr;
    // Page 4: console.
    QGroupBox *Frame16 = nullptr, *Frame15 = nullptr, *Frame14 = nullptr, *Frame12 = nullptr,
              *Frame13 = nullptr;
    QPlainTextEdit *TxtReceive = nullptr, *TxtSend = nullptr;
    ButtonControl *qzbutton8 = nullptr, *Command7 = nullptr, *qzbutton7 = nullptr,
                  *Command8 = nullptr;
    QLabel *Label15 = nullptr, *jishu = nullptr;
    QCheckBox *ChkHexSend = nullptr;
    QLineEdit *Text7 = nullptr, *Text8 = nullptr;
    // Page 5: names.
    QGroupBox *Frame8 = nullptr;
    std::array<QLineEdit *, 9> TxtTD{};
    ButtonControl *qzbutton5 = nullptr, *qzbutton6 = nullptr;
    // Page 6: system settings.
    QGroupBox *Frame11 = nullptr;
    QLabel *Label20 = nullptr, *Label7 = nullptr, *Label11 = nullptr, *Label6 = nullptr,
           *Label10 = nullptr, *Label21 = nullptr, *Label5 = nullptr, *Label12 = nullptr,
           *Label13 = nullptr, *Label22 = nullptr, *Label23 = nullptr;
    QComboBox *Combo5 = nullptr, *Combo6 = nullptr, *Combo9 = nullptr, *Combo8 = nullptr,
              *Combo10 = nullptr,     // the window's language
                  *Combo11 = nullptr; // the adapter's echo
    QLineEdit *Text4 = nullptr;
    SwitchControl *bkps = nullptr, *prots = nullptr, *dizhi = nullptr, *RUN = nullptr,
                  *sp = nullptr, *duqu = nullptr;

    // Status frame.
    QGroupBox *Frame3 = nullptr;
    QLineEdit *LblOut = nullptr, *LblIn = nullptr;
    ButtonControl *qzbutton11 = nullptr, *qzbutton13 = nullptr;
    QLabel *Label14 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
    QFrame *Line1 = nullptr, *Line2 = nullptr, *Line3 = nullptr, *Line4 = nullptr, *Line5 = nullptr;

    // Timers.
    QTimer Timer1, Timer2, Timer3, Timer4, Timer5, readBT, sdduqu, sheding;

    // The popup menu of example frames and its items.
    QMenu *mmu = nullptr;
    QAction *MOD = nullptr, *MOD1 = nullptr, *MOD2 = nullptr, *MOD3 = nullptr, *MOD4 = nullptr,
            *MOD5 = nullptr, *AT0 = nullptr, *AT1 = nullptr, *AT2 = nullptr, *AT3 = nullptr,
            *AT4 = nullptr, *AT5 = nullptr;
    QHash<QString, QAction *> menuItems; // every item by name, separators included

    // Window-wide variables: the kind of the last request sent (see wire.h), the channel count
    // of the chosen model and the reply-routing flag.
    std::optional<protocol::RequestKind> RequestKind; // none before the first request
    int ChannelCount = 0;
    // True: replies go to the interpreter; false: while the console's page is shown, to the
    // console (Replies::setConsoleShown sets it; a request whose kind routes replies to the
    // interpreter sets it true).
    bool Text9 = true;
    // Whether the line's adapter hears itself (system settings); what the window learned of the
    // open port is the master's (Replies::lineEchoes).
    bus::Echo EchoMode = bus::Echo::Auto;
    // The regions of the window.
    ConnectionStrip *connectionStrip = nullptr;
    RelayPanel *relayPanel = nullptr;
    TimeBoxes *timeBoxes = nullptr;
    Replies *replies = nullptr;
    ModuleConfig *moduleConfig = nullptr;
    ChannelNames *channelNames = nullptr;
    SettingsPage *settingsPage = nullptr;
    Console *console = nullptr;
    MonitorPage *monitorPage = nullptr;
    TestPage *testPage = nullptr;
    OverviewPage *overviewPage = nullptr;
    // True while a reply is being gathered or interpreted: a timer step that sends skips its tick.
    bool ReplyBeingCollected() const;
    // Whether the tab strip shows the page that holds control.
    bool showsPageOf(const QWidget *control) const;

    // The baud-search position of the module search (a window-wide variable).
    int BaudScanIndex = 0;

    // The port list and the hot-plug watch behind Combo2.
    serial::PortEnumerator &portEnumerator() { return m_enumerator; }
    serial::PortWatch &portWatch() { return *m_watch; }
    // Where the machine's ports come from (tests list made-up ports); the ports given on the
    // command line and the virtual ports are always added.
    void setPortSource(serial::PortEnumerator::Source source);

    // Start-up (startup.cpp): the load handler and the one-shot Timer4.
    void Form_Load();
    void Timer4_Timer();

signals:
    // A request went out through the one send path (wire.*); the bus monitor shows it.
    void requestSent(const QByteArray &frame);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void bindMembers();
    void createTimers();
    void createPopupMenu();
    void createWatch();
    template <typename T> void bind(T *&member, const QString &name) const;
    template <typename T, std::size_t N>
    void bindArray(std::array<T *, N> &array, const char *name, int first, int last) const;

    app::StartOptions m_options;
    std::unique_ptr<app::Messages> m_ownMessages;
    app::Messages *m_messages = nullptr;
    QString m_iniPath;
    std::unique_ptr<settings::AutoStart> m_ownAutoStart;
    settings::AutoStart *m_autoStart = nullptr;
    QHash<QString, QWidget *> m_controls;
    serial::PortEnumerator m_enumerator;
    std::unique_ptr<serial::PortWatch> m_watch;
    std::unique_ptr<serial::DeviceNotices> m_notices;
};
