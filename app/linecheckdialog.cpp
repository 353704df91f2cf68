#include "app/linecheckdialog.h"

#include "app/layout.h"
#include "app/linecheckwords.h"
#include "app/mainwindow.h"
#include "controls/qzbutton.h"
#include "linecheck/runner.h"
#include "protocol/baud.h"

#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace linecheck;

namespace {

const QColor StripBack(242, 250, 249);
const QColor PaleButton(246, 245, 218);
const QColor StartButton(255, 168, 58);

QColor LevelColour(Level level)
{
    switch (level) {
    case Level::Pass:
        return QColor(0, 128, 0);
    case Level::Warning:
        return QColor(176, 96, 0);
    case Level::Fault:
        return QColor(210, 0, 0);
    case Level::Skipped:
    case Level::NotAvailable:
        break;
    }
    return QColor(110, 110, 110);
}

QzButton *Button(const QString &caption, const QColor &back, QWidget *parent,
                 const QColor &fore = Qt::black)
{
    auto *button = new QzButton(parent);
    button->setButtonStyle(4);
    button->setBackColor(back);
    button->setForeColor(fore);
    button->setCaption(caption);
    button->setMinimumSize(90, 28);
    return button;
}

QGroupBox *Frame(const QString &title, const QColor &back, QWidget *parent)
{
    auto *frame = new QGroupBox(title, parent);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, back);
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
    return frame;
}

} // namespace

