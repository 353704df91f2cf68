#include "app/console.h"

#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "modbus/mbap.h"
#include "protocol/hexcodec.h"
#include "serial/tcpline.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTime>

#include <algorithm>

namespace {

const QString NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");
const QString NotSentOverModbusTcp = QT_TRANSLATE_NOOP(
    "Form1",
    "（未发送：MODBUS TCP 端口只能发送 CRC 正确的 MODBUS 帧，文本和其他字节无法经网关传送）");
const char *const ProblemProperty = "inputProblem";
constexpr std::chrono::milliseconds AppendInterval{20};

struct Example
{
    const char *item;
    const char *text;
    bool hex;
};

// What each entry of the example menu puts into the send box.
constexpr Example Examples[] = {
    {"MOD1", "01 05 00 00 FF 00 8C 3A", true},
    {"MOD2", "01 05 00 00 00 00 CD CA", true},
    {"MOD3", "01 0F 00 00 00 10 02 FF FF E3 90", true},
    {"MOD4", "01 0F 00 00 00 10 02 00 00 E2 20", true},
    {"MOD5", "01 01 00 00 00 10 3D C6", true},
    {"AT1", "AT+OUT1+1=ON", false},
    {"AT2", "AT+OUT1+1=OFF", false},
    {"AT3", "AT+ALLOUT+1=ON", false},
    {"AT4", "AT+ALLOUT+1=OFF", false},
    {"AT5", "AT+STATUS+1=?", false},
};

QString DefaultSavePath(QWidget *parent)
{
    return QFileDialog::getSaveFileName(
        parent, app::Caption(QT_TRANSLATE_NOOP("Form1", "保存到文件")), QString(),
        app::Caption(QT_TRANSLATE_NOOP("Form1", "文本文件 (*.txt);;所有文件 (*)")));
}

} // namespace

Console::Console(Form1 &form)
    : QObject(&form), f(form), m_reader(&form.MSComm1), m_chooser(DefaultSavePath)
{
    // What arrives within one display frame goes into the box in one append.
    m_flush.setSingleShot(true);
    m_flush.setInterval(AppendInterval);
    connect(&m_flush, &QTimer::timeout, this, &Console::flush);
    connect(&m_reader, &ReplyReader::replyRead, this, &Console::hexReplyRead);

    // The receive box keeps its newest part and no undo history of what arrived.
    f.TxtReceive->setUndoRedoEnabled(false);
    setLimits(m_limits);
    m_lines.setHexBytesPerLine(fittingHexBytes());

    m_save = new QAction(app::Caption(QT_TRANSLATE_NOOP("Form1", "保存到文件…")), this);
    m_save->setObjectName(QStringLiteral("TxtReceiveSave"));
    m_timestamps = new QAction(app::Caption(QT_TRANSLATE_NOOP("Form1", "显示时间戳")), this);
    m_timestamps->setObjectName(QStringLiteral("TxtReceiveTimestamps"));
    m_timestamps->setCheckable(true);
    f.TxtReceive->setContextMenuPolicy(Qt::CustomContextMenu);

    // Refused calculator input wears a red frame, its reason as the tooltip. A style sheet stops
    // the window's font from reaching the box, so the box is given it as its own first.
    f.Text7->setFont(f.Text7->font());
    f.Text7->setStyleSheet(
        QStringLiteral("QLineEdit[inputProblem=\"true\"] { border: 2px solid #d00000; }"));
    connectControls();
}

void Console::connectControls()
{
    connect(f.Command7, &QzButton::Click, this, &Console::Command7_Click);
    connect(f.qzbutton7, &QzButton::Click, this, &Console::qzbutton7_Click);
    connect(f.mmu, &QMenu::triggered, this, &Console::mmu_Click);
    connect(f.qzbutton8, &QzButton::Click, this, &Console::qzbutton8_Click);
    connect(f.Command8, &QzButton::Click, this, &Console::Command8_Click);
    connect(f.qzbutton11, &QzButton::Click, this, &Console::qzbutton11_Click);
    connect(f.qzbutton13, &QzButton::Click, this, &Console::qzbutton13_Click);
    connect(f.replies, &Replies::consoleReceive, this, &Console::Receive);
    // While its page is shown the console takes what arrives, unless a request routes replies
    // to the interpreter.
    connect(f.safetabs1, &SafeTabs::TabSwitch, this,
            [this] { f.replies->setConsoleShown(f.showsPageOf(f.TxtReceive)); });
    connect(f.TxtReceive, &QWidget::customContextMenuRequested, this, &Console::showContextMenu);
    connect(m_save, &QAction::triggered, this, &Console::SaveReceived);
    // A mark describes the text it was made for; editing the text takes it away.
    connect(f.Text7, &QLineEdit::textChanged, this, [this] { markCrcInput({}); });
}

