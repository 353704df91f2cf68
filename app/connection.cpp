// The connection strip: the port list, the open/close button, the PC baud list, the port-state
// lamp and label, and what happens when ports come and go.

#include "app/lamp.h"
#include "app/mainwindow.h"
#include "app/openfailure.h"
#include "controls/qzbutton.h"
#include "serial/linedevice.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QStyle>

namespace {

const QString OpenCaption = QStringLiteral("打开串口");
const QString CloseCaption = QStringLiteral("关闭串口");
const QString NoticeTitle = QStringLiteral("提示");

void SetLabelColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// Device paths are longer than the list is wide: the drop-down shows them whole.
void FitPopupToNames(QComboBox *combo)
{
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i)
        widest = qMax(widest, combo->fontMetrics().horizontalAdvance(combo->itemText(i)));
    combo->view()->setMinimumWidth(widest +
                                   2 * combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

} // namespace

void Form1::connectConnectionStrip()
{
    connect(Command2, &QzButton::Click, this, &Form1::Command2_Click);
    connect(Combo3, &QComboBox::currentIndexChanged, this, &Form1::Combo3_Click);
    connect(&MSComm1, &serial::CommPort::failed, this, &Form1::PortFailed);
    // The whole port name, also when the list is too narrow to show it.
    connect(Combo2, &QComboBox::currentTextChanged, Combo2, &QComboBox::setToolTip);
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
                ApplyWatchUpdate(update);
            });
}

void Form1::setPortSource(serial::PortEnumerator::Source source)
{
    m_enumerator = serial::PortEnumerator(std::move(source));
    m_enumerator.setExtraPorts(m_options.extraPorts);
    createWatch();
}

void Form1::ShowPortClosed()
{
    Command2->setCaption(OpenCaption);
    Label2->setText(QStringLiteral("串口已关闭"));
    SetLabelColour(Label2, QColor(255, 0, 0));
    Shape1->setFillColor(QColor(0, 0, 0));
    Combo2->setEnabled(true);
    Combo3->setEnabled(true);
}

void Form1::ShowPortOpen()
{
    Label2->setText(QStringLiteral("串口已打开"));
    Label2->setToolTip({});
    SetLabelColour(Label2, QColor(0, 0, 0));
    // The port cannot change while it is open; the baud rate can.
    Combo2->setEnabled(false);
    Shape1->setFillColor(QColor(255, 0, 0));
}

void Form1::Command2_Click()
{
    const QString portName = Combo2->currentText();
    if (portName.isEmpty())
        return;
    MSComm1.close();
    // The caption says what the user asked for.
    if (Command2->Caption() != OpenCaption) {
        ShowPortClosed();
        return;
    }

    Command2->setCaption(CloseCaption);
    MSComm1.setPortName(portName);
    MSComm1.setSettings(serial::SettingsText(Combo3->currentText()));
    const serial::OpenResult result = MSComm1.open();
    if (result == serial::OpenResult::Ok) {
        ShowPortOpen();
        return;
    }
    const QString failure = app::OpenFailureText(result, portName, MSComm1.errorText());
    ShowPortClosed();
    messages().inform(app::Message::Icon::Error, failure, NoticeTitle);
}

void Form1::Combo3_Click()
{
    if (!MSComm1.isOpen())
        return; // the rate applies at the next open
    // The open port takes the new rate at once.
    if (MSComm1.setSettings(serial::SettingsText(Combo3->currentText())))
        return;
    const QString reason = MSComm1.errorText();
    MSComm1.close();
    ShowPortClosed();
    messages().inform(app::Message::Icon::Error, QStringLiteral("无法设置此波特率：%1").arg(reason),
                      NoticeTitle);
}

serial::PortListing Form1::FillPortList()
{
    const serial::PortListing listing = m_enumerator.list();
    Combo2->clear();
    Combo2->addItems(listing.names);
    Combo2->setCurrentIndex(-1);
    FitPopupToNames(Combo2);
    m_watch->setListedCount(listing.deviceCount);
    return listing;
}

void Form1::ApplyWatchUpdate(const serial::WatchUpdate &update)
{
    const bool open = MSComm1.isOpen();
    Combo2->clear();
    Combo2->addItems(update.ports);
    FitPopupToNames(Combo2);
    Combo2->setCurrentIndex(Combo2->findText(update.selection, Qt::MatchExactly));
    if (open && update.selectedPresent)
        return; // the open port is still there
    if (open)
        MSComm1.close();
    ShowPortClosed();
}

void Form1::PortFailed(const QString &reason)
{
    // The port is closed already; show it once, without a message box: a pulled adapter is
    // shown the same way as one the watch found missing.
    ShowPortClosed();
    Label2->setToolTip(reason);
}
