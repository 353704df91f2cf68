#include "app/testpage.h"

#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "app/testsettings.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "link/line.h"
#include "link/master.h"
#include "moduletest/reports.h"
#include "moduletest/runner.h"
#include "protocol/baud.h"
#include "protocol/hexcodec.h"
#include "protocol/panel.h"
#include "serial/linedevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSaveFile>
#include <QTimer>

namespace {

const QColor Untested(224, 224, 224);
const QColor Passed(96, 200, 96);
const QColor Failed(235, 80, 80);

const char *const NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");

QString DefaultChooser(const QString &title)
{
    return QFileDialog::getSaveFileName(
        nullptr, title, QString(),
        app::Caption(QT_TRANSLATE_NOOP(
            "Form1", "文本 (*.txt);;JUnit XML (*.xml);;JSON (*.json);;CSV (*.csv);;所有文件 (*)")));
}

template <typename T> T *Control(Form1 &form, const QString &name)
{
    auto *control = qobject_cast<T *>(form.control(name));
    Q_ASSERT_X(control, "TestPage", qPrintable(name));
    return control;
}

// The report in the format its file's suffix names; the summary for people otherwise.
QByteArray ReportBytes(const moduletest::Report &report, const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xml"))
        return moduletest::JUnitXml(report);
    if (suffix == QLatin1String("json"))
        return moduletest::Json(report);
    if (suffix == QLatin1String("csv"))
        return moduletest::Csv(report);
    return moduletest::SummaryText(report).toUtf8();
}

} // namespace

TestPage::TestPage(Form1 &form)
    : QObject(&form), f(form), m_cycles(Control<QLineEdit>(form, QStringLiteral("TestCycles"))),
      m_range(Control<QLineEdit>(form, QStringLiteral("TestRange"))),
      m_source(Control<QComboBox>(form, QStringLiteral("TestSource"))),
      m_start(Control<QzButton>(form, QStringLiteral("TestStart"))),
      m_save(Control<QzButton>(form, QStringLiteral("TestSave"))),
      m_progress(Control<QProgressBar>(form, QStringLiteral("TestProgress"))),
      m_left(Control<QLabel>(form, QStringLiteral("TestLeft"))),
      m_log(Control<QPlainTextEdit>(form, QStringLiteral("TestLog"))), m_chooser(DefaultChooser)
{
    for (int i = 0; i < 6; ++i) {
        m_steps[std::size_t(i)] = Control<QCheckBox>(form, QStringLiteral("TestStep(%1)").arg(i));
        // Every step but the one that changes the module's address and rate.
        m_steps[std::size_t(i)]->setChecked(moduletest::AllSteps[i] != moduletest::Step::Config);
    }
    for (int i = 0; i < 8; ++i)
        m_cells[std::size_t(i)] = Control<QLabel>(form, QStringLiteral("TestCell(%1)").arg(i));
    m_source->setCurrentIndex(int(app::TestSource::AddressBox));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(5000);

    connect(m_start, &QzButton::Click, this, &TestPage::Start_Click);
    connect(m_save, &QzButton::Click, this, &TestPage::Save_Click);
    connect(f.Combo1, &QComboBox::currentIndexChanged, this, &TestPage::showModel);
    showModel();
}

TestPage::~TestPage() = default;

void TestPage::showModel()
{
    // The model comes from the window's model choice; before one is made, eight channels.
    for (int i = 4; i < 8; ++i)
        m_cells[std::size_t(i)]->setVisible(f.ChannelCount != 4);
}

void TestPage::paintCell(int channel, const QColor &colour)
{
    if (channel < 1 || channel > 8)
        return;
    QLabel *cell = m_cells[std::size_t(channel - 1)];
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Window, colour);
    cell->setPalette(palette);
}

QString TestPage::failureLine(std::uint8_t address, const moduletest::Failure &failure) const
{
    // In the window's language (the test's own message, in English, goes into the report).
    static const char *const faults[] = {
        QT_TRANSLATE_NOOP("Form1", "无应答"), QT_TRANSLATE_NOOP("Form1", "应答有误"),
        QT_TRANSLATE_NOOP("Form1", "状态不符"), QT_TRANSLATE_NOOP("Form1", "动作时间超差")};
    QString what = app::Caption(faults[int(failure.fault)]);
    if (!failure.channels.isEmpty()) {
        QStringList channels;
        for (const int channel : failure.channels)
            channels << QString::number(channel);
        what += app::Caption(QT_TRANSLATE_NOOP("Form1", "（第 %1 路）"))
                    .arg(channels.join(app::Caption(QT_TRANSLATE_NOOP("Form1", "、"))));
    }
    QString line = app::Caption(QT_TRANSLATE_NOOP("Form1", "地址 %1，第 %2 轮，%3：%4"))
                       .arg(address)
                       .arg(failure.cycle)
                       .arg(m_steps[std::size_t(failure.step)]->text(), what);
    if (!failure.sent.isEmpty())
        line += app::Caption(QT_TRANSLATE_NOOP("Form1", "  发送 %1  收到 %2"))
                    .arg(protocol::HexFrameText(failure.sent).trimmed(),
                         failure.received.isEmpty()
                             ? QStringLiteral("-")
                             : protocol::HexFrameText(failure.received).trimmed());
    return line;
}

void TestPage::log(const QString &line)
{
    m_log->appendPlainText(line);
}

