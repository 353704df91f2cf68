#include "app/moduleconfig.h"

#include "app/connectionstrip.h"
#include "app/digitsonly.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "protocol/address.h"
#include "protocol/baud.h"
#include "protocol/modulesearch.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");
const QString OpenPortFirst = QT_TRANSLATE_NOOP("Messages", "请先打开串口后，在搜索");

std::chrono::microseconds Since(const QElapsedTimer &clock)
{
    return std::chrono::microseconds(clock.nsecsElapsed() / 1000);
}

} // namespace

ModuleConfig::ModuleConfig(Form1 &form) : QObject(&form), f(form)
{
    connectControls();
}

void ModuleConfig::connectControls()
{
    // The link mode is held here once chosen (a choice, or a text typed over it), before the
    // handlers that follow it run.
    connect(f.Combo7, &QComboBox::currentIndexChanged, this, &ModuleConfig::updateLinkMode);
    connect(f.Combo7, &QComboBox::editTextChanged, this, &ModuleConfig::updateLinkMode);
    connect(f.Command1, &QzButton::Click, this, &ModuleConfig::Command1_Click);
    // A choice from the list, also of the entry already shown, and a change made by code.
    connect(f.Combo7, &QComboBox::currentIndexChanged, this, &ModuleConfig::Combo7_Click);
    connect(f.Combo7, &QComboBox::activated, this, &ModuleConfig::Combo7_Click);
    connect(f.Command3, &QzButton::Click, this, &ModuleConfig::Command3_Click);
    // An address out of range is replaced by 1.
    new AddressBox(f.Text2, OutOfRangeAddress::BecomesOne, NoticeTitle, f.messages());
    connect(f.qzbutton1, &QzButton::Click, this, &ModuleConfig::qzbutton1_Click);
    connect(f.qzbutton10, &QzButton::Click, this, &ModuleConfig::qzbutton10_Click);
    connect(&f.Timer5, &QTimer::timeout, this, &ModuleConfig::Timer5_Timer);
    connect(&f.Timer3, &QTimer::timeout, this, &ModuleConfig::Timer3_Timer);
    connect(&f.readBT, &QTimer::timeout, this, &ModuleConfig::readBT_Timer);
    // Whatever reply is read after a search probe answers it.
    connect(f.replies, &Replies::replyRead, this, [this](const QByteArray &reply) {
        if (!reply.isEmpty())
            m_probeAnswered = true;
    });
}

void ModuleConfig::setScanNext(int address)
{
    m_scanNext = address;
    f.Label18->setText(QString::number(address));
}

void ModuleConfig::updateLinkMode()
{
    m_rs232 = f.Combo7->currentIndex() == 0 && f.Combo7->currentText() == f.Combo7->itemText(0);
}

std::optional<int> ModuleConfig::NewBaudCode() const
{
    return protocol::BaudCodeOfRate(app::ChosenRate(f.Combo4));
}

void ModuleConfig::AddressFound(const QString &address)
{
    m_found << address;
    f.Text1->addItem(address);
    f.Text1->setCurrentIndex(0);
}

void ModuleConfig::OnlyAddress(const QString &address)
{
    m_found = {address};
    f.Text1->clear();
    f.Text1->addItem(address);
    f.Text1->setCurrentIndex(0);
}

void ModuleConfig::Command1_Click()
{
    if (!Rs232Mode()) {
        f.Label19->setText(app::Caption(QT_TRANSLATE_NOOP("Form1", "正在读取...")));
        f.Label19->show();
        f.Label18->show();
        // The port is not checked here: the scan's first step reports a closed port.
        startScan();
        return;
    }
    if (!f.MSComm1.isOpen())
        return;
    f.Text1->setEditText(QString());
    SendRequest(f, protocol::AddressProbe());
}

void ModuleConfig::Command9_Click()
{
    startScan();
}

void ModuleConfig::startScan()
{
    RecordRequest(f, protocol::RequestKind::Address1);
    m_found.clear();
    f.Text1->clear();
    setScanNext(1);
    f.Timer5.start();
}

void ModuleConfig::Combo7_Click()
{
    if (!Rs232Mode())
        return;
    f.Label19->hide();
    const QString kept = f.Text1->currentText();
    f.Text1->clear();
    QStringList addresses;
    for (int a = 1; a <= protocol::ScanLastAddress; ++a)
        addresses << QString::number(a);
    f.Text1->addItems(addresses);
    if (kept.isEmpty())
        f.Text1->setCurrentIndex(0);
    else
        f.Text1->setEditText(kept);
}

void ModuleConfig::Command3_Click()
{
    if (!f.MSComm1.isOpen())
        return;
    if (!f.messages().ask(QT_TRANSLATE_NOOP("Messages", "是否更新模块地址?"), NoticeTitle,
                          app::Message::Icon::None))
        return;
    const auto address = protocol::SlaveAddress(f.Text1->currentText());
    const auto newAddress = protocol::SlaveAddress(f.Text2->text());
    if (!address || !newAddress)
        return;
    SendRequest(f, protocol::SetAddressRequest(*address, *newAddress));
}

void ModuleConfig::qzbutton1_Click()
{
    if (!f.MSComm1.isOpen())
        return;
    if (!f.messages().ask(QT_TRANSLATE_NOOP("Messages", "是否更新模块波特率?"), NoticeTitle,
                          app::Message::Icon::None))
        return;
    const std::optional<int> code = NewBaudCode();
    if (!code)
        return;
    RecordRequest(f, protocol::RequestKind::SetRate);
    // No range check beyond one byte: an empty box sends to address 0.
    const auto address = protocol::SlaveAddressOrBroadcast(f.Text1->currentText());
    if (!address)
        return;
    SendRequest(f, protocol::SetRateRequest(*address, static_cast<std::uint8_t>(*code)));
}

