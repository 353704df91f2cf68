#pragma once

#include "monitor/capture.h"
#include "monitor/clock.h"
#include "monitor/writers.h"

#include <QAbstractTableModel>
#include <QFile>
#include <QObject>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class DetachedPage;
class Form1;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTableView;
class QzButton;

// The frames of a capture as table rows: the newest MaxRows, older ones dropped from view.
class FrameTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr std::size_t MaxRows = 100'000;

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void append(std::vector<monitor::CapturedFrame> frames);
    void clear();
    const monitor::CapturedFrame &frame(int row) const { return m_frames[std::size_t(row)]; }

private:
    std::deque<monitor::CapturedFrame> m_frames;
};

// The filters: one address, one function, errors only.
class FrameFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void set(int address, int function, bool errorsOnly);

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override;

private:
    int m_address = -1;
    int m_function = -1;
    bool m_errorsOnly = false;
};

// The bus monitor page "总线监听": while it is shown, what arrives on the port belongs to the
// monitor, and the requests the window sends meanwhile are shown as sent by this program.
class MonitorPage : public QObject
{
    Q_OBJECT
public:
    static constexpr int Page = 7;
    // Where to save or record: a path, or empty when the user gave none (a dialog by default).
    using FileChooser = std::function<QString(const QString &title)>;

    explicit MonitorPage(Form1 &form);
    ~MonitorPage() override;

    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    bool capturing() const { return m_capturing; }
    const monitor::Capture &capture() const { return *m_capture; }
    FrameTableModel &frames() { return m_model; }
    // The page in a window of its own ("在新窗口中打开").
    DetachedPage &detached() { return *m_detached; }
    // Listening in its own window: what arrives is the monitor's whatever page the main window
    // shows.
    bool listeningDetached() const;
    // On view: its tab is the active one or its own window is open.
    bool shown() const { return m_shown; }

    // Bytes for the monitor are waiting in the port.
    void Receive(const QByteArray &bytes);
    // The window sent a request.
    void Sent(const QByteArray &frame);

signals:
    // The page came into view or left it (the demo line plays a master meanwhile).
    void shownChanged(bool shown);

private:
    void StartStop_Click();
    void Clear_Click();
    void Save_Click();
    void Record_Click();
    void FilterChanged();
    void tick();
    void flush();
    void tabSwitched();
    void newCapture();
    void showStats();

    Form1 &f;
    QzButton *m_start, *m_clear, *m_save, *m_record, *m_detach;
    QLineEdit *m_address;
    QComboBox *m_function;
    QCheckBox *m_errors;
    QTableView *m_table, *m_statsView;
    QLabel *m_count;
    FrameTableModel m_model;
    FrameFilter m_filter;
    QStandardItemModel *m_stats;
    monitor::Clock m_clock;
    std::unique_ptr<monitor::Capture> m_capture;
    std::vector<monitor::CapturedFrame> m_pending;
    bool m_capturing = false;
    bool m_shown = false;
    QTimer m_tick;
    int m_ticks = 0;
    QFile m_recordFile;
    std::unique_ptr<monitor::FrameWriter> m_recorder;
    FileChooser m_chooser;
    DetachedPage *m_detached = nullptr;
};
