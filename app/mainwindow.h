#pragma once

#include "app/commandline.h"
#include "app/layout.h"
#include "app/messages.h"
#include "serial/commport.h"
#include "serial/portenumerator.h"
#include "serial/portwatch.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

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
class ModuleConfig;
class RelayPanel;
class Replies;
class TimeBoxes;

// The control types under names that the members below do not hide.
using ButtonControl = ::QzButton;
using SwitchControl = ::SafeSwitch;
using TabsControl = ::SafeTabs;

// The main window. It owns every control, the serial port MSComm1, the timers and the popup
// menu. Controls are public members named as the window names them (objectName "LblTD(3)" is
// member LblTD[3]); handlers live in one file per region of the window.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    // messages: where the window's messages go; null for message boxes over the window.
    explicit Form1(const app::StartOptions &options = {}, app::Messages *messages = nullptr,
                   QWidget *parent = nullptr);
    ~Form1() override;

    // Every created control by objectName.
    QWidget *control(const QString &objectName) const { return m_controls.value(objectName); }
    const QHash<QString, QWidget *> &controls() const { return m_controls; }

    app::Messages &messages() { return *m_messages; }
    const app::StartOptions &startOptions() const { return m_options; }

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
           *Label13 = nullptr;
    QComboBox *Combo5 = nullptr, *Combo6 = nullptr, *Combo9 = nullptr, *Combo8 = nullptr;
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

    // Relay panel and receive path (relaypanel.cpp, timeboxes.cpp, replies.cpp): the kind of
    // the last request sent, the channel count of the chosen model, the reply-routing flag and
    // the handler objects.
    QString RequestKind;
    int ChannelCount = 0;
    // "1": replies go to the interpreter; "0": on the console page, to the console.
    QString Text9 = QStringLiteral("1");
    RelayPanel *relayPanel = nullptr;
    TimeBoxes *timeBoxes = nullptr;
    Replies *replies = nullptr;
    ModuleConfig *moduleConfig = nullptr;
    // True while a reply is being gathered or interpreted: a timer step that sends skips its tick.
    bool ReplyBeingCollected() const;

    // The baud-search position of the module search (a window-wide variable).
    int BaudScanIndex = 0;

    // The port list and the hot-plug watch behind Combo2.
    serial::PortEnumerator &portEnumerator() { return m_enumerator; }
    serial::PortWatch &portWatch() { return *m_watch; }
    // Where the machine's ports come from (tests list made-up ports); the ports given on the
    // command line and the virtual ports are always added.
    void setPortSource(serial::PortEnumerator::Source source);

    // Connection strip handlers.
    void Command2_Click();
    void Combo3_Click();
    // Fills Combo2 with the ports found, in order; returns the listing.
    serial::PortListing FillPortList();
    // The outcome of the hot-plug watch once the number of ports changed.
    void ApplyWatchUpdate(const serial::WatchUpdate &update);
    // The open port failed (adapter pulled, line gone): the port is closed already.
    void PortFailed(const QString &reason);
    // Closed and open looks of the connection strip and status line.
    void ShowPortClosed();
    void ShowPortOpen();

    // Start-up.
    void Form_Load();
    void Timer4_Timer();

    // The popup menu at the pointer.
    void qzbutton7_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void bindMembers();
    void createTimers();
    void createPopupMenu();
    void createRelayPanel();
    void connectConnectionStrip();
    void createWatch();
    template <typename T> T *find(const QString &name) const;
    template <typename T, std::size_t N>
    void bindArray(std::array<T *, N> &array, const char *name, int first, int last);

    app::StartOptions m_options;
    std::unique_ptr<app::Messages> m_ownMessages;
    app::Messages *m_messages = nullptr;
    QHash<QString, QWidget *> m_controls;
    serial::PortEnumerator m_enumerator;
    std::unique_ptr<serial::PortWatch> m_watch;
    std::unique_ptr<serial::DeviceNotices> m_notices;
};
