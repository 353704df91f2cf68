#include "app/replies.h"

#include "app/connectionstrip.h"
#include "app/mainwindow.h"
#include "app/moduleconfig.h"
#include "controls/safeswitch.h"
#include "link/portline.h"
#include "modbus/frames.h"
#include "modbus/timing.h"
#include "protocol/baud.h"
#include "protocol/hexcodec.h"
#include "protocol/reply.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMetaMethod>

#include <algorithm>

Replies::Replies(Form1 &form)
    : QObject(&form), f(form), m_line(std::make_unique<bus::PortLine>(form.MSComm1, false)),
      m_master(std::make_unique<bus::Master>(*m_line))
{
    m_master->setEcho(f.EchoMode);
    setWindow(DefaultWindow);
    connect(m_master.get(), &bus::Master::unasked, this, &Replies::unasked);
    connect(m_master.get(), &bus::Master::echoLearned, this,
            [this](bool echoes) { m_echoLearned = echoes; });
    connect(&f.MSComm1, &serial::CommPort::received, this, &Replies::OnComm);
}

Replies::~Replies() = default;

void Replies::setWindow(std::chrono::milliseconds window)
{
    m_window = window;
    // Bytes nobody asked for are read in the same window, ended early by a whole answer to the
    // request last written while it is still the one recorded.
    m_master->listen(int(window.count()), [this](const QByteArray &bytes) {
        return m_lastWritten && f.RequestKind == m_lastWritten->kind &&
               wholeAnswer(*m_lastWritten, bytes);
    });
}

void Replies::setPacing(double pauseMs, std::optional<int> answerWaitMs)
{
    m_master->setPacing({pauseMs, answerWaitMs, 0});
}

serial::LineSettings Replies::portSettingsAt(qint32 rate) const
{
    bus::LineSettings line = m_format;
    line.rate = rate;
    return bus::PortSettings(line);
}

void Replies::learnLineAnew()
{
    m_master->setEcho(f.EchoMode);
    m_echoLearned = false;
}

// --- who receives ------------------------------------------------------------------------------

void Replies::setConsoleShown(bool shown)
{
    m_consoleShown = shown;
    // Replies go to the console on its page until a request routes them to the interpreter.
    f.Text9 = !shown;
}

void Replies::setMonitorListening(bool listening)
{
    m_monitorListening = listening;
}

bool Replies::routesToInterpreter() const
{
    if (m_master->claimed())
        return true; // the module test reads through the master, whatever is shown
    if (m_monitorListening)
        return false;
    return !m_consoleShown || f.Text9;
}

void Replies::OnComm()
{
    const bool monitor =
        m_monitorListening && isSignalConnected(QMetaMethod::fromSignal(&Replies::monitorReceive));
    if (monitor || routesToInterpreter()) {
        const QByteArray bytes = f.MSComm1.readAll();
        if (monitor)
            emit monitorReceive(bytes);
        // The monitor listening: only an answer to a request on the line goes on to the master.
        if (routesToInterpreter() || (monitor && m_master->busy()))
            m_line->deliver(bytes);
        return;
    }
    if (m_monitorListening) {
        f.MSComm1.discardInput();
        return;
    }
    if (isSignalConnected(QMetaMethod::fromSignal(&Replies::consoleReceive)))
        emit consoleReceive();
    else
        f.MSComm1.discardInput();
}

// --- requests and their replies ----------------------------------------------------------------

bool Replies::wholeAnswer(const protocol::Request &request, const QByteArray &received) const
{
    // On the console's page a reply is read by its window alone.
    return !m_consoleShown && protocol::ReplyIsWhole(request.kind, request.frame, received);
}

bool Replies::submit(const protocol::Request &request)
{
    if (!f.MSComm1.isOpen())
        return false;
    bus::Transaction t;
    t.request = request.frame;
    t.expect = bus::Expect::Window;
    // A scan asks one address per tick of its own: an answer later than the line's time is read
    // when it comes, as one nobody waited for.
    t.timeoutMs = request.kind == protocol::RequestKind::Address1 && !m_master->pacing().timeoutMs
                      ? modbus::ScanWaitMs(m_line->rate())
                      : m_master->firstByteWaitFor(request.frame);
    t.windowMs = int(m_window.count());
    t.retries = 0;
    t.enough = [this, request](const QByteArray &received) {
        return wholeAnswer(request, received);
    };
    const quint64 id = m_master->submit(
        t, [this, request](const bus::Outcome &outcome) { answered(request, outcome); });
    if (id == 0)
        return false;
    // What arrives from now on is no tail of an earlier reply.
    m_lastWritten = request;
    m_tailUntil = -1;
    return true;
}

