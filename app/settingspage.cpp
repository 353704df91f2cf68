#include "app/settingspage.h"

#include "app/connectionstrip.h"
#include "app/digitsonly.h"
#include "app/language.h"
#include "app/linecheckdialog.h"
#include "app/linesettingsdialog.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "serial/portenumerator.h"
#include "settings/autostart.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalBlocker>

using namespace settings;

namespace {

// A list's click: a change of the entry, by code or by the user, and the user's choice of the
// entry already shown. A choice of another entry runs the handler twice; the second run writes
// the same value again and changes nothing.
template <typename Handler> void OnListClick(QComboBox *combo, SettingsPage *page, Handler handler)
{
    QObject::connect(combo, &QComboBox::currentIndexChanged, page, handler);
    QObject::connect(combo, &QComboBox::activated, page, handler);
}

QStringList ItemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

#if defined(Q_OS_WIN)
// "COMn" is entry n - 1 of the list "COM1" .. "COM255"; anything else selects the first.
int PortPosition(const QString &name)
{
    bool ok = false;
    const int number = name.startsWith(u"COM", Qt::CaseInsensitive) ? name.sliced(3).toInt(&ok) : 0;
    return ok && number >= 1 && number <= 255 ? number - 1 : 0;
}
#endif

} // namespace

SettingsPage::SettingsPage(Form1 &form) : QObject(&form), f(form)
{
    connectControls();
}

void SettingsPage::connectControls()
{
    connect(f.bkps, &::SafeSwitch::Click, this, &SettingsPage::bkps_Click);
    OnListClick(f.Combo5, this, &SettingsPage::Combo5_Click);
    connect(f.prots, &::SafeSwitch::Click, this, &SettingsPage::prots_Click);
    OnListClick(f.Combo6, this, &SettingsPage::Combo6_Click);
    connect(f.dizhi, &::SafeSwitch::Click, this, &SettingsPage::dizhi_Click);
    // An address out of range stays in the box, unsaved; the message has no title of its own.
    auto *addressBox = new AddressBox(f.Text4, OutOfRangeAddress::Stays, QString(), f.messages());
    connect(addressBox, &AddressBox::addressTyped, this, &SettingsPage::Text4_AddressTyped);
    OnListClick(f.Combo9, this, &SettingsPage::Combo9_Click);
    OnListClick(f.Combo8, this, &SettingsPage::Combo8_Click);
    connect(f.sp, &::SafeSwitch::Click, this, &SettingsPage::sp_Click);
    connect(f.duqu, &::SafeSwitch::Click, this, &SettingsPage::duqu_Click);
    connect(f.RUN, &::SafeSwitch::Click, this, &SettingsPage::RUN_Click);
    // Only the user's choice: start-up shows the stored language without writing it again.
    connect(f.Combo10, &QComboBox::activated, this, &SettingsPage::Combo10_Click);
    connect(f.Combo11, &QComboBox::activated, this, &SettingsPage::Combo11_Click);
    connect(&f.sheding, &QTimer::timeout, this, &SettingsPage::sheding_Timer);
    connect(qobject_cast<QzButton *>(f.control(QStringLiteral("qzbutton14"))), &QzButton::Click,
            this, [this] { LineCheckDialog::Open(f); });
    connect(qobject_cast<QzButton *>(f.control(QStringLiteral("qzbutton16"))), &QzButton::Click,
            this, [this] { LineSettingsDialog::Open(f); });
}

SettingsPage::LineChoice SettingsPage::lineChoice() const
{
    LineChoice choice;
    choice.format =
        bus::WithFormat({}, read(FormatKey, QStringLiteral("8N1"))).value_or(bus::LineSettings{});
    choice.pauseMs = StoredMs(read(PauseKey, QString()), LongestMs);
    choice.answerWaitMs = StoredMs(read(AnswerWaitKey, QString()), LongestMs);
    return choice;
}

void SettingsPage::applyLineChoice(const LineChoice &choice)
{
    f.replies->setLineFormat(choice.format);
    f.replies->setPacing(choice.pauseMs, choice.answerWaitMs > 0
                                             ? std::optional<int>(choice.answerWaitMs)
                                             : std::nullopt);
}

bool SettingsPage::setLineChoice(const LineChoice &choice)
{
    const bool written =
        WriteIni(f.iniPath(), SystemSection, FormatKey, bus::FormatName(choice.format)) &&
        WriteIni(f.iniPath(), SystemSection, PauseKey, QString::number(choice.pauseMs)) &&
        WriteIni(f.iniPath(), SystemSection, AnswerWaitKey, QString::number(choice.answerWaitMs));
    if (!written) {
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(f.iniPath()));
        return false;
    }
    applyLineChoice(choice);
    // An open port takes the format at once, at the rate it has.
    if (f.MSComm1.isOpen() && !f.MSComm1.isNetworkPort())
        f.MSComm1.setLineSettings(f.replies->portSettingsAt(f.MSComm1.lineSettings().baudRate));
    return true;
}