LineCheckDialog::LineCheckDialog(Form1 &form) : QDialog(&form), m_form(form)
{
    setObjectName(QStringLiteral("lineCheck"));
    // The window's font and light palette, whatever the desktop's.
    setAttribute(Qt::WA_WindowPropagation);
    setFont(form.font());
    setPalette(form.palette());
    setWindowTitle(tr("线路诊断"));
    setModal(true);
    resize(780, 560);

    auto *settings = Frame(tr("诊断设置"), StripBack, this);
    auto *grid = new QGridLayout(settings);
    m_port = new QComboBox(settings);
    m_port->setObjectName(QStringLiteral("lineCheckPort"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < form.Combo2->count(); ++i)
        m_port->addItem(form.Combo2->itemText(i));
    m_port->setEditText(form.Combo2->currentText());
    m_baud = new QComboBox(settings);
    m_baud->setObjectName(QStringLiteral("lineCheckBaud"));
    m_baud->addItems(protocol::BaudList());
    m_baud->setCurrentIndex(std::max(0, m_baud->findText(form.Combo3->currentText())));
    m_address = new QLineEdit(form.Text1->currentText().trimmed(), settings);
    m_address->setObjectName(QStringLiteral("lineCheckAddress"));
    m_address->setValidator(new QIntValidator(1, 255, m_address));
    m_reads = new QLineEdit(QStringLiteral("20"), settings);
    m_reads->setObjectName(QStringLiteral("lineCheckReads"));
    m_reads->setValidator(new QIntValidator(1, 1000, m_reads));
    m_start = Button(tr("开始诊断"), StartButton, settings, Qt::white);
    m_start->setObjectName(QStringLiteral("lineCheckStart"));
    grid->addWidget(new QLabel(tr("端口"), settings), 0, 0);
    grid->addWidget(m_port, 0, 1);
    grid->addWidget(new QLabel(tr("波特率"), settings), 0, 2);
    grid->addWidget(m_baud, 0, 3);
    grid->addWidget(new QLabel(tr("模块地址"), settings), 0, 4);
    grid->addWidget(m_address, 0, 5);
    grid->addWidget(new QLabel(tr("读取次数"), settings), 0, 6);
    grid->addWidget(m_reads, 0, 7);
    grid->addWidget(m_start, 0, 8);
    grid->setColumnStretch(1, 2);

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lineCheckNotice"));
    m_notice->setWordWrap(true);
    QPalette red = m_notice->palette();
    red.setColor(QPalette::WindowText, QColor(210, 0, 0));
    m_notice->setPalette(red);
    m_notice->hide();

    auto *results = Frame(tr("诊断结果"), app::PageBackColor(), this);
    auto *resultsLayout = new QVBoxLayout(results);
    m_table = new QTableWidget(0, 4, results);
    m_table->setObjectName(QStringLiteral("lineCheckTable"));
    m_table->setHorizontalHeaderLabels({tr("检查项"), tr("结果"), tr("数据"), tr("处理建议")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setWordWrap(true);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Interactive);
    m_table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    m_table->setColumnWidth(2, 260);
    resultsLayout->addWidget(m_table);
    m_summary = new QLabel(results);
    m_summary->setObjectName(QStringLiteral("lineCheckSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_summary->font();
    bold.setBold(true);
    m_summary->setFont(bold);
    resultsLayout->addWidget(m_summary);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lineCheckStatus"));
    m_copy = Button(tr("复制结论"), PaleButton, this);
    m_copy->setObjectName(QStringLiteral("lineCheckCopy"));
    m_copy->setEnabled(false);
    m_close = Button(tr("关闭"), PaleButton, this);
    m_close->setObjectName(QStringLiteral("lineCheckClose"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_copy);
    bottom->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(settings);
    layout->addWidget(m_notice);
    layout->addWidget(results, 1);
    layout->addLayout(bottom);

    connect(m_start, &QzButton::Click, this, [this] {
        if (running())
            m_check->stop();
        else
            start();
    });
    connect(m_copy, &QzButton::Click, this,
            [this] { QGuiApplication::clipboard()->setText(m_summary->text()); });
    connect(m_close, &QzButton::Click, this, &QDialog::reject);
}

LineCheckDialog::~LineCheckDialog() = default;

LineCheckDialog *LineCheckDialog::Open(Form1 &form)
{
    auto *dialog = new LineCheckDialog(form);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

bool LineCheckDialog::running() const
{
    return m_check && m_check->running();
}

void LineCheckDialog::showEvent(QShowEvent *event)
{
    showNotice();
    QDialog::showEvent(event);
}

void LineCheckDialog::showNotice()
{
    // The window's own port is the window's: the check opens the port itself, so it waits for
    // the window to let go of it.
    const bool open = m_form.MSComm1.isOpen();
    m_notice->setText(tr("窗口的串口 %1 已打开：请先按“关闭串口”，诊断会自己打开端口。")
                          .arg(m_form.MSComm1.portName()));
    m_notice->setVisible(open);
}

void LineCheckDialog::start()
{
    showNotice();
    if (m_form.MSComm1.isOpen() || running())
        return;
    bool ok = false;
    const int address = m_address->text().toInt(&ok);
    if (!ok || address < 1 || address > 255) {
        m_status->setText(tr("模块地址应为 1 到 255"));
        return;
    }
    const int reads = m_reads->text().toInt(&ok);
    if (!ok || reads < 1) {
        m_status->setText(tr("读取次数应为 1 到 1000"));
        return;
    }
    LineCheck::Options options;
    options.port = m_port->currentText().trimmed();
    options.settings.rate = m_baud->currentText().trimmed().toInt();
    options.address = std::uint8_t(address);
    options.reads = reads;
    options.echo = m_form.EchoMode;
    m_check = std::make_unique<LineCheck>(options);
    connect(m_check.get(), &LineCheck::reading, this, [this](int check) {
        m_status->setText(tr("正在检查：%1").arg(app::LineCheckTitle(Check(check))));
    });
    connect(m_check.get(), &LineCheck::finished, this, &LineCheckDialog::finished);
    m_findings.clear();
    m_table->setRowCount(0);
    m_summary->clear();
    m_copy->setEnabled(false);
    m_start->setCaption(tr("停止"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_port, m_baud, m_address, m_reads})
        w->setEnabled(false);
    m_check->start();
}

void LineCheckDialog::finished()
{
    const Readings &readings = m_check->readings();
    m_findings = Judge(readings);
    showFindings();
    m_status->setText(readings.port.opened() ? tr("诊断完成") : tr("端口无法打开"));
    m_start->setCaption(tr("开始诊断"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_port, m_baud, m_address, m_reads})
        w->setEnabled(true);
    m_copy->setEnabled(true);
    // The check's port closes with it, from the event loop: not inside its own signal.
    m_check.release()->deleteLater();
}

void LineCheckDialog::showFindings()
{
    m_table->setRowCount(int(m_findings.size()));
    for (int row = 0; row < m_findings.size(); ++row) {
        const Finding &f = m_findings.at(row);
        auto *level = new QTableWidgetItem(app::LineCheckLevel(f.level));
        level->setForeground(LevelColour(f.level));
        QFont bold = m_table->font();
        bold.setBold(f.level == Level::Fault || f.level == Level::Warning);
        level->setFont(bold);
        m_table->setItem(row, 0, new QTableWidgetItem(app::LineCheckTitle(f.check)));
        m_table->setItem(row, 1, level);
        m_table->setItem(row, 2, new QTableWidgetItem(app::LineCheckFigure(f)));
        m_table->setItem(row, 3, new QTableWidgetItem(app::LineCheckAdvice(f)));
    }
    m_table->resizeRowsToContents();
    m_summary->setText(app::LineCheckSummary(m_findings));
}

void LineCheckDialog::done(int result)
{
    // Closing stops the check and closes its port.
    m_check.reset();
    QDialog::done(result);
}
