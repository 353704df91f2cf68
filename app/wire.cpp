#include "app/wire.h"

#include "app/mainwindow.h"
#include "app/replies.h"
#include "protocol/hexcodec.h"
#include "protocol/panel.h"

#include <QLineEdit>

using protocol::RequestKind;

void ShowSentFrame(Form1 &form, const QByteArray &frame)
{
    form.LblOut->setText(protocol::HexFrameText(frame));
}

void RecordRequest(Form1 &form, RequestKind kind)
{
    form.RequestKind = kind;
    if (protocol::RuleOfKind(kind).routesToInterpreter)
        form.Text9 = true;
}

bool PortClaimed(const Form1 &form)
{
    return form.replies && form.replies->master().claimed();
}

namespace {

const char *const TestRunningMessage =
    QT_TRANSLATE_NOOP("Messages", "模块测试正在进行，测试结束或停止后才能发送");

void TellTestRunning(Form1 &form)
{
    form.messages().inform(app::Message::Icon::Warning, TestRunningMessage,
                           QT_TRANSLATE_NOOP("Messages", "提示"));
}

} // namespace

bool SendRequest(Form1 &form, const protocol::Request &request)
{
    const protocol::KindRule rule = protocol::RuleOfKind(request.kind);
    if (PortClaimed(form)) {
        // The requests that would say the port is closed say why they cannot go now.
        if (rule.tellsPortClosed)
            TellTestRunning(form);
        return false;
    }
    RecordRequest(form, request.kind);
    if (!form.replies->submit(request))
        return false;
    ShowSentFrame(form, request.frame);
    emit form.requestSent(request.frame);
    if (rule.clearsReceived)
        form.LblIn->clear();
    return true;
}

bool SendConsoleBytes(Form1 &form, const QByteArray &bytes)
{
    if (PortClaimed(form)) {
        TellTestRunning(form);
        return false;
    }
    if (!form.MSComm1.write(bytes))
        return false;
    form.replies->consoleWrote();
    return true;
}

void TellPortClosed(Form1 &form, RequestKind kind)
{
    if (!protocol::RuleOfKind(kind).tellsPortClosed)
        return; // the other kinds stop silently
    if (kind == RequestKind::ReadRate)
        form.messages().inform(app::Message::Icon::Error,
                               QT_TRANSLATE_NOOP("Messages", "请先打开串口后，在搜索"),
                               QT_TRANSLATE_NOOP("Messages", "提示"));
    else
        form.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
}