void Console::Command7_Click()
{
    if (!f.MSComm1.isOpen()) {
        f.messages().inform(app::Message::Icon::Warning,
                            QT_TRANSLATE_NOOP("Messages", "串口没有打开，请打开串口"),
                            QT_TRANSLATE_NOOP("Messages", "串口调试助手"));
        return;
    }
    const QString typed = f.TxtSend->toPlainText();
    if (typed.isEmpty()) {
        f.messages().inform(app::Message::Icon::Error,
                            QT_TRANSLATE_NOOP("Messages", "发送数据不能为空"), NoticeTitle);
        return;
    }
    f.Text9 = false;
    if (f.ChkHexSend->isChecked()) {
        if (const QByteArray bytes = protocol::HexSendBytes(typed); !bytes.isEmpty())
            send(bytes);
        return;
    }
    send(serial::CommPort::EncodeLocal8Bit(protocol::ConsoleSendText(typed)));
}

void Console::send(const QByteArray &bytes)
{
    // A MODBUS TCP gateway passes on whole MODBUS frames only: anything else would vanish
    // without a word, so the receive box says why nothing went out.
    const auto network = serial::ParseNetworkPort(f.MSComm1.portName());
    if (network && network->framing == serial::NetworkAddress::Framing::Mbap &&
        !modbus::IsWholeRequests(bytes)) {
        queue(m_lines.note(app::Caption(NotSentOverModbusTcp)));
        return;
    }
    SendConsoleBytes(f, bytes);
}

void Console::qzbutton7_Click()
{
    f.mmu->popup(QCursor::pos());
}

void Console::mmu_Click(QAction *item)
{
    const QString name = item ? item->objectName() : QString();
    for (const Example &e : Examples) {
        if (name == QLatin1String(e.item)) {
            f.TxtSend->setPlainText(QString::fromLatin1(e.text));
            f.ChkHexSend->setChecked(e.hex);
            return;
        }
    }
    // The headings and the separators do nothing.
}

void Console::qzbutton8_Click()
{
    m_count = 0;
    m_pending.clear();
    m_lines.reset();
    f.TxtReceive->clear();
    showCount();
}

void Console::Receive()
{
    if (f.ChkHexSend->isChecked()) {
        // As hex: everything that arrives within the reply window is one chunk.
        f.LblIn->clear();
        m_reader.start();
        return;
    }
    // As text: read once per display frame; arrivals meanwhile wait in the port unannounced.
    f.MSComm1.setReceiveThreshold(0);
    m_textWaiting = true;
    if (!m_flush.isActive())
        m_flush.start();
}

void Console::readWaitingText()
{
    m_textWaiting = false;
    // Bytes that a relay request claimed meanwhile are left to the reply interpreter, which
    // hears of them as soon as the threshold is back.
    if (!f.replies->routesToInterpreter()) {
        qsizetype bytes = 0;
        const QString text = f.MSComm1.readText(&bytes);
        m_count += bytes;
        // A lone first byte of a character waits in the port's decoder for its partner.
        if (!text.isEmpty())
            m_pending += m_lines.text(text, stamp());
    }
    f.MSComm1.setReceiveThreshold(1);
}

void Console::hexReplyRead(const QByteArray &bytes)
{
    m_count += bytes.size();
    queue(bytes.isEmpty() ? QString() : m_lines.hex(bytes, stamp()));
}

QString Console::stamp() const
{
    if (!m_timestamps->isChecked())
        return {};
    return QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) +
           QStringLiteral("] ");
}

void Console::queue(const QString &text)
{
    m_pending += text;
    if (!m_flush.isActive())
        m_flush.start();
}

void Console::flush()
{
    if (m_textWaiting)
        readWaitingText();
    if (!m_pending.isEmpty()) {
        QTextCursor end(f.TxtReceive->document());
        end.movePosition(QTextCursor::End);
        end.insertText(m_pending);
        m_pending.clear();
        trim();
        f.TxtReceive->moveCursor(QTextCursor::End);
    }
    showCount();
}

