#include "app/replies.h"

#include "app/mainwindow.h"
#include "app/moduleconfig.h"
#include "app/wire.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "modbus/frames.h"
#include "modbus/timing.h"
#include "protocol/hexcodec.h"
#include "protocol/reply.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMetaMethod>

#include <algorithm>

Replies::Replies(Form1 &form) : QObject(&form), f(form), m_reader(&form.MSComm1)
{
    m_learning.setSingleShot(true);
    connect(&m_learning, &QTimer::timeout, this, [this] {
        if (m_reader.collecting()) {
            m_learning.start(20); // its reply is being read: that decides
            return;
        }
        // Nothing came back: an adapter that echoes echoes every request.
        if (!f.LineEchoes)
            f.LineEchoes = false;
        sendHeldBack();
    });
    connect(&f.MSComm1, &serial::CommPort::received, this, &Replies::OnComm);
    connect(&m_reader, &ReplyReader::replyRead, this, &Replies::Interpret);
    connect(&m_reader, &ReplyReader::tailRead, this, &Replies::ShowTail);
    connect(f.safetabs1, &SafeTabs::TabSwitch, this, &Replies::safetabs1_TabSwitch);
}

bool Replies::routesToInterpreter() const
{
    const int page = f.safetabs1->activeTab();
    if (page == MonitorPage)
        return false; // the monitor takes what arrives
    return page != ConsolePage || f.Text9;
}

void Replies::claim(std::function<void()> onArrival)
{
    Q_ASSERT(!m_reader.collecting());
    m_written.reset();
    m_claim = std::move(onArrival);
}

void Replies::release()
{
    m_claim = nullptr;
    m_written.reset();
}

void Replies::OnComm()
{
    if (m_claim) {
        m_claim();
        return;
    }
    if (m_reader.collecting())
        return;
    if (routesToInterpreter()) {
        ParseReply();
        return;
    }
    if (f.safetabs1->activeTab() == MonitorPage) {
        if (isSignalConnected(QMetaMethod::fromSignal(&Replies::monitorReceive)))
            emit monitorReceive();
        else
            f.MSComm1.discardInput();
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&Replies::consoleReceive)))
        emit consoleReceive();
    else
        f.MSComm1.discardInput();
}

void Replies::ParseReply()
{
    f.LblIn->clear();
    if (std::optional<ReplyReader::EarlyEnd> early = earlyEnd())
        m_reader.startUntilWhole(std::move(*early));
    else
        m_reader.start();
}

bool Replies::learnsEchoBefore(const protocol::Request &request)
{
    if (f.EchoMode != bus::Echo::Auto || f.LineEchoes || m_heldBack || request.frame.isEmpty() ||
        request.frame.at(0) == 0 || !bus::AnswerCopiesRequest(request.frame))
        return false;
    m_heldBack = request;
    // The state read and its answer (after a copy) on the wire, the turnaround, the window.
    m_learning.start(modbus::AnswerTimeoutMs(8, 7 + 8, f.MSComm1.lineSettings().baudRate) +
                     int(ReplyReader::DefaultWindow.count()));
    return true;
}

bool Replies::dropsEcho() const
{
    return f.EchoMode == bus::Echo::Drop || (f.EchoMode == bus::Echo::Auto && f.LineEchoes == true);
}

void Replies::sendHeldBack()
{
    m_learning.stop();
    if (!m_heldBack)
        return;
    const protocol::Request request = *m_heldBack;
    m_heldBack.reset();
    // Once the learning read's reply has been dealt with.
    QMetaObject::invokeMethod(
        this, [this, request] { SendRequest(f, request); }, Qt::QueuedConnection);
}

std::optional<ReplyReader::EarlyEnd> Replies::earlyEnd() const
{
    if (!m_written || f.RequestKind != m_written->kind || f.safetabs1->activeTab() == ConsolePage)
        return std::nullopt;
    ReplyReader::EarlyEnd early;
    early.whole = [request = *m_written, drop = dropsEcho()](const QByteArray &received) {
        if (!drop)
            return protocol::ReplyIsWhole(request.kind, request.frame, received);
        const bus::EchoSplit split = bus::SplitEcho(request.frame, received);
        return !split.partial && protocol::ReplyIsWhole(request.kind, request.frame, split.rest);
    };
    // Another request recorded since (even one not sent): what arrives is read in its light.
    early.sameRequest = [this, kind = m_written->kind] { return f.RequestKind == kind; };
    return early;
}

