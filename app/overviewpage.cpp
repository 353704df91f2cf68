#include "app/overviewpage.h"

#include "app/detachedpage.h"
#include "app/layout.h"
#include "app/mainwindow.h"
#include "app/replies.h"
#include "app/wire.h"
#include "controls/qzbutton.h"
#include "controls/safetabs.h"
#include "link/line.h"
#include "link/master.h"
#include "link/search.h"
#include "protocol/baud.h"
#include "protocol/panel.h"
#include "protocol/requests.h"
#include "serial/linedevice.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QTableView>

namespace {

const char *const NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");
const QColor OnColour(96, 200, 96);
const QColor OffColour(224, 224, 224);
const QColor OfflineText(150, 150, 150);

QString DefaultChooser(const QString &title)
{
    return QFileDialog::getSaveFileName(
        nullptr, title, QString(),
        app::Caption(QT_TRANSLATE_NOOP("Form1", "CSV (*.csv);;所有文件 (*)")));
}

template <typename T> T *Control(Form1 &form, const char *name)
{
    auto *control = qobject_cast<T *>(form.control(QString::fromLatin1(name)));
    Q_ASSERT_X(control, "OverviewPage", name);
    return control;
}

// "A-B" or "A", 1..255.
std::optional<std::pair<int, int>> ReadRange(const QString &text)
{
    const QStringList parts = text.trimmed().split(u'-');
    if (parts.size() > 2)
        return std::nullopt;
    bool ok1 = false, ok2 = false;
    const int from = parts.at(0).trimmed().toInt(&ok1);
    const int to = parts.size() == 2 ? parts.at(1).trimmed().toInt(&ok2) : from;
    if (!ok1 || (parts.size() == 2 && !ok2) || from < 1 || to > 255 || from > to)
        return std::nullopt;
    return std::pair{from, to};
}

// The list's pieces in Config.ini: 255 modules need at most eleven.
constexpr int MaxPieces = 16;

bus::WatchList StoredList(const QString &ini)
{
    QStringList pieces;
    for (int i = 0; i < MaxPieces; ++i) {
        const QString piece = settings::ReadIni(ini, settings::OverviewSection,
                                                settings::OverviewModulesKeyAt(i), {});
        if (piece.isEmpty())
            break;
        pieces << piece;
    }
    return bus::WatchListFromPieces(pieces);
}

// The online lamp: a small round light.
QIcon Lamp(const QColor &colour)
{
    QPixmap picture(10, 10);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(colour.darker(140));
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(0.5, 0.5, 9, 9));
    return QIcon(picture);
}

QString Clock(const QDateTime &when)
{
    return when.isValid() ? when.toString(QStringLiteral("HH:mm:ss")) : QString();
}

} // namespace

// --- the rows ------------------------------------------------------------------------------

OverviewModel::OverviewModel(const bus::Poller &poller, QObject *parent)
    : QAbstractTableModel(parent), m_poller(poller)
{}

int OverviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_modules.size());
}

int OverviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int OverviewModel::rowOf(std::uint8_t address) const
{
    for (int row = 0; row < m_modules.size(); ++row)
        if (m_modules.at(row).address == address)
            return row;
    return -1;
}

QList<bus::OverviewRow> OverviewModel::rows() const
{
    QList<bus::OverviewRow> rows;
    for (const bus::WatchedModule &m : m_modules)
        rows.append({m, m_names.value(m.address), m_poller.module(m.address)});
    return rows;
}

