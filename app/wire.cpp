#include "app/wire.h"

#include "app/mainwindow.h"
#include "app/replies.h"
#include "protocol/hexcodec.h"
#include "protocol/panel.h"

#include <QLineEdit>

using protocol::RequestKind;

KindRule RuleOfKind(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Connect:
    case RequestKind::Connect1:
    case RequestKind::DisConnect1:
    case RequestKind::AllConnect:
    case RequestKind::AllDisConnect:
    case RequestKind::ReadRate:
        return {false, true};
    case RequestKind::SetRate:
        return {true, true};
    case RequestKind::Address:
    case RequestKind::SetAddress:
        return {true, false};
    // Switching a channel off keeps what the received box shows.
    case RequestKind::DisConnect:
    case RequestKind::Connect2:
    case RequestKind::State:
    case RequestKind::Address1:
        return {false, false};
    }
    return {};
}

void ShowSentFrame(Form1 &form, const QByteArray &frame)
{
    form.LblOut->setText(protocol::HexFrameText(frame));
}

void RecordRequest(Form1 &form, RequestKind kind)
{
    if (form.replies)
        form.replies->RequestRecorded();
    form.RequestKind = kind;
    if (RuleOfKind(kind).setsText9)
        form.Text9 = true;
}

bool PortClaimed(const Form1 &form)
{
    return form.replies && form.replies->claimed();
}

namespace {

const char *const TestRunningMessage =
    QT_TRANSLATE_NOOP("Messages", "模块测试正在进行，测试结束或停止后才能发送");

bool TellsPortClosed(RequestKind kind)
{
    switch (kind) {
    case RequestKind::Connect:
    case RequestKind::Connect1:
    case RequestKind::DisConnect1:
    case RequestKind::AllConnect:
    case RequestKind::AllDisConnect:
    case RequestKind::Address1:
    case RequestKind::ReadRate:
        return true;
    default:
        return false;
    }
}

void TellTestRunning(Form1 &form)
{
    form.messages().inform(app::Message::Icon::Warning, TestRunningMessage,
                           QT_TRANSLATE_NOOP("Messages", "提示"));
}

// Bytes that are no request of the window's catalogue: the reader takes what comes back raw.
bool WriteRaw(Form1 &form, const QByteArray &bytes)
{
    if (!form.MSComm1.write(bytes))
        return false;
    if (form.replies)
        form.replies->Written(nullptr);
    return true;
}

} // namespace

bool SendRequest(Form1 &form, const protocol::Request &request)
{
    if (PortClaimed(form)) {
        // The requests that would say the port is closed say why they cannot go now.
        if (TellsPortClosed(request.kind))
            TellTestRunning(form);
        return false;
    }
    // Before the first request whose answer is a copy of itself on a line not yet learned, one
    // state read of the same address tells whether the adapter echoes; the request follows it.
    if (form.replies && form.MSComm1.isOpen() && form.replies->learnsEchoBefore(request))
        return SendRequest(form, protocol::StateRequest(std::uint8_t(request.frame.at(0))));
    RecordRequest(form, request.kind);
    if (!form.MSComm1.write(request.frame))
        return false;
    if (form.replies)
        form.replies->Written(&request);
    ShowSentFrame(form, request.frame);
    emit form.requestSent(request.frame);
    if (RuleOfKind(request.kind).clearsReceived)
        form.LblIn->clear();
    return true;
}

bool SendConsoleBytes(Form1 &form, const QByteArray &bytes)
{
    if (PortClaimed(form)) {
        TellTestRunning(form);
        return false;
    }
    return WriteRaw(form, bytes);
}

bool SendTestFrame(Form1 &form, const QByteArray &frame)
{
    return WriteRaw(form, frame);
}

void TellPortClosed(Form1 &form, RequestKind kind)
{
    if (!TellsPortClosed(kind))
        return; // the other kinds stop silently
    if (kind == RequestKind::ReadRate)
        form.messages().inform(app::Message::Icon::Error,
                               QT_TRANSLATE_NOOP("Messages", "请先打开串口后，在搜索"),
                               QT_TRANSLATE_NOOP("Messages", "提示"));
    else
        form.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
}
