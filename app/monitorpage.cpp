#include "app/monitorpage.h"

#include "app/detachedpage.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "monitor/decode.h"
#include "settings/configkeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>

namespace {

QString DefaultChooser(const QString &title)
{
    return QFileDialog::getSaveFileName(
        nullptr, title, QString(),
        app::Caption(QT_TRANSLATE_NOOP(
            "Form1", "CSV (*.csv);;JSON Lines (*.jsonl);;pcap (*.pcap);;所有文件 (*)")));
}

template <typename T> T *Control(Form1 &form, const char *name)
{
    auto *control = qobject_cast<T *>(form.control(QString::fromLatin1(name)));
    Q_ASSERT_X(control, "MonitorPage", name);
    return control;
}

bool IsError(const monitor::CapturedFrame &f)
{
    return !f.frame.crcOk || f.unanswered || f.frame.role == modbus::FrameRole::Exception;
}

} // namespace

// --- the table -------------------------------------------------------------------------------

int FrameTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_frames.size());
}

int FrameTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(monitor::ColumnTitles().size());
}

QVariant FrameTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const monitor::CapturedFrame &f = frame(index.row());
    if (role == Qt::DisplayRole)
        return monitor::Cells(f).value(index.column());
    if (role == Qt::ForegroundRole && IsError(f))
        return QColor(Qt::red);
    if (role == Qt::ForegroundRole && f.sent)
        return QColor(0, 0, 192);
    return {};
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return monitor::ColumnTitles().value(section);
    return QString::number(frame(section).index);
}

void FrameTableModel::append(std::vector<monitor::CapturedFrame> frames)
{
    if (frames.empty())
        return;
    const std::size_t excess =
        m_frames.size() + frames.size() > MaxRows ? m_frames.size() + frames.size() - MaxRows : 0;
    if (excess > 0) {
        const std::size_t drop = std::min(excess, m_frames.size());
        beginRemoveRows({}, 0, int(drop) - 1);
        m_frames.erase(m_frames.begin(), m_frames.begin() + std::ptrdiff_t(drop));
        endRemoveRows();
        if (frames.size() > MaxRows)
            frames.erase(frames.begin(), frames.end() - std::ptrdiff_t(MaxRows));
    }
    beginInsertRows({}, int(m_frames.size()), int(m_frames.size() + frames.size()) - 1);
    for (monitor::CapturedFrame &f : frames)
        m_frames.push_back(std::move(f));
    endInsertRows();
}

void FrameTableModel::clear()
{
    beginResetModel();
    m_frames.clear();
    endResetModel();
}

void FrameFilter::set(int address, int function, bool errorsOnly)
{
    m_address = address;
    m_function = function;
    m_errorsOnly = errorsOnly;
    invalidateRowsFilter();
}

bool FrameFilter::filterAcceptsRow(int row, const QModelIndex &) const
{
    const auto *model = static_cast<const FrameTableModel *>(sourceModel());
    const monitor::CapturedFrame &f = model->frame(row);
    if (m_address >= 0 && f.address != m_address)
        return false;
    if (m_function >= 0 && (f.function & 0x7F) != m_function)
        return false;
    return !m_errorsOnly || IsError(f);
}

// --- the page --------------------------------------------------------------------------------