QVariant OverviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bus::WatchedModule &m = m_modules.at(index.row());
    const bus::Poller::Module *s = m_poller.module(m.address);
    const bool online = s && s->online;
    const bool heard = s && (s->online || s->offlineSince.isValid());
    const int column = index.column();
    const int channel = column - FirstChannel + 1;
    const bool isChannel = column >= FirstChannel && column < Online;

    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (column) {
        case Address:
            return m.address;
        case Model:
            return bus::ModelOfChannels(m.channels);
        case Name:
            return m_names.value(m.address);
        case Online:
            if (!heard)
                return QString();
            return online ? app::Caption(QT_TRANSLATE_NOOP("Form1", "在线"))
                          : app::Caption(QT_TRANSLATE_NOOP("Form1", "离线 %1"))
                                .arg(Clock(s->offlineSince));
        case LastAnswer:
            return s ? Clock(s->lastAnswer) : QString();
        case Silences:
            return s ? QString::number(s->silences) : QString();
        case Garbled:
            return s ? QString::number(s->garbled) : QString();
        case AllOff:
            return app::Caption(QT_TRANSLATE_NOOP("Form1", "全关"));
        default:
            break;
        }
        if (isChannel && channel <= m.channels) {
            if (waiting(m.address, channel))
                return QStringLiteral("…");
            if (s && s->bits)
                return (*s->bits >> (channel - 1)) & 1
                           ? app::Caption(QT_TRANSLATE_NOOP("Form1", "开"))
                           : app::Caption(QT_TRANSLATE_NOOP("Form1", "关"));
        }
        return {};
    }
    if (role == Qt::BackgroundRole && isChannel && channel <= m.channels && s && s->bits)
        return (*s->bits >> (channel - 1)) & 1 ? OnColour : OffColour;
    if (role == Qt::DecorationRole && column == Online && heard)
        return Lamp(online ? QColor(0, 200, 0) : OfflineText);
    if (role == Qt::ForegroundRole && heard && !online)
        return OfflineText;
    if (role == Qt::ForegroundRole && isChannel)
        return QColor(Qt::black);
    if (role == Qt::TextAlignmentRole && column != Name)
        return int(Qt::AlignCenter);
    if (role == Qt::ToolTipRole && isChannel && channel <= m.channels)
        return app::Caption(QT_TRANSLATE_NOOP("Form1", "单击切换第 %1 路")).arg(channel);
    return {};
}

QVariant OverviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    if (section >= FirstChannel && section < Online)
        return QString::number(section - FirstChannel + 1);
    static const char *const titles[] = {
        QT_TRANSLATE_NOOP("Form1", "地址"),     QT_TRANSLATE_NOOP("Form1", "型号"),
        QT_TRANSLATE_NOOP("Form1", "名称"),     QT_TRANSLATE_NOOP("Form1", "状态"),
        QT_TRANSLATE_NOOP("Form1", "最后应答"), QT_TRANSLATE_NOOP("Form1", "未应答"),
        QT_TRANSLATE_NOOP("Form1", "错误"),     QT_TRANSLATE_NOOP("Form1", "关闭")};
    const int title = section < FirstChannel ? section : section - Online + 3;
    return title >= 0 && title < 8 ? app::Caption(titles[title]) : QVariant();
}

Qt::ItemFlags OverviewModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.column() == Name)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool OverviewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || index.column() != Name || index.row() >= rowCount())
        return false;
    const std::uint8_t address = m_modules.at(index.row()).address;
    const QString name = bus::StoredName(value.toString());
    if (m_names.value(address) == name)
        return true;
    m_names.insert(address, name);
    emit dataChanged(index, index);
    emit named(address, name);
    return true;
}

void OverviewModel::setModules(const bus::WatchList &modules, const QHash<int, QString> &names)
{
    beginResetModel();
    m_modules = modules;
    m_names = names;
    endResetModel();
}

void OverviewModel::setWaiting(std::uint8_t address, int channel, bool waiting)
{
    const int key = address * 16 + channel;
    if (waiting)
        m_waiting.insert(key);
    else
        m_waiting.remove(key);
    const int row = rowOf(address);
    if (row >= 0)
        emit dataChanged(index(row, FirstChannel + channel - 1),
                         index(row, FirstChannel + channel - 1));
}

bool OverviewModel::waiting(std::uint8_t address, int channel) const
{
    return m_waiting.contains(address * 16 + channel);
}

