// What happens between creating the window and the moment the user can work.

#include "app/mainwindow.h"

#include "app/connectionstrip.h"
#include "controls/skinstyle.h"
#include "serial/portwatch.h"

#include <QApplication>

#include <QComboBox>
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

void Form1::Timer4_Timer()
{
    Label2->setText(QStringLiteral("串口已关闭"));

    MSComm1.discardInput();
    MSComm1.discardOutput();
    MSComm1.setReceiveThreshold(1);
    MSComm1.setInputMode(serial::CommPort::InputMode::Binary);

    const serial::PortListing listing = connectionStrip->FillPortList();
#if !defined(Q_OS_WIN)
    // Ports are device paths here: the default-port list offers the ports found.
    Combo6->clear();
    Combo6->addItems(listing.names);
    Combo6->setCurrentIndex(-1);
#endif
    // A port named on the command line is the one the user means to use.
    QString wanted;
    if (m_options.demo)
        wanted = QStringLiteral("DEMO");
    else if (!m_options.extraPorts.isEmpty())
        wanted = m_options.extraPorts.front();
    if (!wanted.isEmpty())
        Combo2->setCurrentIndex(Combo2->findText(wanted, Qt::MatchExactly));

    Timer4.stop();
}
