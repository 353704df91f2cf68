#pragma once

#include "link/overview.h"
#include "link/poller.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>
#include <memory>

class DetachedPage;
class Form1;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QzButton;

namespace bus {
class BusScan;
class Line;
class Master;
} // namespace bus

// The rows of the bus overview: the modules listed, their names and what the poller knows of
// each. Shows state, holds none of its own but the clicks waiting for a module's answer.
class OverviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Columns: address, model, name, channels 1..8, online, last answer, silences, garbled,
    // all off.
    enum Column {
        Address,
        Model,
        Name,
        FirstChannel,
        Online = FirstChannel + 8,
        LastAnswer,
        Silences,
        Garbled,
        AllOff,
        ColumnCount
    };

    explicit OverviewModel(const bus::Poller &poller, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    void setModules(const bus::WatchList &modules, const QHash<int, QString> &names);
    const bus::WatchList &modules() const { return m_modules; }
    QString name(std::uint8_t address) const { return m_names.value(address); }
    int rowOf(std::uint8_t address) const;
    QList<bus::OverviewRow> rows() const;

    // A click on channel of address waits for the module's answer (shown as such).
    void setWaiting(std::uint8_t address, int channel, bool waiting);
    bool waiting(std::uint8_t address, int channel) const;

    void moduleChanged(std::uint8_t address);
    // The time and count columns of every row.
    void refreshCounts();

signals:
    // The user gave a module a name.
    void named(std::uint8_t address, const QString &name);

private:
    const bus::Poller &m_poller;
    bus::WatchList m_modules;
    QHash<int, QString> m_names;
    QSet<int> m_waiting; // address * 16 + channel
};

// The bus overview page "总线总览": every listed module's channels, online lamp, last answer
// and missed polls at a glance, read in turn through the master while the page (or its own
// window) is shown and the port is open; a click on a channel switches it and the cell follows
// the module's answer. Stops polling when left, when the port closes and while a module test
// runs.
class OverviewPage : public QObject
{
    Q_OBJECT
public:
    static constexpr int Page = 9;
    using FileChooser = std::function<QString(const QString &title)>;

    // Polls through the window's one master: the window's own requests go before the polls.
    explicit OverviewPage(Form1 &form);
    ~OverviewPage() override;

    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }

    // What the window tells the page.
    void setPortOpen(bool open);
    void setTestRunning(bool running);

    // The page is on view in the main window or in its own.
    bool shown() const;
    bool polling() const { return m_poller->running(); }
    bool scanning() const { return m_scan != nullptr; }
    bus::Poller &poller() { return *m_poller; }
    OverviewModel &model() { return *m_model; }
    DetachedPage &detached() { return *m_detached; }

    // The user's actions, as the page's controls do them.
    void scan();
    void switchChannel(std::uint8_t address, int channel);
    void allOff(std::uint8_t address);
    void allOffEverywhere();
    bool exportCsv(const QString &path);

signals:
    void pollingChanged(bool polling);
    void scanFinished();

private:
    void updatePolling();
    void applyModules(const bus::WatchList &modules);
    void saveModules();
    void showState();
    void cellClicked(const QModelIndex &index);
    void Add_Click();
    void Remove_Click();
    void Export_Click();
    void settingsEdited();
    bool confirmAllOff(const QString &question);

    Form1 &f;
    QzButton *m_scanButton, *m_add, *m_remove, *m_allOff, *m_export, *m_detach;
    QLineEdit *m_range, *m_address, *m_interval, *m_misses;
    QComboBox *m_modelBox;
    QLabel *m_state;
    QTableView *m_table;
    bus::Master &m_master; // the window's
    std::unique_ptr<bus::Poller> m_poller;
    std::unique_ptr<OverviewModel> m_model;
    std::unique_ptr<bus::BusScan> m_scan;
    DetachedPage *m_detached = nullptr;
    QTimer m_refresh; // while shown: the counts and times, and whether the port is still open
    bool m_portOpen = false;
    bool m_testRunning = false;
    bool m_wasPolling = false;
    FileChooser m_chooser;
};