void OverviewModel::moduleChanged(std::uint8_t address)
{
    const int row = rowOf(address);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void OverviewModel::refreshCounts()
{
    if (!m_modules.isEmpty())
        emit dataChanged(index(0, Online), index(rowCount() - 1, Garbled), {Qt::DisplayRole});
}

// --- the page ------------------------------------------------------------------------------

OverviewPage::OverviewPage(Form1 &form)
    : QObject(&form), f(form), m_scanButton(Control<QzButton>(form, "OverviewScan")),
      m_add(Control<QzButton>(form, "OverviewAdd")),
      m_remove(Control<QzButton>(form, "OverviewRemove")),
      m_allOff(Control<QzButton>(form, "OverviewAllOff")),
      m_export(Control<QzButton>(form, "OverviewExport")),
      m_detach(Control<QzButton>(form, "OverviewDetach")),
      m_range(Control<QLineEdit>(form, "OverviewRange")),
      m_address(Control<QLineEdit>(form, "OverviewAddress")),
      m_interval(Control<QLineEdit>(form, "OverviewInterval")),
      m_misses(Control<QLineEdit>(form, "OverviewMisses")),
      m_modelBox(Control<QComboBox>(form, "OverviewModel")),
      m_state(Control<QLabel>(form, "OverviewState")),
      m_table(Control<QTableView>(form, "OverviewTable")), m_master(form.replies->master()),
      m_chooser(DefaultChooser)
{
    const QString ini = f.iniPath();
    bus::Poller::Options options;
    options.intervalMs =
        qBound(0,
               settings::ReadIni(ini, settings::OverviewSection, settings::OverviewIntervalKey,
                                 QStringLiteral("0"))
                   .toInt(),
               60000);
    options.missesOffline =
        qBound(1,
               settings::ReadIni(ini, settings::OverviewSection, settings::OverviewMissesKey,
                                 QStringLiteral("3"))
                   .toInt(),
               99);
    m_poller = std::make_unique<bus::Poller>(m_master, options);
    m_model = std::make_unique<OverviewModel>(*m_poller);
    m_interval->setText(QString::number(options.intervalMs));
    m_misses->setText(QString::number(options.missesOffline));
    m_modelBox->setCurrentIndex(1);

    m_table->setModel(m_model.get());
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(20);
    m_table->setAlternatingRowColors(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    QHeaderView *header = m_table->horizontalHeader();
    header->setMinimumSectionSize(18);
    const int widths[OverviewModel::ColumnCount] = {34, 44, 62, 22, 22, 22, 22, 22,
                                                    22, 22, 22, 76, 58, 44, 36, 38};
    for (int c = 0; c < OverviewModel::ColumnCount; ++c)
        header->resizeSection(c, widths[c]);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(OverviewModel::Name, QHeaderView::Stretch);

    // The list and the names as stored.
    QHash<int, QString> names;
    const bus::WatchList stored = StoredList(ini);
    for (const bus::WatchedModule &m : stored)
        names.insert(m.address, settings::ReadIni(ini, settings::OverviewNamesSection,
                                                  QString::number(m.address), QString()));
    m_model->setModules(stored, names);
    m_poller->setModules([&] {
        QList<std::pair<std::uint8_t, int>> list;
        for (const bus::WatchedModule &m : stored)
            list.append({m.address, m.channels});
        return list;
    }());

    m_detached = new DetachedPage(
        f, *f.safetabs1, Page, *Control<QWidget>(form, "Frame21"), ini, settings::OverviewWindowKey,
        {{m_table, true, true, false}, {m_state, true, false, false}}, this);
    connect(m_detached, &DetachedPage::openChanged, this, &OverviewPage::updatePolling);

    connect(m_model.get(), &OverviewModel::named, this,
            [this](std::uint8_t address, const QString &name) {
                settings::WriteIni(f.iniPath(), settings::OverviewNamesSection,
                                   QString::number(address), name);
            });
    connect(m_poller.get(), &bus::Poller::changed, m_model.get(), &OverviewModel::moduleChanged);
    connect(m_table, &QTableView::clicked, this, &OverviewPage::cellClicked);
    connect(m_scanButton, &QzButton::Click, this, &OverviewPage::scan);
    connect(m_add, &QzButton::Click, this, &OverviewPage::Add_Click);
    connect(m_remove, &QzButton::Click, this, &OverviewPage::Remove_Click);
    connect(m_export, &QzButton::Click, this, &OverviewPage::Export_Click);
    connect(m_allOff, &QzButton::Click, this, &OverviewPage::allOffEverywhere);
    connect(m_detach, &QzButton::Click, m_detached, &DetachedPage::open);
    connect(m_interval, &QLineEdit::editingFinished, this, &OverviewPage::settingsEdited);
    connect(m_misses, &QLineEdit::editingFinished, this, &OverviewPage::settingsEdited);
    connect(f.safetabs1, &SafeTabs::TabSwitch, this, &OverviewPage::updatePolling);
    connect(&f.MSComm1, &serial::CommPort::opened, this, [this] { setPortOpen(true); });
    connect(&f.MSComm1, &serial::CommPort::failed, this, [this] { setPortOpen(false); });

    // Twice a second while shown: the times and counts, and a port closed meanwhile.
    m_refresh.setInterval(500);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        m_portOpen = f.MSComm1.isOpen();
        updatePolling();
        m_model->refreshCounts();
    });
    m_portOpen = f.MSComm1.isOpen();
    showState();
}