bool SettingsPage::Rs485Set(const QString &port) const
{
    return !port.isEmpty() && ReadIni(f.iniPath(), Rs485Section, port, QString()) == u"1";
}

bool SettingsPage::setRs485(const QString &port, bool on)
{
    if (port.isEmpty())
        return false;
    if (!WriteIni(f.iniPath(), Rs485Section, port, FlagText(on))) {
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(f.iniPath()));
        return false;
    }
    return true;
}

QString SettingsPage::read(const QString &key, const QString &defaultValue) const
{
    return ReadIni(f.iniPath(), SystemSection, key, defaultValue);
}

void SettingsPage::write(const QString &key, const QString &value)
{
    WriteIni(f.iniPath(), SystemSection, key, value);
}

void SettingsPage::Restore()
{
    // The address-reading mode, then the model (which shows the model's channels).
    const int mode = StoredPosition(read(ReadModeKey, QStringLiteral("0")), f.Combo9->count());
    f.Combo9->setCurrentIndex(mode);
    f.Combo7->setCurrentIndex(mode);
    f.Combo8->setCurrentIndex(
        StoredPosition(read(ModelKey, QStringLiteral("0")), f.Combo8->count()));
    f.Combo10->setCurrentIndex(LanguagePosition(read(LanguageKey, QString())));
    f.EchoMode = bus::EchoFromText(read(EchoKey, QString())).value_or(bus::Echo::Auto);
    f.Combo11->setCurrentIndex(int(f.EchoMode));
    if (f.replies) {
        f.replies->learnLineAnew();
        applyLineChoice(lineChoice());
    }

    // Off is written while the switch shows disabled; its handler runs all the same.
    if (read(AutoStartKey, QStringLiteral("0")) == u"1")
        f.RUN->setValue(true);
    else
        SetSwitchQuietly(f.RUN, false);

    const FlagPair baud = ReadFlagPair(read(BaudKey, DefaultBaud));
    int rate = EntryOfRate(ItemsOf(f.Combo5), baud.value);
    if (rate < 0)
        rate = 5;
    if (baud.on) {
        f.bkps->setValue(true);
        f.Combo5->setCurrentIndex(rate);
    } else {
        SetSwitchQuietly(f.bkps, false);
        f.Combo5->setEnabled(false);
        f.Combo5->setCurrentIndex(rate);
        f.Combo5->setEnabled(true);
    }

    const serial::PortListing listing = f.connectionStrip->FillPortList();
    ListDefaultPorts(listing.names);

    const FlagPair port = ReadFlagPair(read(PortKey, DefaultPort));
    const QString portName = port.value.isEmpty() ? DefaultPortName : port.value;
    if (port.on) {
        f.prots->setValue(true);
        const int listed = f.Combo2->findText(portName, Qt::MatchExactly);
        if (listed >= 0)
            f.Combo2->setCurrentIndex(listed);
    } else {
        SetSwitchQuietly(f.prots, false);
    }
    showDefaultPort(portName);

    const FlagPair address = ReadFlagPair(read(AddressKey, DefaultAddress));
    f.Text4->setText(StoredAddress(address.value));
    if (address.on) {
        f.Text1->setEditText(f.Text4->text());
        f.Text2->setText(f.Text4->text());
    }
    f.dizhi->setValue(address.on);

    const bool openPort = read(OpenPortKey, QStringLiteral("0")) == u"1";
    f.sp->setValue(openPort);
    if (openPort)
        f.sheding.start();

    f.duqu->setValue(read(ReadStateKey, QStringLiteral("0")) == u"1");
}

void SettingsPage::showDefaultPort(const QString &name)
{
#if defined(Q_OS_WIN)
    f.Combo6->setCurrentIndex(PortPosition(name));
#else
    // A port that is not there today stays the default: starting without the adapter must not
    // lose the setting.
    int position = f.Combo6->findText(name, Qt::MatchExactly);
    if (position < 0) {
        const QSignalBlocker quiet(f.Combo6);
        f.Combo6->addItem(name);
        f.Combo6->setCurrentIndex(-1); // the first item of an empty list selects itself
        position = f.Combo6->count() - 1;
    }
    f.Combo6->setCurrentIndex(position);
#endif
}

void SettingsPage::bkps_Click()
{
    write(BaudKey, FlagPairText(f.bkps->value(), f.Combo5->currentText()));
}

void SettingsPage::Combo5_Click()
{
    if (f.Combo5->currentIndex() < 0)
        return; // emptied, no entry chosen
    if (!f.bkps->value()) {
        write(BaudKey, FlagPairText(false, f.Combo5->currentText()));
        return;
    }
    write(BaudKey, FlagPairText(true, f.Combo5->currentText()));
    // The default applies at once; an open port takes the rate (the PC baud list's handler).
    app::ChooseRate(f.Combo3, app::ChosenRate(f.Combo5));
    app::ChooseRate(f.Combo4, app::ChosenRate(f.Combo5));
}