void Console::trim()
{
    QTextDocument *doc = f.TxtReceive->document();
    QTextBlock block = doc->begin();
    qsizetype at = 0;
    const auto lengthOf = [&](qsizetype i) {
        for (; at < i; ++at)
            block = block.next();
        return qsizetype(block.length());
    };
    const qsizetype drop =
        protocol::OldLinesToDrop(doc->blockCount(), doc->characterCount(), lengthOf, m_limits);
    if (drop <= 0)
        return;
    QTextCursor old(doc);
    old.movePosition(QTextCursor::Start);
    old.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, int(drop));
    old.removeSelectedText();
}

void Console::setLimits(const protocol::BoxLimits &limits)
{
    m_limits = limits;
    // The document drops whole old lines beyond the line limit itself; trim() keeps the rest.
    f.TxtReceive->setMaximumBlockCount(int(std::clamp<qsizetype>(limits.lines, 1, INT_MAX)));
}

int Console::fittingHexBytes() const
{
    const QPlainTextEdit *box = f.TxtReceive;
    const QFontMetrics metrics(box->font());
    int digit = 0;
    for (const QChar c : QStringLiteral("0123456789ABCDEF"))
        digit = std::max(digit, metrics.horizontalAdvance(c));
    const int group = 2 * digit + metrics.horizontalAdvance(QLatin1Char(' '));
    const int width = box->width() - 2 * box->frameWidth() -
                      box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box) -
                      2 * int(box->document()->documentMargin()) - box->cursorWidth();
    return std::max(1, group > 0 ? width / group : 1);
}

void Console::showCount()
{
    f.jishu->setText(QString::number(m_count));
}

void Console::showContextMenu(const QPoint &pos)
{
    QMenu *menu = f.TxtReceive->createStandardContextMenu(pos);
    menu->setObjectName(QStringLiteral("TxtReceiveMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addAction(m_save);
    menu->addAction(m_timestamps);
    menu->popup(f.TxtReceive->viewport()->mapToGlobal(pos));
}

void Console::SaveReceived()
{
    const QString path = m_chooser ? m_chooser(&f) : QString();
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(f.TxtReceive->toPlainText().toUtf8()) < 0 ||
        !file.commit()) {
        f.messages().inform(app::Message::Icon::Error,
                            QCoreApplication::translate("Messages", "无法保存到文件：%1\n%2")
                                .arg(path, file.errorString()),
                            NoticeTitle);
    }
}

void Console::markCrcInput(const QString &reason)
{
    QLineEdit *box = f.Text7;
    const bool marked = !reason.isEmpty();
    box->setToolTip(reason);
    if (box->property(ProblemProperty).toBool() == marked)
        return;
    box->setProperty(ProblemProperty, marked);
    box->style()->unpolish(box);
    box->style()->polish(box);
    box->update();
}

void Console::Command8_Click()
{
    const QString typed = f.Text7->text();
    const protocol::CrcInput input = protocol::ReadCrcInput(typed);
    if (input.problem == protocol::CrcInput::Problem::Empty) {
        markCrcInput({});
        return;
    }
    markCrcInput(protocol::CrcProblemText(input, typed));
    if (!input.ok()) {
        f.Text8->clear();
        return;
    }
    f.Text8->setText(protocol::CrcResultText(input.bytes));
}

void Console::copyBox(QLineEdit *box, const QString &emptyText, const QString &copiedText)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (box->text().isEmpty()) {
        f.messages().inform(app::Message::Icon::Error, emptyText, NoticeTitle);
        return;
    }
    clipboard->setText(box->text());
    f.messages().inform(app::Message::Icon::Information, copiedText, NoticeTitle);
}

void Console::qzbutton11_Click()
{
    copyBox(f.LblOut, QT_TRANSLATE_NOOP("Messages", "发出数据为空，无法复制"),
            QT_TRANSLATE_NOOP("Messages", "发出数据已经复制到剪切板"));
}

void Console::qzbutton13_Click()
{
    copyBox(f.LblIn, QT_TRANSLATE_NOOP("Messages", "收到数据为空，无法复制"),
            QT_TRANSLATE_NOOP("Messages", "收到数据已经复制到剪切板"));
}