OverviewPage::~OverviewPage()
{
    // Only with the window: the window's regions (its replies among them) are gone already.
    m_poller->stop();
    m_scan.reset();
}

bool OverviewPage::shown() const
{
    return f.showsPageOf(m_table) || (m_detached && m_detached->isOpen());
}

void OverviewPage::setPortOpen(bool open)
{
    m_portOpen = open;
    updatePolling();
}

void OverviewPage::setTestRunning(bool running)
{
    m_testRunning = running;
    if (running && m_scan)
        m_scan->stop();
    updatePolling();
}

void OverviewPage::updatePolling()
{
    const bool wanted =
        shown() && m_portOpen && !m_testRunning && !m_scan && !m_model->modules().isEmpty();
    if (shown())
        m_refresh.start();
    else
        m_refresh.stop();
    // The polls share the window's master: its own requests go before them.
    if (wanted && !m_poller->running())
        m_poller->start();
    else if (!wanted && m_poller->running())
        m_poller->stop();
    if (m_poller->running() != m_wasPolling) {
        m_wasPolling = m_poller->running();
        emit pollingChanged(m_wasPolling);
    }
    showState();
}

void OverviewPage::showState()
{
    QString text;
    if (m_scan)
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "正在扫描地址 %1 …")).arg(m_scan->next());
    else if (m_poller->running())
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "轮询中：%1 个模块"))
                   .arg(m_model->modules().size());
    else if (!m_portOpen)
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "未轮询：串口未打开"));
    else if (m_testRunning)
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "未轮询：模块测试中"));
    else if (m_model->modules().isEmpty())
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "没有模块：请扫描总线或添加地址"));
    else
        text = app::Caption(QT_TRANSLATE_NOOP("Form1", "未轮询"));
    if (m_state->text() != text)
        m_state->setText(text);
}

void OverviewPage::applyModules(const bus::WatchList &modules)
{
    QHash<int, QString> names;
    for (const bus::WatchedModule &m : modules)
        names.insert(m.address, settings::ReadIni(f.iniPath(), settings::OverviewNamesSection,
                                                  QString::number(m.address), QString()));
    QList<std::pair<std::uint8_t, int>> list;
    for (const bus::WatchedModule &m : modules)
        list.append({m.address, m.channels});
    m_poller->setModules(list);
    m_model->setModules(modules, names);
    saveModules();
    updatePolling();
}