void SettingsPage::prots_Click()
{
    if (f.prots->value()) {
        write(PortKey, FlagPairText(true, f.Combo6->currentText()));
        return;
    }
    // Without a default port there is nothing to open at start-up, nor to read.
    f.sp->setValue(false);
    write(PortKey, FlagPairText(false, f.Combo6->currentText()));
}

void SettingsPage::ListDefaultPorts(const QStringList &ports)
{
#if !defined(Q_OS_WIN)
    // Ports are device paths here: the list offers the ports found. The chosen default stays
    // listed and chosen when it is not plugged in today. Nothing is stored.
    const QSignalBlocker quiet(f.Combo6);
    const QString chosen = f.Combo6->currentText();
    f.Combo6->clear();
    f.Combo6->addItems(ports);
    if (!chosen.isEmpty() && f.Combo6->findText(chosen, Qt::MatchExactly) < 0)
        f.Combo6->addItem(chosen);
    f.Combo6->setCurrentIndex(chosen.isEmpty() ? -1 : f.Combo6->findText(chosen, Qt::MatchExactly));
#else
    Q_UNUSED(ports); // the list holds every COM port name
#endif
}

void SettingsPage::Combo6_Click()
{
    if (f.Combo6->currentIndex() < 0)
        return;
    write(PortKey, FlagPairText(f.prots->value(), f.Combo6->currentText()));
}

void SettingsPage::dizhi_Click()
{
    write(AddressKey, FlagPairText(f.dizhi->value(), f.Text4->text()));
}

void SettingsPage::Text4_AddressTyped(const QString &address)
{
    write(AddressKey, FlagPairText(f.dizhi->value(), address));
}

void SettingsPage::Combo9_Click()
{
    const int position = f.Combo9->currentIndex();
    if (position < 0)
        return; // text typed into the box chooses no mode
    write(ReadModeKey, QString::number(position));
    f.Combo7->setCurrentIndex(position);
}

void SettingsPage::Combo8_Click()
{
    const int position = f.Combo8->currentIndex();
    if (position < 0)
        return;
    write(ModelKey, QString::number(position));
    f.Combo1->setCurrentIndex(position);
}

void SettingsPage::sp_Click()
{
    if (f.sp->value()) {
        f.prots->setValue(true);
        write(OpenPortKey, FlagText(true));
        return;
    }
    f.duqu->setValue(false);
    write(OpenPortKey, FlagText(false));
}

void SettingsPage::duqu_Click()
{
    if (f.duqu->value())
        f.sp->setValue(true);
    write(ReadStateKey, FlagText(f.duqu->value()));
}

void SettingsPage::RUN_Click()
{
    // The key is written whatever becomes of the entry.
    if (f.RUN->value()) {
        write(AutoStartKey, FlagText(true));
        f.autoStart().add(QCoreApplication::applicationFilePath());
        return;
    }
    write(AutoStartKey, FlagText(false));
    f.autoStart().remove();
}

int SettingsPage::LanguagePosition(const QString &stored)
{
    const std::optional<app::Language> language = app::LanguageOfCode(stored);
    return !language ? 0 : *language == app::Language::Chinese ? 1 : 2;
}

QString SettingsPage::LanguageCodeAt(int position)
{
    return position == 1   ? app::CodeOfLanguage(app::Language::Chinese)
           : position == 2 ? app::CodeOfLanguage(app::Language::English)
                           : QString();
}

void SettingsPage::Combo11_Click()
{
    const int position = f.Combo11->currentIndex();
    if (position < 0)
        return;
    f.EchoMode = bus::Echo(position);
    if (f.replies)
        f.replies->learnLineAnew(); // learned again under the new setting
    write(EchoKey, bus::EchoText(f.EchoMode));
}

void SettingsPage::Combo10_Click()
{
    const int position = f.Combo10->currentIndex();
    const QString code = LanguageCodeAt(position);
    if (position < 0 || code == ReadIni(f.iniPath(), SystemSection, LanguageKey, QString()))
        return;
    write(LanguageKey, code);
    f.messages().inform(app::Message::Icon::Information,
                        QT_TRANSLATE_NOOP("Messages", "新的界面语言在程序下次启动时生效"));
}

void SettingsPage::sheding_Timer()
{
    f.sheding.stop();
    if (f.Combo2->currentText() != f.Combo6->currentText())
        return;
    // A port the user opened (or began to connect) meanwhile stays so: the port button would
    // close it.
    if (!f.MSComm1.isOpen() && !f.MSComm1.isConnecting())
        f.connectionStrip->Command2_Click();
    f.sdduqu.start();
}