void TestPage::Start_Click()
{
    if (m_runner) {
        // Stopped after the request under way; every relay is switched off before it ends.
        m_runner->stop(QStringLiteral("stopped by the user"));
        m_start->setEnabled(false);
        return;
    }
    if (m_waiting)
        return;
    if (!f.MSComm1.isOpen()) {
        f.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
        return;
    }
    // The module search reopens the port and the scan sends on its own: one at a time.
    if (f.Timer3.isActive() || f.readBT.isActive() || f.Timer5.isActive()) {
        f.messages().inform(app::Message::Icon::Warning,
                            QT_TRANSLATE_NOOP("Messages", "正在读取或搜索模块，请结束后再测试"),
                            NoticeTitle);
        return;
    }
    app::TestPageInputs in;
    for (std::size_t i = 0; i < m_steps.size(); ++i)
        in.steps[i] = m_steps[i]->isChecked();
    in.cycles = m_cycles->text();
    in.source = app::TestSource(std::max(0, m_source->currentIndex()));
    in.range = m_range->text();
    in.addressText = f.Text1->currentText();
    in.channelCount = f.ChannelCount;
    auto settings = app::ReadTestSettings(in);
    if (const QString *error = std::get_if<QString>(&settings)) {
        f.messages().inform(app::Message::Icon::Error, *error, NoticeTitle);
        return;
    }
    if (!f.messages().ask(QT_TRANSLATE_NOOP("Messages",
                                            "测试时每一路继电器都会吸合和断开。请确认所接负载可以"
                                            "动作。开始测试吗？"),
                          NoticeTitle))
        return;
    m_settings = std::get<moduletest::Settings>(std::move(settings));
    m_waiting = true;
    emit testStarted();
    m_start->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "停止测试")));
    begin();
}

void TestPage::stopBeforeClose(int timeoutMs)
{
    m_waiting = false; // confirmed but not begun: nothing was switched yet
    if (!m_runner)
        return;
    QEventLoop loop;
    connect(this, &TestPage::testFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    m_runner->stop(QStringLiteral("the window was closed"));
    if (m_runner)
        loop.exec();
}

void TestPage::begin()
{
    if (!m_waiting)
        return;
    // A reply being read belongs to the request before the test, and the bus overview's last
    // poll ends first: the test waits for the line to be free.
    if (f.ReplyBeingCollected()) {
        QTimer::singleShot(10, this, &TestPage::begin);
        return;
    }
    m_waiting = false;
    // The runner holds the window's master while it runs: the window's other senders are refused
    // and what arrives goes to the master, whatever page is shown.
    m_runner = std::make_unique<moduletest::Runner>(f.replies->master(), *m_settings);

    for (int channel = 1; channel <= 8; ++channel)
        paintCell(channel, Untested);
    m_progress->setValue(0);
    m_left->clear();
    m_log->clear();

    moduletest::Runner *r = m_runner.get();
    connect(r, &moduletest::Runner::moduleStarted, this, [this](std::uint8_t address) {
        for (int channel = 1; channel <= 8; ++channel)
            paintCell(channel, Untested);
        log(app::Caption(QT_TRANSLATE_NOOP("Form1", "测试地址 %1")).arg(address));
    });
    connect(r, &moduletest::Runner::found, this, [this](std::uint8_t address) {
        log(app::Caption(QT_TRANSLATE_NOOP("Form1", "扫描到地址 %1")).arg(address));
    });
    connect(r, &moduletest::Runner::channelVerdict, this,
            [this](std::uint8_t, int channel, bool passed) {
                paintCell(channel, passed ? Passed : Failed);
            });
    connect(r, &moduletest::Runner::failureFound, this,
            [this](std::uint8_t address, const moduletest::Failure &failure) {
                log(failureLine(address, failure));
            });
    connect(r, &moduletest::Runner::progress, this, [this](double fraction, double secondsLeft) {
        m_progress->setValue(qBound(0, qRound(fraction * 1000), 1000));
        m_left->setText(
            app::Caption(QT_TRANSLATE_NOOP("Form1", "剩余 %1 秒")).arg(qRound(secondsLeft)));
    });
    connect(r, &moduletest::Runner::finished, this, &TestPage::end, Qt::QueuedConnection);
    r->start();
}

void TestPage::end()
{
    if (!m_runner)
        return;
    moduletest::Report report = m_runner->report();
    report.program = QStringLiteral("quorvane");
    report.version = QCoreApplication::applicationVersion();
    report.port = f.MSComm1.portName();
    m_runner.reset();

    for (const moduletest::ModuleResult &m : report.modules) {
        if (!m.answered)
            log(app::Caption(QT_TRANSLATE_NOOP("Form1", "地址 %1：无应答")).arg(m.address));
        else if (m.passed())
            log(app::Caption(QT_TRANSLATE_NOOP("Form1", "地址 %1：通过")).arg(m.address));
        else
            log(app::Caption(QT_TRANSLATE_NOOP("Form1", "地址 %1：未通过，%2 处错误"))
                    .arg(m.address)
                    .arg(m.failureCount));
    }
    if (report.settings.scan && report.modules.empty())
        log(app::Caption(QT_TRANSLATE_NOOP("Form1", "没有扫描到模块")));
    if (!report.portFailure.isEmpty())
        log(app::Caption(QT_TRANSLATE_NOOP("Form1", "串口故障：%1")).arg(report.portFailure));
    else if (report.stopped)
        log(app::Caption(QT_TRANSLATE_NOOP("Form1", "测试已停止，所有继电器已断开")));
    else
        m_progress->setValue(1000);
    m_left->clear();
    m_report = std::move(report);
    m_start->setEnabled(true);
    m_start->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "开始测试")));
    emit testFinished();
}

void TestPage::Save_Click()
{
    if (!m_report) {
        f.messages().inform(app::Message::Icon::Information,
                            QT_TRANSLATE_NOOP("Messages", "还没有测试报告"), NoticeTitle);
        return;
    }
    const QString path = m_chooser(app::Caption(QT_TRANSLATE_NOOP("Form1", "保存报告")));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray bytes = ReportBytes(*m_report, path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(file.errorString()));
}