MonitorPage::MonitorPage(Form1 &form)
    : QObject(&form), f(form), m_start(Control<QzButton>(form, "MonitorStart")),
      m_clear(Control<QzButton>(form, "MonitorClear")),
      m_save(Control<QzButton>(form, "MonitorSave")),
      m_record(Control<QzButton>(form, "MonitorRecord")),
      m_detach(Control<QzButton>(form, "MonitorDetach")),
      m_address(Control<QLineEdit>(form, "MonitorAddress")),
      m_function(Control<QComboBox>(form, "MonitorFunction")),
      m_errors(Control<QCheckBox>(form, "MonitorErrors")),
      m_table(Control<QTableView>(form, "MonitorTable")),
      m_statsView(Control<QTableView>(form, "MonitorStats")),
      m_count(Control<QLabel>(form, "MonitorCount")), m_stats(new QStandardItemModel(this)),
      m_chooser(DefaultChooser)
{
    m_filter.setSourceModel(&m_model);
    m_table->setModel(&m_model); // the filter comes in between only while one is set
    m_table->verticalHeader()->setDefaultSectionSize(18);
    m_table->horizontalHeader()->setDefaultSectionSize(52);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_statsView->setModel(m_stats);
    m_statsView->verticalHeader()->hide();
    m_statsView->horizontalHeader()->setDefaultSectionSize(52);
    m_statsView->verticalHeader()->setDefaultSectionSize(18);
    m_function->setCurrentIndex(0);
    newCapture();

    connect(m_start, &QzButton::Click, this, &MonitorPage::StartStop_Click);
    connect(m_clear, &QzButton::Click, this, &MonitorPage::Clear_Click);
    connect(m_save, &QzButton::Click, this, &MonitorPage::Save_Click);
    connect(m_record, &QzButton::Click, this, &MonitorPage::Record_Click);
    connect(m_address, &QLineEdit::textChanged, this, &MonitorPage::FilterChanged);
    connect(m_function, &QComboBox::currentIndexChanged, this, &MonitorPage::FilterChanged);
    connect(m_errors, &QCheckBox::toggled, this, &MonitorPage::FilterChanged);
    connect(f.replies, &Replies::monitorReceive, this, &MonitorPage::Receive);
    connect(&f, &Form1::requestSent, this, &MonitorPage::Sent);
    connect(f.safetabs1, &SafeTabs::TabSwitch, this, &MonitorPage::tabSwitched);
    // In its own window the frames and the counters take the room the window gives.
    m_detached =
        new DetachedPage(f, *f.safetabs1, Page, *Control<QWidget>(form, "Frame19"), f.iniPath(),
                         settings::MonitorWindowKey,
                         {{m_table, true, true, false}, {m_statsView, true, false, true}}, this);
    m_detach->setToolTip(app::Caption(QT_TRANSLATE_NOOP("Form1", "在新窗口中打开")));
    connect(m_detach, &QzButton::Click, m_detached, &DetachedPage::open);
    connect(m_detached, &DetachedPage::openChanged, this, &MonitorPage::tabSwitched);
    // Every 50 ms: a frame given up after silence, the unanswered requests; the table every
    // 100 ms.
    m_tick.setInterval(50);
    connect(&m_tick, &QTimer::timeout, this, &MonitorPage::tick);
    showStats();
}

MonitorPage::~MonitorPage() = default;

void MonitorPage::newCapture()
{
    const qint32 rate = f.MSComm1.lineSettings().baudRate;
    m_capture = std::make_unique<monitor::Capture>(rate > 0 ? rate : 9600);
    m_capture->setSink([this](const monitor::CapturedFrame &frame) {
        if (m_recorder)
            m_recorder->write(frame);
        m_pending.push_back(frame);
    });
}

void MonitorPage::tabSwitched()
{
    // While its page is shown, or its own window is open, the monitor takes what arrives.
    const bool shown = f.showsPageOf(m_table) || m_detached->isOpen();
    f.replies->setMonitorListening(shown);
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit shownChanged(shown);
}

bool MonitorPage::listeningDetached() const
{
    return m_capturing && m_detached && m_detached->isOpen();
}

void MonitorPage::Receive(const QByteArray &bytes)
{
    if (!m_capturing)
        return; // not listening: what arrives is dropped, as on a page that ignores it
    // Frames are told apart at the port's rate and format (an 8E1 character is 11 bits long).
    const serial::LineSettings line = f.MSComm1.lineSettings();
    if (line.baudRate > 0 && line.baudRate != m_capture->baudRate())
        m_capture->setBaudRate(line.baudRate);
    m_capture->setFormat({8, line.parity != 'N', line.stopBits});
    m_capture->received(bytes, m_clock.nowUs());
}

void MonitorPage::Sent(const QByteArray &frame)
{
    if (m_capturing && m_shown)
        m_capture->sent(frame, m_clock.nowUs());
}