void Replies::RequestRecorded()
{
    m_written.reset();
}

void Replies::Written(const protocol::Request *request)
{
    m_reader.endTail();
    if (request)
        m_written = *request;
    else
        m_written.reset();
}

void Replies::ShowTail(const QByteArray &bytes)
{
    const qsizetype room = modbus::MaxRtuLength - m_shown;
    if (room <= 0 || bytes.isEmpty())
        return;
    const QByteArray kept = bytes.first(std::min(room, bytes.size()));
    m_shown += kept.size();
    f.LblIn->setText(f.LblIn->text() + protocol::HexFrameText(kept));
}

void Replies::Interpret(const QByteArray &received)
{
    // The adapter's copy of the request, learned or dropped, is no part of the module's answer.
    QByteArray reply = received;
    const bool learningRead = m_heldBack.has_value();
    bool learnedNow = false;
    if (m_written && f.EchoMode == bus::Echo::Auto && !f.LineEchoes) {
        const bus::EchoSeen seen = bus::JudgeEcho(m_written->frame, received);
        if (seen != bus::EchoSeen::Unknown || learningRead) {
            f.LineEchoes = seen == bus::EchoSeen::Present;
            learnedNow = *f.LineEchoes;
        }
    }
    bool echoTakenOff = false;
    if (m_written && dropsEcho()) {
        const bus::EchoSplit split = bus::SplitEcho(m_written->frame, received);
        if (split.whole()) {
            reply = split.rest;
            echoTakenOff = true;
        }
    }
    // Said once, with the bytes that showed it.
    const QString note =
        echoTakenOff && reply.isEmpty()
            ? app::Caption(QT_TRANSLATE_NOOP("Form1", " （只有适配器回显，没有模块应答）"))
        : learnedNow ? app::Caption(QT_TRANSLATE_NOOP("Form1", " （适配器有回显，已去除）"))
                     : QString();
    if (learningRead)
        sendHeldBack();
    if (echoTakenOff && reply.isEmpty()) {
        // Only the adapter's echo came back: no relay switched, so a switch the user flipped
        // goes back to where it was.
        const QByteArray &frame = m_written->frame;
        if (frame.size() >= 6 && std::uint8_t(frame.at(1)) == modbus::function::WriteSingleCoil &&
            std::uint8_t(frame.at(3)) < f.SafeSwitch.size())
            SetSwitchQuietly(f.SafeSwitch[std::uint8_t(frame.at(3))], frame.at(4) == 0);
        const QByteArray kept = received.first(std::min(received.size(), modbus::MaxRtuLength));
        m_shown = kept.size();
        f.LblIn->setText(protocol::HexFrameText(kept) + note);
        return;
    }

    protocol::ReplyContext context;
    context.kind = f.RequestKind;
    context.channelCount = f.ChannelCount;
    context.scanRunning = f.moduleConfig->ScanRunning();
    context.sentText = f.LblOut->text();
    context.newBaudIndex = f.Combo4->currentIndex();

    // What floods in beyond the longest frame is no part of any answer: dropped.
    const QByteArray kept = reply.first(std::min(reply.size(), modbus::MaxRtuLength));
    m_shown = kept.size();
    const protocol::ReplyActions a = protocol::InterpretReply(kept, context);
    f.LblIn->setText(echoTakenOff ? protocol::HexFrameText(received.first(
                                        std::min(received.size(), modbus::MaxRtuLength))) +
                                        note
                                  : a.receivedText + note);
    if (a.scanAddress) {
        f.Text1->addItem(*a.scanAddress);
        f.Text1->setCurrentIndex(0);
    }
    if (a.onlyAddress) {
        f.Text1->clear();
        f.Text1->addItem(*a.onlyAddress);
        f.Text1->setCurrentIndex(0);
    }
    if (a.addressText)
        f.Text1->setEditText(*a.addressText);
    for (const protocol::SwitchMove &m : a.switches)
        SetSwitchQuietly(f.SafeSwitch[m.index], m.on);
    if (a.baudIndex && *a.baudIndex < f.Combo3->count())
        f.Combo3->setCurrentIndex(*a.baudIndex);
    if (a.message)
        f.messages().inform(app::Message::Icon::Information, a.message->text, a.message->title);
}

void Replies::safetabs1_TabSwitch()
{
    f.Text9 = f.safetabs1->activeTab() != ConsolePage;
}
