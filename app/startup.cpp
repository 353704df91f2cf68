// What happens between creating the window and the moment the user can work.

#include "app/layout.h"
#include "app/mainwindow.h"

#include "app/channelnames.h"
#include "app/connectionstrip.h"
#include "app/settingspage.h"
#include "controls/safeswitch.h"
#include "controls/skinstyle.h"
#include "serial/portwatch.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

using namespace settings;

namespace {

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

void Form1::Form_Load()
{
    // The flat, rounded look of the window's combo boxes and check boxes; message boxes and
    // other windows keep the plain look.
    auto *skin = new SkinStyle;
    skin->setParent(this);
    skin->apply(this);
    // Adapters plugged or pulled start the port-list watch.
    m_notices = serial::DeviceNotices::Create(this);
    if (m_notices) {
        connect(m_notices.get(), &serial::DeviceNotices::deviceChanged, this, [this] {
            if (!Timer2.isActive())
                Timer2.start();
        });
    }
    BaudScanIndex = 0;
    LblOut->clear();
    LblIn->clear();
    // 9600 on the PC and as the new module rate; read the address over RS232. The port is
    // still closed, so the PC rate only takes effect at the next open.
    Combo3->setCurrentIndex(5);
    Combo4->setCurrentIndex(5);
    Combo7->setCurrentIndex(0);
    Text1->setEditText(QStringLiteral("1"));
    // Channel 1 keeps 1; channels 2..8 start at 3, 5, 7, 9, 20, 50 and 100 tenths.
    for (int i = 1; i <= 7; ++i) {
        TM[std::size_t(i)]->setCurrentIndex(2 * i);
        DDT[std::size_t(i)]->setCurrentIndex(2 * i);
    }
}

// Restores every setting by assigning the controls, so that their own handlers run: they
// rewrite each system key in its normalised form and adjust the controls that follow them.
void Form1::Timer4_Timer()
{
    const auto read = [this](const QString &key, const QString &defaultValue) {
        return ReadIni(m_iniPath, SystemSection, key, defaultValue);
    };

    Label2->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "串口已关闭")));

    MSComm1.discardInput();
    MSComm1.discardOutput();
    MSComm1.setReceiveThreshold(1);

    channelNames->ReadNames();

    // The address-reading mode, then the model (which shows the model's channels).
    const int mode = StoredPosition(read(ReadModeKey, QStringLiteral("0")), Combo9->count());
    Combo9->setCurrentIndex(mode);
    Combo7->setCurrentIndex(mode);
    Combo8->setCurrentIndex(StoredPosition(read(ModelKey, QStringLiteral("0")), Combo8->count()));
    Combo10->setCurrentIndex(SettingsPage::LanguagePosition(read(LanguageKey, QString())));

    channelNames->ShowTitle();
    channelNames->ApplyChannelNames();

    if (read(AutoStartKey, QStringLiteral("0")) == u"1")
        RUN->setValue(true);
    else
        SetSwitchQuietly(RUN, false);

    const FlagPair baud = ReadFlagPair(read(BaudKey, DefaultBaud));
    int rate = EntryOfRate(ItemsOf(Combo5), baud.value);
    if (rate < 0)
        rate = 5;
    if (baud.on) {
        bkps->setValue(true);
        Combo5->setCurrentIndex(rate);
    } else {
        SetSwitchQuietly(bkps, false);
        Combo5->setEnabled(false);
        Combo5->setCurrentIndex(rate);
        Combo5->setEnabled(true);
    }

    const serial::PortListing listing = connectionStrip->FillPortList();
    settingsPage->ListDefaultPorts(listing.names);

    const FlagPair port = ReadFlagPair(read(PortKey, DefaultPort));
    const QString portName = port.value.isEmpty() ? DefaultPortName : port.value;
    if (port.on) {
        prots->setValue(true);
        const int listed = Combo2->findText(portName, Qt::MatchExactly);
        if (listed >= 0)
            Combo2->setCurrentIndex(listed);
    } else {
        SetSwitchQuietly(prots, false);
    }
#if defined(Q_OS_WIN)
    Combo6->setCurrentIndex(PortPosition(portName));
#else
    // A port that is not there today stays the default: starting without the adapter must not
    // lose the setting.
    int position = Combo6->findText(portName, Qt::MatchExactly);
    if (position < 0) {
        const QSignalBlocker quiet(Combo6);
        Combo6->addItem(portName);
        Combo6->setCurrentIndex(-1); // the first item of an empty list selects itself
        position = Combo6->count() - 1;
    }
    Combo6->setCurrentIndex(position);
#endif
    // A port named on the command line is the one the user means to use this time.
    QString wanted;
    if (m_options.demo)
        wanted = QStringLiteral("DEMO");
    else if (!m_options.extraPorts.isEmpty())
        wanted = m_options.extraPorts.front();
    if (!wanted.isEmpty())
        Combo2->setCurrentIndex(Combo2->findText(wanted, Qt::MatchExactly));

    const FlagPair address = ReadFlagPair(read(AddressKey, DefaultAddress));
    Text4->setText(StoredAddress(address.value));
    if (address.on) {
        Text1->setEditText(Text4->text());
        Text2->setText(Text4->text());
        dizhi->setValue(true);
    } else {
        dizhi->setValue(false);
    }

    if (read(OpenPortKey, QStringLiteral("0")) == u"1") {
        sp->setValue(true);
        sheding.start();
    } else {
        sp->setValue(false);
    }

    duqu->setValue(read(ReadStateKey, QStringLiteral("0")) == u"1");

    Timer4.stop();
}