void OverviewPage::saveModules()
{
    // In pieces under 模块, 模块2, 模块3 …; the first empty one ends the list.
    const QStringList pieces = bus::WatchListPieces(m_model->modules());
    bool written = true;
    for (int i = 0; i < MaxPieces; ++i) {
        const QString value = pieces.value(i);
        if (value.isEmpty() && i > int(pieces.size()) &&
            settings::ReadIni(f.iniPath(), settings::OverviewSection,
                              settings::OverviewModulesKeyAt(i), {})
                .isEmpty())
            break;
        written = settings::WriteIni(f.iniPath(), settings::OverviewSection,
                                     settings::OverviewModulesKeyAt(i), value) &&
                  written;
    }
    if (!written)
        f.messages().inform(
            app::Message::Icon::Error,
            QCoreApplication::translate("Messages", "无法写入文件：%1").arg(f.iniPath()));
}

void OverviewPage::scan()
{
    if (m_scan) {
        m_scan->stop();
        return;
    }
    if (!f.MSComm1.isOpen()) {
        f.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
        return;
    }
    if (m_testRunning || PortClaimed(f)) {
        f.messages().inform(
            app::Message::Icon::Warning,
            QT_TRANSLATE_NOOP("Messages", "模块测试正在进行，测试结束或停止后才能发送"),
            NoticeTitle);
        return;
    }
    const auto range = ReadRange(m_range->text());
    if (!range) {
        f.messages().inform(app::Message::Icon::Error,
                            QT_TRANSLATE_NOOP("Messages", "地址范围应为 1 到 255 之间，如 1-32"),
                            NoticeTitle);
        return;
    }
    m_poller->stop();
    bus::BusScan::Options options;
    options.from = range->first;
    options.to = range->second;
    m_scan = std::make_unique<bus::BusScan>(m_master, options);
    connect(m_scan.get(), &bus::BusScan::asked, this, &OverviewPage::showState);
    connect(
        m_scan.get(), &bus::BusScan::finished, this,
        [this](bool stopped, bool portFailed) {
            const std::set<int> found = m_scan->found();
            m_scan.reset();
            m_scanButton->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "扫描总线")));
            if (!stopped && !portFailed) {
                const int channels = f.ChannelCount == 4 ? 4 : 8;
                applyModules(bus::AfterScan(m_model->modules(), found, channels));
            } else {
                updatePolling();
            }
            emit scanFinished();
        },
        Qt::QueuedConnection);
    m_scanButton->setCaption(app::Caption(QT_TRANSLATE_NOOP("Form1", "停止扫描")));
    m_scan->start();
    showState();
}

void OverviewPage::switchChannel(std::uint8_t address, int channel)
{
    const int row = m_model->rowOf(address);
    if (row < 0 || channel < 1 || channel > m_model->modules().at(row).channels ||
        m_model->waiting(address, channel))
        return;
    if (!m_poller->running()) {
        // Clicks go through the polling: with nothing polled nothing would follow the module.
        if (!m_portOpen)
            f.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
        return;
    }
    const bus::Poller::Module *s = m_poller->module(address);
    const bool on = !(s && s->bits && ((*s->bits >> (channel - 1)) & 1));
    m_model->setWaiting(address, channel, true);
    m_poller->command(protocol::SwitchRequest(address, std::uint8_t(channel - 1), on).frame,
                      [this, address, channel](const bus::Outcome &) {
                          // The state read that follows shows what the module did.
                          m_model->setWaiting(address, channel, false);
                      });
}

bool OverviewPage::confirmAllOff(const QString &question)
{
    return f.messages().ask(question, NoticeTitle);
}