void MonitorPage::StartStop_Click()
{
    m_capturing = !m_capturing;
    if (m_capturing) {
        f.MSComm1.discardInput();
        m_tick.start();
    } else {
        m_capture->finish();
        flush();
        showStats();
        m_tick.stop();
    }
    m_start->setCaption(m_capturing ? app::Caption(QT_TRANSLATE_NOOP("Form1", "停止"))
                                    : app::Caption(QT_TRANSLATE_NOOP("Form1", "开始")));
}

void MonitorPage::Clear_Click()
{
    m_model.clear();
    m_pending.clear();
    m_capture->clearStats();
    showStats();
}

void MonitorPage::Save_Click()
{
    const QString path = m_chooser(app::Caption(QT_TRANSLATE_NOOP("Form1", "保存")));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(file.errorString()));
        return;
    }
    const auto writer = monitor::MakeWriter(monitor::FormatOfFile(path), file);
    for (int row = 0; row < m_model.rowCount(); ++row)
        writer->write(m_model.frame(row));
    if (!writer->ok() || !file.flush())
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(file.errorString()));
}

void MonitorPage::Record_Click()
{
    if (m_recorder) {
        m_recorder.reset();
        m_recordFile.close();
        m_record->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "录制到文件")));
        return;
    }
    const QString path = m_chooser(app::Caption(QT_TRANSLATE_NOOP("Form1", "录制到文件")));
    if (path.isEmpty())
        return;
    m_recordFile.setFileName(path);
    if (!m_recordFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        f.messages().inform(app::Message::Icon::Error,
                            QCoreApplication::translate("Messages", "无法写入文件：%1")
                                .arg(m_recordFile.errorString()));
        return;
    }
    m_recorder = monitor::MakeWriter(monitor::FormatOfFile(path), m_recordFile);
    m_record->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "停止录制")));
}

void MonitorPage::FilterChanged()
{
    bool ok = false;
    const int address = m_address->text().trimmed().toInt(&ok);
    const int function =
        m_function->currentIndex() > 0 ? m_function->currentText().left(2).toInt(nullptr, 16) : -1;
    m_filter.set(ok ? address : -1, function, m_errors->isChecked());
    const bool filtered = ok || function >= 0 || m_errors->isChecked();
    QAbstractItemModel *shown = filtered ? static_cast<QAbstractItemModel *>(&m_filter) : &m_model;
    if (m_table->model() != shown)
        m_table->setModel(shown);
}

void MonitorPage::tick()
{
    m_capture->idle(m_clock.nowUs());
    // The table grows ten times a second, the counters' percentiles (a sort) twice: enough for
    // the eye, and every drawing of the page costs far more than the splitting.
    ++m_ticks;
    if (m_ticks % 2 == 0)
        flush();
    if (m_ticks % 10 == 0)
        showStats();
}

void MonitorPage::flush()
{
    if (m_recorder && !m_recorder->ok()) {
        m_recorder.reset();
        m_recordFile.close();
        m_record->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "录制到文件")));
        f.messages().inform(app::Message::Icon::Error,
                            QT_TRANSLATE_NOOP("Messages", "录制已停止：文件无法写入"));
    }
    if (!m_pending.empty()) {
        const bool atEnd =
            m_table->verticalScrollBar() == nullptr ||
            m_table->verticalScrollBar()->value() == m_table->verticalScrollBar()->maximum();
        m_model.append(std::exchange(m_pending, {}));
        if (atEnd)
            m_table->scrollToBottom();
    }
    m_count->setText(
        app::Caption(QT_TRANSLATE_NOOP("Form1", "帧数：%1")).arg(m_capture->frameCount()));
}

void MonitorPage::showStats()
{
    const QList<QStringList> rows = monitor::StatsRows(*m_capture);
    if (m_stats->columnCount() != int(monitor::StatsTitles().size())) {
        m_stats->setColumnCount(int(monitor::StatsTitles().size()));
        m_stats->setHorizontalHeaderLabels(monitor::StatsTitles());
    }
    m_stats->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            QStandardItem *item = m_stats->item(r, c);
            if (!item)
                m_stats->setItem(r, c, new QStandardItem(rows[r][c]));
            else if (item->text() != rows[r][c])
                item->setText(rows[r][c]);
        }
    m_count->setText(
        app::Caption(QT_TRANSLATE_NOOP("Form1", "帧数：%1")).arg(m_capture->frameCount()));
}
