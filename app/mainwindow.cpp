#include "app/mainwindow.h"

#include "app/appicon.h"
#include "app/lamp.h"
#include "app/moduleconfig.h"
#include "app/twips.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"

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
#include <QScreen>

namespace {

QFont WindowFont(int pointSize = 9)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSize(pointSize);
    return font;
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
        auto *frame = new QGroupBox(row.text, parent);
        if (row.back.isValid())
            SetBackColour(frame, row.back);
        return frame;
    }
    case K::Label: {
        auto *label = new QLabel(row.text, parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setTextFormat(Qt::PlainText);
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
        combo->addItems(row.items);
        // Nothing is chosen until the program or the user picks an entry; an editable box
        // shows its own text meanwhile.
        combo->setCurrentIndex(-1);
        if (editable)
            combo->setEditText(row.text);
        return combo;
    }
    case K::CheckBox:
        return new QCheckBox(row.text, parent);
    case K::Button: {
        auto *button = new QzButton(parent);
        button->setButtonStyle(row.buttonStyle);
        button->setFont(WindowFont());
        if (row.back.isValid())
            button->setBackColor(row.back);
        if (row.fore.isValid())
            button->setForeColor(row.fore);
        button->setShowFocusRect(row.focusRect);
        button->setCaption(row.text);
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
            tabs->setCaption(i, captions.at(i));
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

Form1::Form1(const app::StartOptions &options, app::Messages *messages, QWidget *parent)
    : QWidget(parent), m_options(options), m_messages(messages)
{
    if (!m_messages) {
        m_ownMessages = std::make_unique<app::BoxMessages>(this);
        m_messages = m_ownMessages.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(app::WindowCaption());
    setWindowIcon(app::AppIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(WindowFont());
    SetBackColour(this, app::WindowBackColor());
    setFixedSize(app::TwipsToPixels(app::ClientTwips()));
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), size());
        area.moveCenter(screen->availableGeometry().center());
        move(area.topLeft());
    }

    createControls();
    bindMembers();
    createTimers();
    createPopupMenu();

    m_enumerator.setExtraPorts(m_options.extraPorts);
    createWatch();
    connectConnectionStrip();
    connect(qzbutton7, &QzButton::Click, this, &Form1::qzbutton7_Click);
    createRelayPanel();
    moduleConfig = new ModuleConfig(*this);

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

template <typename T> T *Form1::find(const QString &name) const
{
    QWidget *widget = m_controls.value(name);
    T *typed = qobject_cast<T *>(widget);
    Q_ASSERT_X(typed, "Form1", qPrintable(QStringLiteral("no control %1").arg(name)));
    return typed;
}

template <typename T, std::size_t N>
void Form1::bindArray(std::array<T *, N> &array, const char *name, int first, int last)
{
    for (int i = first; i <= last; ++i)
        array[std::size_t(i)] = find<T>(QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
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
        if (row.hidden)
            widget->hide();
        if (row.page >= 0) {
            if (auto *tabs = qobject_cast<SafeTabs *>(parent))
                tabs->setPageOf(widget, row.page);
        }
        m_controls.insert(row.name, widget);
    }
}

void Form1::bindMembers()
{
    // Connection strip.
    Frame5 = find<QGroupBox>("Frame5");
    Frame6 = find<QGroupBox>("Frame6");
    Frame2 = find<QGroupBox>("Frame2");
    Frame1 = find<QGroupBox>("Frame1");
    for (int i : {1, 2, 4, 7, 8, 9})
        Label1[std::size_t(i)] = find<QLabel>(QStringLiteral("Label1(%1)").arg(i));
    Combo3 = find<QComboBox>("Combo3");
    Combo2 = find<QComboBox>("Combo2");
    Text1 = find<QComboBox>("Text1");
    Combo7 = find<QComboBox>("Combo7");
    Combo1 = find<QComboBox>("Combo1");
    Combo4 = find<QComboBox>("Combo4");
    qzbutton10 = find<QzButton>("qzbutton10");
    Command2 = find<QzButton>("Command2");
    Command1 = find<QzButton>("Command1");
    qzbutton1 = find<QzButton>("qzbutton1");
    Command3 = find<QzButton>("Command3");
    Shape1 = find<app::Lamp>("Shape1");
    Label18 = find<QLabel>("Label18");
    Label19 = find<QLabel>("Label19");
    Text2 = find<QLineEdit>("Text2");

    safetabs1 = find<SafeTabs>("safetabs1");
    // Page 0.
    Frame4 = find<QGroupBox>("Frame4");
    bindArray(SafeSwitch, "SafeSwitch", 0, 7);
    bindArray(LblTD, "LblTD", 0, 19);
    Readzt = find<QzButton>("Readzt");
    qzbutton3 = find<QzButton>("qzbutton3");
    qzbutton4 = find<QzButton>("qzbutton4");
    // Page 1.
    Frame18 = find<QGroupBox>("Frame18");
    Label28 = find<QLabel>("Label28");
    Label27 = find<QLabel>("Label27");
    ALLDDM = find<QLabel>("ALLDDM");
    bindArray(ddcon, "ddcon", 0, 7);
    bindArray(DDM, "DDM", 0, 7);
    bindArray(DDT, "DDT", 0, 7);
    bindArray(DD, "DD", 0, 7);
    ALLDDT = find<QComboBox>("ALLDDT");
    ALLDD = find<QzButton>("ALLDD");
    // Page 2.
    Label16 = find<QLabel>("Label16");
    Frame17 = find<QGroupBox>("Frame17");
    bindArray(yscon, "yscon", 0, 7);
    bindArray(ht, "ht", 0, 7);
    bindArray(TM, "TM", 0, 7);
    bindArray(ONQ, "ONQ", 0, 7);
    bindArray(OFF, "OFF", 0, 7);
    Label17 = find<QLabel>("Label17");
    QB = find<QLabel>("QB");
    QTM = find<QComboBox>("QTM");
    allyanshi = find<QzButton>("allyanshi");
    qzbutton12 = find<QzButton>("qzbutton12");
    // Page 3.
    Frame9 = find<QGroupBox>("Frame9");
    Label4 = find<QLabel>("Label4");
    bindArray(ChkTD, "ChkTD", 0, 7);
    qzbutton9 = find<QzButton>("qzbutton9");
    // Page 4.
    Frame16 = find<QGroupBox>("Frame16");
    Frame15 = find<QGroupBox>("Frame15");
    Frame14 = find<QGroupBox>("Frame14");
    Frame12 = find<QGroupBox>("Frame12");
    Frame13 = find<QGroupBox>("Frame13");
    TxtReceive = find<QPlainTextEdit>("TxtReceive");
    TxtSend = find<QPlainTextEdit>("TxtSend");
    qzbutton8 = find<QzButton>("qzbutton8");
    Command7 = find<QzButton>("Command7");
    qzbutton7 = find<QzButton>("qzbutton7");
    Command8 = find<QzButton>("Command8");
    Label15 = find<QLabel>("Label15");
    jishu = find<QLabel>("jishu");
    ChkHexSend = find<QCheckBox>("ChkHexSend");
    Text7 = find<QLineEdit>("Text7");
    Text8 = find<QLineEdit>("Text8");
    // Page 5.
    Frame8 = find<QGroupBox>("Frame8");
    bindArray(TxtTD, "TxtTD", 0, 8);
    qzbutton5 = find<QzButton>("qzbutton5");
    qzbutton6 = find<QzButton>("qzbutton6");
    // Page 6.
    Frame11 = find<QGroupBox>("Frame11");
    Label20 = find<QLabel>("Label20");
    Label7 = find<QLabel>("Label7");
    Label11 = find<QLabel>("Label11");
    Label6 = find<QLabel>("Label6");
    Label10 = find<QLabel>("Label10");
    Label21 = find<QLabel>("Label21");
    Label5 = find<QLabel>("Label5");
    Label12 = find<QLabel>("Label12");
    Label13 = find<QLabel>("Label13");
    Combo5 = find<QComboBox>("Combo5");
    Combo6 = find<QComboBox>("Combo6");
    Combo9 = find<QComboBox>("Combo9");
    Combo8 = find<QComboBox>("Combo8");
    Text4 = find<QLineEdit>("Text4");
    bkps = find<SwitchControl>("bkps");
    prots = find<SwitchControl>("prots");
    dizhi = find<SwitchControl>("dizhi");
    RUN = find<SwitchControl>("RUN");
    sp = find<SwitchControl>("sp");
    duqu = find<SwitchControl>("duqu");
    // Status frame.
    Frame3 = find<QGroupBox>("Frame3");
    LblOut = find<QLineEdit>("LblOut");
    LblIn = find<QLineEdit>("LblIn");
    qzbutton11 = find<QzButton>("qzbutton11");
    qzbutton13 = find<QzButton>("qzbutton13");
    Label14 = find<QLabel>("Label14");
    Label2 = find<QLabel>("Label2");
    Label3 = find<QLabel>("Label3");
    Line1 = find<QFrame>("Line1");
    Line2 = find<QFrame>("Line2");
    Line3 = find<QFrame>("Line3");
    Line4 = find<QFrame>("Line4");
    Line5 = find<QFrame>("Line5");
}

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
    for (const app::MenuRow &row : app::PopupMenuTable()) {
        QAction *item =
            row.caption == QStringLiteral("-") ? mmu->addSeparator() : mmu->addAction(row.caption);
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

void Form1::closeEvent(QCloseEvent *event)
{
    // Unloading closes the port; every setting was stored when it changed.
    MSComm1.close();
    QWidget::closeEvent(event);
}