void OverviewPage::allOff(std::uint8_t address)
{
    if (!m_poller->running() || m_model->rowOf(address) < 0)
        return;
    if (!confirmAllOff(QCoreApplication::translate(
                           "Messages", "地址 %1 的每一路继电器都会断开。请确认所接负载可以动作。"
                                       "继续吗？")
                           .arg(address)))
        return;
    m_poller->command(protocol::AllOffRequest(address).frame);
}

void OverviewPage::allOffEverywhere()
{
    if (m_model->modules().isEmpty())
        return;
    if (!m_poller->running()) {
        if (!m_portOpen)
            f.messages().inform(app::Message::Icon::Error, protocol::PortClosedMessage);
        return;
    }
    if (!confirmAllOff(QT_TRANSLATE_NOOP("Messages", "总线上每个模块的每一路继电器都会断开。请确认"
                                                     "所接负载可以动作。继续吗？")))
        return;
    for (const bus::WatchedModule &m : m_model->modules())
        m_poller->command(protocol::AllOffRequest(m.address).frame);
}

void OverviewPage::cellClicked(const QModelIndex &index)
{
    if (!index.isValid() || index.row() >= m_model->rowCount())
        return;
    const std::uint8_t address = m_model->modules().at(index.row()).address;
    if (index.column() >= OverviewModel::FirstChannel && index.column() < OverviewModel::Online)
        switchChannel(address, index.column() - OverviewModel::FirstChannel + 1);
    else if (index.column() == OverviewModel::AllOff)
        allOff(address);
    else
        m_address->setText(QString::number(address));
}

void OverviewPage::Add_Click()
{
    bool ok = false;
    const int address = m_address->text().trimmed().toInt(&ok);
    if (!ok || address < 1 || address > 255) {
        f.messages().inform(app::Message::Icon::Error,
                            QT_TRANSLATE_NOOP("Messages", "地址应为 1 到 255"), NoticeTitle);
        return;
    }
    const int channels = bus::ChannelsOfModel(m_modelBox->currentText());
    applyModules(
        bus::WithModule(m_model->modules(), {std::uint8_t(address), channels ? channels : 8}));
}

void OverviewPage::Remove_Click()
{
    int address = -1;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    if (!selected.isEmpty() && selected.first().row() < m_model->rowCount())
        address = m_model->modules().at(selected.first().row()).address;
    else
        address = m_address->text().trimmed().toInt();
    if (m_model->rowOf(std::uint8_t(qBound(0, address, 255))) < 0 || address < 1)
        return;
    applyModules(bus::WithoutModule(m_model->modules(), std::uint8_t(address)));
}

void OverviewPage::settingsEdited()
{
    bool ok1 = false, ok2 = false;
    const int interval = m_interval->text().trimmed().toInt(&ok1);
    const int misses = m_misses->text().trimmed().toInt(&ok2);
    if (ok1 && interval >= 0 && interval <= 60000) {
        m_poller->setIntervalMs(interval);
        settings::WriteIni(f.iniPath(), settings::OverviewSection, settings::OverviewIntervalKey,
                           QString::number(interval));
    }
    if (ok2 && misses >= 1 && misses <= 99) {
        m_poller->setMissesOffline(misses);
        settings::WriteIni(f.iniPath(), settings::OverviewSection, settings::OverviewMissesKey,
                           QString::number(misses));
    }
    // What was not a value in range shows the value in force again.
    m_interval->setText(QString::number(m_poller->options().intervalMs));
    m_misses->setText(QString::number(m_poller->options().missesOffline));
}

bool OverviewPage::exportCsv(const QString &path)
{
    QSaveFile file(path);
    const QByteArray bytes = bus::OverviewCsv(m_model->rows());
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    f.messages().inform(
        app::Message::Icon::Error,
        QCoreApplication::translate("Messages", "无法写入文件：%1").arg(file.errorString()));
    return false;
}

void OverviewPage::Export_Click()
{
    const QString path = m_chooser(app::Caption(QT_TRANSLATE_NOOP("Form1", "导出CSV")));
    if (!path.isEmpty())
        exportCsv(path);
}