void Replies::consoleWrote()
{
    m_lastWritten.reset();
    m_tailUntil = -1;
}

void Replies::answered(const protocol::Request &request, const bus::Outcome &outcome)
{
    if (!outcome.delivered())
        return;
    const QByteArray heard = outcome.echo + outcome.received;
    if (heard.isEmpty())
        return; // silence: nothing to read, as before any reply
    if (m_lastWritten && m_lastWritten->frame == request.frame)
        m_tailUntil = outcome.firstByteMs + double(m_window.count());

    const QByteArray kept = heard.first(std::min(heard.size(), modbus::MaxRtuLength));
    // Said once, with the bytes that showed it.
    QString note;
    if (outcome.onlyEcho)
        note = app::Caption(QT_TRANSLATE_NOOP("Form1", " （只有适配器回显，没有模块应答）"));
    else if (m_echoLearned && !outcome.echo.isEmpty())
        note = app::Caption(QT_TRANSLATE_NOOP("Form1", " （适配器有回显，已去除）"));
    if (!outcome.echo.isEmpty())
        m_echoLearned = false;

    if (outcome.onlyEcho) {
        // Only the adapter's echo came back: no relay switched, so a switch the user flipped
        // goes back to where it was.
        const QByteArray &frame = request.frame;
        if (frame.size() >= 6 && std::uint8_t(frame.at(1)) == modbus::function::WriteSingleCoil &&
            std::uint8_t(frame.at(3)) < f.SafeSwitch.size())
            SetSwitchQuietly(f.SafeSwitch[std::uint8_t(frame.at(3))], frame.at(4) == 0);
        m_shown = kept.size();
        f.LblIn->setText(protocol::HexFrameText(kept) + note);
    } else {
        interpret(outcome.received, request.kind, request.frame,
                  outcome.echo.isEmpty() ? QString() : protocol::HexFrameText(kept) + note);
    }
    emit replyRead(heard);
}

void Replies::unasked(const QByteArray &bytes, double firstByteMs)
{
    if (m_master->claimed())
        return; // the module test's line: nothing of the window's is waiting
    // Another request recorded since (even one not sent): what arrives is read in its light.
    if (inTail() && firstByteMs < m_tailUntil) {
        showTail(bytes);
        return;
    }
    // What follows within its window is its tail, as after an answer to a request.
    if (m_lastWritten)
        m_tailUntil = firstByteMs + double(m_window.count());
    interpret(bytes, f.RequestKind, m_lastWritten ? m_lastWritten->frame : QByteArray(), QString());
    emit replyRead(bytes);
}

bool Replies::inTail() const
{
    return m_lastWritten && f.RequestKind == m_lastWritten->kind && m_master->now() < m_tailUntil;
}

void Replies::showTail(const QByteArray &bytes)
{
    const qsizetype room = modbus::MaxRtuLength - m_shown;
    if (room <= 0 || bytes.isEmpty())
        return;
    const QByteArray kept = bytes.first(std::min(room, bytes.size()));
    m_shown += kept.size();
    f.LblIn->setText(f.LblIn->text() + protocol::HexFrameText(kept));
}

void Replies::interpret(const QByteArray &reply, std::optional<protocol::RequestKind> kind,
                        const QByteArray &sentFrame, const QString &shown)
{
    protocol::ReplyContext context;
    context.kind = kind;
    context.channelCount = f.ChannelCount;
    context.scanRunning = f.moduleConfig->ScanRunning();
    context.sentFrame = sentFrame;
    context.newBaudCode = f.moduleConfig->NewBaudCode();

    // What floods in beyond the longest frame is no part of any answer: dropped.
    const QByteArray kept = reply.first(std::min(reply.size(), modbus::MaxRtuLength));
    m_shown = kept.size();
    const protocol::ReplyActions a = protocol::InterpretReply(kept, context);
    f.LblIn->setText(shown.isEmpty() ? a.receivedText : shown);
    if (a.scanAddress)
        f.moduleConfig->AddressFound(*a.scanAddress);
    if (a.onlyAddress)
        f.moduleConfig->OnlyAddress(*a.onlyAddress);
    if (a.addressText)
        f.Text1->setEditText(*a.addressText);
    for (const protocol::SwitchMove &m : a.switches)
        SetSwitchQuietly(f.SafeSwitch[m.index], m.on);
    if (a.baudCode)
        app::ChooseRate(f.Combo3, protocol::BaudRateOfCode(*a.baudCode).value_or(0));
    if (a.message)
        f.messages().inform(app::Message::Icon::Information, a.message->text, a.message->title);
}
