// What happens between creating the window and the moment the user can work.

#include "app/layout.h"
#include "app/mainwindow.h"

#include "app/channelnames.h"
#include "app/connectionstrip.h"
#include "app/settingspage.h"
#include "controls/skinstyle.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

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
    app::ChooseRate(Combo3, 9600);
    app::ChooseRate(Combo4, 9600);
    Combo7->setCurrentIndex(0);
    Text1->setEditText(QStringLiteral("1"));
    // Channel 1 keeps 1; channels 2..8 start at 3, 5, 7, 9, 20, 50 and 100 tenths.
    for (int i = 1; i <= 7; ++i) {
        TM[std::size_t(i)]->setCurrentIndex(2 * i);
        DDT[std::size_t(i)]->setCurrentIndex(2 * i);
    }
}

// Restores every setting from Config.ini: the names first, then the system settings. Each
// region assigns its own controls, so that their handlers run: they rewrite each system key in
// its normalised form and adjust the controls that follow them.
void Form1::Timer4_Timer()
{
    Label2->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "串口已关闭")));

    MSComm1.discardInput();
    MSComm1.discardOutput();
    MSComm1.setReceiveThreshold(1);

    channelNames->Restore();
    settingsPage->Restore(); // also lists the ports, before it chooses the default one

    // A port named on the command line is the one the user means to use this time.
    QString wanted;
    if (m_options.demo)
        wanted = QStringLiteral("DEMO");
    else if (!m_options.extraPorts.isEmpty())
        wanted = m_options.extraPorts.front();
    if (!wanted.isEmpty())
        Combo2->setCurrentIndex(Combo2->findText(wanted, Qt::MatchExactly));

    Timer4.stop();
}