void ModuleConfig::qzbutton2_Click()
{
    if (!f.MSComm1.isOpen()) {
        TellPortClosed(f, protocol::RequestKind::ReadRate);
        return;
    }
    RecordRequest(f, protocol::RequestKind::ReadRate);
    const auto address = protocol::SlaveAddressOrBroadcast(f.Text1->currentText());
    if (!address)
        return;
    SendRequest(f, protocol::ReadRateRequest(*address));
}

void ModuleConfig::Timer5_Timer()
{
    protocol::ScanInputs in;
    in.portOpen = f.MSComm1.isOpen();
    in.counter = m_scanNext;
    in.collecting = f.ReplyBeingCollected();
    if (m_sinceScanRequest.isValid())
        in.sinceLastRequest = Since(m_sinceScanRequest);
    in.lastRate = m_scanRate;

    switch (protocol::DecideScanStep(in)) {
    case protocol::ScanStep::PortClosed:
        // Stopped first: the message must not be repeated by the ticks while it is shown. The
        // counter is reset too, or every later reply would be taken for a scan answer.
        finishScan();
        TellPortClosed(f, protocol::RequestKind::Address1);
        return;
    case protocol::ScanStep::Wait:
        return;
    case protocol::ScanStep::Send: {
        const auto address = static_cast<std::uint8_t>(in.counter);
        m_scanRate = f.MSComm1.lineSettings().baudRate;
        m_sinceScanRequest.start();
        if (!SendRequest(f, protocol::ScanRequest(address)) && PortClaimed(f)) {
            // Refused (the module test holds the port): the scan ends, told once.
            finishScan();
            return;
        }
        setScanNext(int(in.counter) + 1);
        return;
    }
    case protocol::ScanStep::Finish:
        finishScan();
        return;
    }
}

void ModuleConfig::finishScan()
{
    f.Timer5.stop();
    setScanNext(0);
    f.Label18->hide();
    f.Label19->setText(protocol::ScanResultText(int(m_found.size())));
}

void ModuleConfig::qzbutton10_Click()
{
    if (!f.MSComm1.isOpen()) {
        f.messages().inform(app::Message::Icon::Error, OpenPortFirst, NoticeTitle);
        return;
    }
    // A click while the search runs would start a second one beside it.
    if (f.Timer3.isActive() || f.readBT.isActive())
        return;
    // The search reopens the port at other rates: not under the module test.
    if (PortClaimed(f)) {
        f.messages().inform(
            app::Message::Icon::Warning,
            QT_TRANSLATE_NOOP("Messages", "模块测试正在进行，测试结束或停止后才能发送"),
            NoticeTitle);
        return;
    }
    // Behind a gateway there is no line rate to sweep.
    if (f.MSComm1.isNetworkPort()) {
        f.messages().inform(app::Message::Icon::Information,
                            QT_TRANSLATE_NOOP("Messages", "网络端口的波特率由网关设定"),
                            NoticeTitle);
        return;
    }
    // The search goes on from the rate where an earlier one stopped.
    f.Timer3.start();
}

void ModuleConfig::Timer3_Timer()
{
    const protocol::BaudSearchStep step =
        protocol::DecideBaudSearchStep(f.MSComm1.isOpen(), f.BaudScanIndex);
    f.BaudScanIndex = step.nextIndex;
    f.Timer3.stop();
    if (step.outcome == protocol::BaudSearchStep::Outcome::Exhausted)
        endSearchUnfound();
    if (step.outcome != protocol::BaudSearchStep::Outcome::Probe)
        return;

    f.LblIn->clear();
    f.MSComm1.close();
    f.MSComm1.setSettings(step.settingsText);
    if (f.MSComm1.open() != serial::OpenResult::Ok) {
        // The adapter went or another program took the port: the search ends here, the port
        // shows closed, and a later search goes on from this rate.
        f.readBT.stop();
        f.connectionStrip->PortFailed(f.MSComm1.failure());
        return;
    }
    f.Text1->setEditText(QString());
    m_probeRate = step.baudRate;
    m_sinceProbe.start();
    m_probeAnswered = false;
    SendRequest(f, protocol::AddressProbe());
    f.readBT.start();
}

void ModuleConfig::endSearchUnfound()
{
    // The list still shows the rate in use before the search: requests go out at what it shows.
    if (app::ChosenRate(f.Combo3) > 0)
        f.connectionStrip->Combo3_Click();
}

void ModuleConfig::readBT_Timer()
{
    // The port closed while listening: this rate was never heard out, a later search tries it.
    if (!f.MSComm1.isOpen()) {
        f.readBT.stop();
        return;
    }
    protocol::BaudCheckInputs in;
    in.index = f.BaudScanIndex;
    in.received = m_probeAnswered;
    in.collecting = f.ReplyBeingCollected();
    in.sinceProbe = Since(m_sinceProbe);
    in.baudRate = m_probeRate;

    const protocol::BaudCheck check = protocol::DecideBaudCheck(in);
    switch (check.outcome) {
    case protocol::BaudCheck::Outcome::Wait:
        return;
    case protocol::BaudCheck::Outcome::Found: {
        f.readBT.stop();
        const int found = f.BaudScanIndex;
        f.BaudScanIndex = check.nextIndex;
        // Selecting the rate puts the open port on it.
        app::ChooseRate(f.Combo3, protocol::BaudRateOfCode(found).value_or(0));
        return;
    }
    case protocol::BaudCheck::Outcome::NextRate:
        f.readBT.stop();
        f.BaudScanIndex = check.nextIndex;
        f.Timer3.start();
        return;
    }
}
