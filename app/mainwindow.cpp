#include "app/mainwindow.h"

#include "app/appicon.h"
#include "app/channelnames.h"
#include "app/connectionstrip.h"
#include "app/console.h"
#include "app/lamp.h"
#include "app/moduleconfig.h"
#include "app/monitorpage.h"
#include "app/overviewpage.h"
#include "app/relaypanel.h"
#include "app/replies.h"
#include "app/settingspage.h"
#include "app/testpage.h"
#include "app/timeboxes.h"
#include "app/twips.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "settings/autostart.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTableView>

namespace {

QFont WindowFont(int pointSize = 9)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(pointSize);
    return font;
}

// The window keeps its own light colours whatever the desktop's theme: a full light palette (text
// dark on light boxes and buttons) on the window and its popup menu, so a dark system palette
// reaches none of its controls.
QPalette WindowPalette()
{
    QPalette palette(QColor(240, 240, 240));
    palette.setColor(QPalette::Window, app::WindowBackColor());
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(128, 128, 128));
    return palette;
}

void SetBackColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetTextColour(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QWidget *CreateControl(const app::ControlRow &row, QWidget *parent)
{
    using K = app::ControlKind;
    switch (row.kind) {
    case K::Frame: {
        auto *frame = new QGroupBox(app::Caption(row.text), parent);
        if (row.back.isValid())
            SetBackColour(frame, row.back);
        return frame;
    }
    case K::Label: {
        auto *label = new QLabel(app::Caption(row.text), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
        if (row.back.isValid()) {
            // A label with a colour of its own is a coloured cell, its text centred.
            SetBackColour(label, row.back);
            label->setAlignment(Qt::AlignCenter);
        }
        if (row.fore.isValid())
            SetTextColour(label, row.fore);
        return label;
    }
    case K::TextBox: {
        auto *box = new QLineEdit(row.text, parent);
        box->setCursorPosition(0);
        if (row.back.isValid())
            SetBackColour(box, row.back);
        if (row.flat) {
            box->setFrame(false);
            box->setTextMargins(0, 0, 0, 0);
        }
        return box;
    }
    case K::MultiLineTextBox: {
        auto *box = new QPlainTextEdit(row.text, parent);
        box->setVerticalScrollBarPolicy(row.scrollBar ? Qt::ScrollBarAlwaysOn
                                                      : Qt::ScrollBarAlwaysOff);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        return box;
    }
    case K::ListCombo:
    case K::EditableCombo: {
        auto *combo = new QComboBox(parent);
        const bool editable = row.kind == K::EditableCombo;
        combo->setEditable(editable);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(16);
        for (const QString &item : row.items)
            combo->addItem(app::Caption(item));
        // Nothing is chosen until the program or the user picks an entry; an editable box
        // shows its own text meanwhile.
        combo->setCurrentIndex(-1);
        if (editable)
            combo->setEditText(row.text);
        return combo;
    }
    case K::CheckBox:
        return new QCheckBox(app::Caption(row.text), parent);
    case K::Button: {
        auto *button = new QzButton(parent);
        button->setButtonStyle(row.buttonStyle);
        button->setFont(WindowFont());
        if (row.back.isValid())
            button->setBackColor(row.back);
        // A button without a colour of its own writes in the window's button-text colour, not
        // the desktop's (which a dark theme makes light).
        button->setForeColor(row.fore.isValid() ? row.fore
                                                : WindowPalette().color(QPalette::ButtonText));
        button->setShowFocusRect(row.focusRect);
        button->setCaption(app::Caption(row.text));
        return button;
    }
    case K::Switch: {
        auto *toggle = new SafeSwitch(parent);
        toggle->setSkin(row.skin);
        toggle->setValue(row.value);
        return toggle;
    }
    case K::TabStrip: {
        auto *tabs = new SafeTabs(parent);
        const QStringList captions = app::TabCaptions();
        tabs->setTabCount(int(captions.size()));
        for (int i = 0; i < captions.size(); ++i)
            tabs->setCaption(i, app::Caption(captions.at(i)));
        tabs->setBackColor(row.back);
        tabs->setSkinIndex(row.skin);
        tabs->setLabelWidth(60);
        tabs->setLabelActHeight(25);
        tabs->setLabelHeight(24);
        tabs->setLabelBlank(0);
        tabs->setActiveTab(0);
        return tabs;
    }
    case K::Shape:
        return new app::Lamp(parent);
    case K::Table: {
        auto *table = new QTableView(parent);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setWordWrap(false);
        table->setAlternatingRowColors(true);
        return table;
    }
    case K::ProgressBar: {
        auto *bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    case K::Separator: {
        auto *line = new QFrame(parent);
        line->setFrameShape(row.twips.width() >= row.twips.height() ? QFrame::HLine
                                                                    : QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        SetTextColour(line, QColor(160, 160, 160));
        return line;
    }
    }
    return nullptr;
}

} // namespace

Form1::Form1(const app::StartOptions &options, const app::Services &services, QWidget *parent)
    : QWidget(parent), m_options(options), m_messages(services.messages),
      m_iniPath(services.iniPath), m_autoStart(services.autoStart)
{
    if (!m_messages) {
        m_ownMessages = std::make_unique<app::BoxMessages>(this);
        m_messages = m_ownMessages.get();
    }
    if (!m_autoStart) {
        m_ownAutoStart = std::make_unique<settings::RecordingAutoStart>();
        m_autoStart = m_ownAutoStart.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(app::Caption(app::WindowCaption()));
    setWindowIcon(app::AppIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    setPalette(WindowPalette());
    SetBackColour(this, app::WindowBackColor());
    setFixedSize(app::TwipsToPixels(app::ClientTwips()));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }

    // The controls, the timers, the popup menu and the port list with its hot-plug watch.
    createControls();
    bindMembers();
    createTimers();
    createPopupMenu();
    m_enumerator.setExtraPorts(m_options.extraPorts);
    createWatch();

    // The regions of the window, each connecting its own handlers.
    connectionStrip = new ConnectionStrip(*this);
    relayPanel = new RelayPanel(*this);
    timeBoxes = new TimeBoxes(*this);
    replies = new Replies(*this);
    moduleConfig = new ModuleConfig(*this);
    channelNames = new ChannelNames(*this);
    settingsPage = new SettingsPage(*this);
    console = new Console(*this);
    monitorPage = new MonitorPage(*this);
    testPage = new TestPage(*this);
    overviewPage = new OverviewPage(*this);
    connect(testPage, &TestPage::testStarted, overviewPage,
            [this] { overviewPage->setTestRunning(true); });
    connect(testPage, &TestPage::testFinished, overviewPage,
            [this] { overviewPage->setTestRunning(false); });

    // Start-up: the load handler; Timer4 finishes it from the event loop.
    Form_Load();
}

Form1::~Form1()
{
    MSComm1.close();
    m_watch.reset();
    // The controls go before the members their handlers use.
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

template <typename T> void Form1::bind(T *&member, const QString &name) const
{
    member = qobject_cast<T *>(m_controls.value(name));
    Q_ASSERT_X(member, "Form1", qPrintable(QStringLiteral("no control %1").arg(name)));
}

template <typename T, std::size_t N>
void Form1::bindArray(std::array<T *, N> &array, const char *name, int first, int last) const
{
    for (int i = first; i <= last; ++i)
        bind(array[std::size_t(i)], QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
}

void Form1::createControls()
{
    for (const app::ControlRow &row : app::WindowLayout()) {
        QWidget *parent = row.container.isEmpty() ? this : m_controls.value(row.container);
        Q_ASSERT(parent);
        QWidget *widget = CreateControl(row, parent);
        widget->setObjectName(row.name);
        widget->setGeometry(app::TwipsToPixels(row.twips));
        if (row.bold || row.pointSize) {
            QFont font = widget->font();
            if (row.pointSize)
                font.setPointSize(row.pointSize);
            font.setBold(row.bold);
            widget->setFont(font);
        }
        // Labels and the lamp are drawn beneath every other control of their container, so a
        // click where one overlaps a neighbour always reaches the neighbour.
        if (row.kind == app::ControlKind::Label || row.kind == app::ControlKind::Shape)
            widget->lower();
        if (row.hidden)
            widget->hide();
        if (row.page >= 0) {
            if (auto *tabs = qobject_cast<SafeTabs *>(parent))
                tabs->setPageOf(widget, row.page);
        }
        m_controls.insert(row.name, widget);
    }
}

// One line binds a member to the created control of the same name (BIND), or a control array to
// the controls name(first) .. name(last) (BIND_ARRAY); the member's type is the control's type.
#define BIND(member) bind(member, QStringLiteral(#member))
#define BIND_ARRAY(member, first, last) bindArray(member, #member, first, last)

void Form1::bindMembers()
{
    // Connection strip.
    BIND(Frame5);
    BIND(Frame6);
    BIND(Frame2);
    BIND(Frame1);
    for (int i : {1, 2, 4, 7, 8, 9})
        bind(Label1[std::size_t(i)], QStringLiteral("Label1(%1)").arg(i));
    BIND(Combo3);
    BIND(Combo2);
    BIND(Text1);
    BIND(Combo7);
    BIND(Combo1);
    BIND(Combo4);
    BIND(qzbutton10);
    BIND(Command2);
    BIND(Command1);
    BIND(qzbutton1);
    BIND(Command3);
    BIND(Shape1);
    BIND(Label18);
    BIND(Label19);
    BIND(Text2);

    BIND(safetabs1);
    // Page 0.
    BIND(Frame4);
    BIND_ARRAY(SafeSwitch, 0, 7);
    BIND_ARRAY(LblTD, 0, 19);
    BIND(Readzt);
    BIND(qzbutton3);
    BIND(qzbutton4);
    // Page 1.
    BIND(Frame18);
    BIND(Label28);
    BIND(Label27);
    BIND(ALLDDM);
    BIND_ARRAY(ddcon, 0, 7);
    BIND_ARRAY(DDM, 0, 7);
    BIND_ARRAY(DDT, 0, 7);
    BIND_ARRAY(DD, 0, 7);
    BIND(ALLDDT);
    BIND(ALLDD);
    // Page 2.
    BIND(Label16);
    BIND(Frame17);
    BIND_ARRAY(yscon, 0, 7);
    BIND_ARRAY(ht, 0, 7);
    BIND_ARRAY(TM, 0, 7);
    BIND_ARRAY(ONQ, 0, 7);
    BIND_ARRAY(OFF, 0, 7);
    BIND(Label17);
    BIND(QB);
    BIND(QTM);
    BIND(allyanshi);
    BIND(qzbutton12);
    // Page 3.
    BIND(Frame9);
    BIND(Label4);
    BIND_ARRAY(ChkTD, 0, 7);
    BIND(qzbutton9);
    // Page 4.
    BIND(Frame16);
    BIND(Frame15);
    BIND(Frame14);
    BIND(Frame12);
    BIND(Frame13);
    BIND(TxtReceive);
    BIND(TxtSend);
    BIND(qzbutton8);
    BIND(Command7);
    BIND(qzbutton7);
    BIND(Command8);
    BIND(Label15);
    BIND(jishu);
    BIND(ChkHexSend);
    BIND(Text7);
    BIND(Text8);
    // Page 5.
    BIND(Frame8);
    BIND_ARRAY(TxtTD, 0, 8);
    BIND(qzbutton5);
    BIND(qzbutton6);
    // Page 6.
    BIND(Frame11);
    BIND(Label20);
    BIND(Label7);
    BIND(Label11);
    BIND(Label6);
    BIND(Label10);
    BIND(Label21);
    BIND(Label5);
    BIND(Label12);
    BIND(Label13);
    BIND(Label22);
    BIND(Label23);
    BIND(Combo5);
    BIND(Combo6);
    BIND(Combo9);
    BIND(Combo8);
    BIND(Combo10);
    BIND(Combo11);
    BIND(Text4);
    BIND(bkps);
    BIND(prots);
    BIND(dizhi);
    BIND(RUN);
    BIND(sp);
    BIND(duqu);
    // Status frame.
    BIND(Frame3);
    BIND(LblOut);
    BIND(LblIn);
    BIND(qzbutton11);
    BIND(qzbutton13);
    BIND(Label14);
    BIND(Label2);
    BIND(Label3);
    BIND(Line1);
    BIND(Line2);
    BIND(Line3);
    BIND(Line4);
    BIND(Line5);
}

#undef BIND
#undef BIND_ARRAY

void Form1::createTimers()
{
    QTimer *const timers[] = {&Timer1, &Timer2, &Timer3, &Timer4,
                              &Timer5, &readBT, &sdduqu, &sheding};
    const auto &table = app::TimerTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        QTimer *timer = timers[i];
        timer->setObjectName(table[i].name);
        timer->setInterval(table[i].intervalMs);
        if (table[i].enabled)
            timer->start();
    }
    connect(&Timer4, &QTimer::timeout, this, &Form1::Timer4_Timer);
}

void Form1::createPopupMenu()
{
    mmu = new QMenu(QStringLiteral("mmu"), this);
    mmu->setObjectName(app::PopupMenuName());
    mmu->setPalette(WindowPalette());
    for (const app::MenuRow &row : app::PopupMenuTable()) {
        QAction *item = row.caption == QStringLiteral("-")
                            ? mmu->addSeparator()
                            : mmu->addAction(app::Caption(row.caption));
        item->setObjectName(row.name);
        menuItems.insert(row.name, item);
    }
    MOD = menuItems.value("MOD");
    MOD1 = menuItems.value("MOD1");
    MOD2 = menuItems.value("MOD2");
    MOD3 = menuItems.value("MOD3");
    MOD4 = menuItems.value("MOD4");
    MOD5 = menuItems.value("MOD5");
    AT0 = menuItems.value("AT0");
    AT1 = menuItems.value("AT1");
    AT2 = menuItems.value("AT2");
    AT3 = menuItems.value("AT3");
    AT4 = menuItems.value("AT4");
    AT5 = menuItems.value("AT5");
}

void Form1::createWatch()
{
    m_watch = std::make_unique<serial::PortWatch>(
        m_enumerator, [this] { return Combo2->currentText(); },
        [this] { return MSComm1.isOpen(); });
    // A device arrived or left (Timer2 is started then): poll the port list until the number of
    // ports changes.
    connect(&Timer2, &QTimer::timeout, m_watch.get(), &serial::PortWatch::tick);
    connect(m_watch.get(), &serial::PortWatch::changed, this,
            [this](const serial::WatchUpdate &update) {
                Timer2.stop();
                connectionStrip->ApplyWatchUpdate(update);
                settingsPage->ListDefaultPorts(update.ports);
            });
}

void Form1::setPortSource(serial::PortEnumerator::Source source)
{
    m_enumerator = serial::PortEnumerator(std::move(source));
    m_enumerator.setExtraPorts(m_options.extraPorts);
    createWatch();
}

bool Form1::ReplyBeingCollected() const
{
    return (replies && replies->collecting()) || (console && console->collecting());
}

bool Form1::showsPageOf(const QWidget *control) const
{
    while (control && control->parentWidget() != safetabs1)
        control = control->parentWidget();
    return control && safetabs1->pageOf(control) == safetabs1->activeTab();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Unloading closes the port; every setting was stored when it changed. A start-up step still
    // pending would open the port again behind the closed window.
    Timer4.stop();
    sheding.stop();
    sdduqu.stop();
    // A module test under way leaves no relay switched on behind the closed window.
    if (testPage)
        testPage->stopBeforeClose();
    MSComm1.close();
    QWidget::closeEvent(event);
}
