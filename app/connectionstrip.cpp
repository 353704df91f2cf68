#include "app/connectionstrip.h"

#include "app/lamp.h"
#include "app/layout.h"
#include "app/linecheckdialog.h"
#include "app/mainwindow.h"
#include "app/openfailure.h"
#include "app/replies.h"
#include "app/settingspage.h"
#include "controls/qzbutton.h"
#include "protocol/baud.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QStyle>

namespace {

const QString OpenCaption = QT_TRANSLATE_NOOP("Form1", "打开串口");
const QString CloseCaption = QT_TRANSLATE_NOOP("Form1", "关闭串口");
const QString NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");

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

namespace app {

void LabelRates(QComboBox *list)
{
    // The lists hold the baud codes' entries in code order.
    for (int code = 0; code < list->count(); ++code)
        list->setItemData(code, protocol::BaudRateOfCode(code).value_or(0));
}

qint32 ChosenRate(const QComboBox *list)
{
    return list->currentData().toInt();
}

bool ChooseRate(QComboBox *list, qint32 rate)
{
    const int at = list->findData(rate);
    if (at < 0)
        return false;
    list->setCurrentIndex(at);
    return true;
}

} // namespace app

ConnectionStrip::ConnectionStrip(Form1 &form) : QObject(&form), f(form)
{
    for (QComboBox *list : {f.Combo3, f.Combo4, f.Combo5})
        app::LabelRates(list);
    connect(f.Command2, &QzButton::Click, this, &ConnectionStrip::Command2_Click);
    connect(f.Combo3, &QComboBox::currentIndexChanged, this, &ConnectionStrip::Combo3_Click);
    connect(&f.MSComm1, &serial::CommPort::failed, this, &ConnectionStrip::PortFailed);
    connect(&f.MSComm1, &serial::CommPort::opened, this, &ConnectionStrip::ShowPortOpen);
    connect(&f.MSComm1, &serial::CommPort::openFailed, this, &ConnectionStrip::ConnectFailed);
    // The whole port name, also when the list is too narrow to show it.
    connect(f.Combo2, &QComboBox::currentTextChanged, f.Combo2, &QComboBox::setToolTip);
    connect(qobject_cast<QzButton *>(f.control(QStringLiteral("qzbutton15"))), &QzButton::Click,
            this, [this] { LineCheckDialog::Open(f); });
}

void ConnectionStrip::ShowPortClosed()
{
    m_portUp = false;
    f.Command2->setCaption(app::Caption(OpenCaption));
    f.Label2->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "串口已关闭")));
    SetLabelColour(f.Label2, QColor(255, 0, 0));
    f.Shape1->setFillColor(QColor(0, 0, 0));
    f.Combo2->setEnabled(true);
    f.Combo3->setEnabled(true);
}

void ConnectionStrip::ShowPortOpen()
{
    f.Label2->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "串口已打开")));
    f.Label2->setToolTip({});
    SetLabelColour(f.Label2, QColor(0, 0, 0));
    // The port cannot change while it is open; the baud rate can.
    f.Combo2->setEnabled(false);
    f.Shape1->setFillColor(QColor(255, 0, 0));
    // A device port set to have its driver switch the transceiver's direction: asked of the
    // driver now; a refusal is said and changes nothing else.
    if (f.MSComm1.isNetworkPort() || !f.settingsPage->Rs485Set(f.MSComm1.portName()))
        return;
    if (const std::optional<QString> refusal = f.MSComm1.setRs485({true, 0, 0}))
        f.messages().inform(
            app::Message::Icon::Warning,
            QCoreApplication::translate("Messages", "无法启用 RS-485 方向控制：%1").arg(*refusal),
            NoticeTitle);
}

void ConnectionStrip::Command2_Click()
{
    const QString portName = f.Combo2->currentText();
    if (portName.isEmpty())
        return;
    f.MSComm1.close();
    // The user's own click: a failure shown earlier no longer describes the port.
    f.Label2->setToolTip({});
    if (m_portUp) {
        ShowPortClosed();
        return;
    }

    m_portUp = true;
    f.Command2->setCaption(app::Caption(CloseCaption));
    f.replies->learnLineAnew(); // another port, or the same one anew: its adapter is learned again
    f.MSComm1.setPortName(portName);
    f.MSComm1.setLineSettings(f.replies->portSettingsAt(app::ChosenRate(f.Combo3)));
    const serial::OpenResult result = f.MSComm1.open();
    if (result == serial::OpenResult::Ok) {
        ShowPortOpen();
        return;
    }
    if (result == serial::OpenResult::Connecting) {
        // A network port: opened() or openFailed() follows; a click meanwhile gives up.
        f.Label2->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "正在连接...")));
        f.Combo2->setEnabled(false);
        return;
    }
    const QString failure = app::OpenFailureText(result, portName, f.MSComm1.failure());
    ShowPortClosed();
    f.messages().inform(app::Message::Icon::Error, failure, NoticeTitle);
}

void ConnectionStrip::ConnectFailed(const serial::LineFailure &failure)
{
    const QString text =
        app::OpenFailureText(serial::OpenResultOf(failure.kind), f.MSComm1.portName(), failure);
    ShowPortClosed();
    f.messages().inform(app::Message::Icon::Error, text, NoticeTitle);
}

void ConnectionStrip::Combo3_Click()
{
    if (!f.MSComm1.isOpen())
        return; // the rate applies at the next open
    // The open port takes the new rate at once.
    if (f.MSComm1.setLineSettings(f.replies->portSettingsAt(app::ChosenRate(f.Combo3))))
        return;
    const QString reason = app::FailureReason(f.MSComm1.failure());
    f.MSComm1.close();
    ShowPortClosed();
    f.messages().inform(app::Message::Icon::Error,
                        QCoreApplication::translate("Messages", "无法设置此波特率：%1").arg(reason),
                        NoticeTitle);
}

serial::PortListing ConnectionStrip::FillPortList()
{
    const serial::PortListing listing = f.portEnumerator().list();
    f.Combo2->clear();
    f.Combo2->addItems(listing.names);
    f.Combo2->setCurrentIndex(-1);
    FitPopupToNames(f.Combo2);
    f.portWatch().setListedCount(listing.deviceCount);
    return listing;
}

void ConnectionStrip::ApplyWatchUpdate(const serial::WatchUpdate &update)
{
    // A port still connecting counts as open: it is kept when it is still listed.
    const bool open = f.MSComm1.isOpen() || f.MSComm1.isConnecting();
    f.Combo2->clear();
    f.Combo2->addItems(update.ports);
    FitPopupToNames(f.Combo2);
    f.Combo2->setCurrentIndex(f.Combo2->findText(update.selection, Qt::MatchExactly));
    if (open && update.selectedPresent)
        return; // the open port is still there
    if (open)
        f.MSComm1.close();
    ShowPortClosed();
}

void ConnectionStrip::PortFailed(const serial::LineFailure &failure)
{
    // The port is closed already; show it once, without a message box: a pulled adapter is
    // shown the same way as one the watch found missing.
    ShowPortClosed();
    f.Label2->setToolTip(app::FailureReason(failure));
}
