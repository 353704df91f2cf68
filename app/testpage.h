#pragma once

#include "moduletest/results.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class Form1;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QzButton;

namespace bus {
class Master;
}
namespace moduletest {
class Runner;
}

// The module test page "模块测试": runs the chosen steps on one module, a list of modules or the
// modules a scan finds, over the window's port. While a test runs it holds the port: what
// arrives goes to the test, and the window's other senders are refused (wire.h). Each channel's
// cell turns green or red as it passes or fails; the log tells what went wrong; the report of
// the last test can be saved.
class TestPage : public QObject
{
    Q_OBJECT
public:
    static constexpr int Page = 8;
    // Where to save the report: a path, or empty when the user gave none (a dialog by default).
    using FileChooser = std::function<QString(const QString &title)>;

    explicit TestPage(Form1 &form);
    ~TestPage() override;

    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    // From the confirmed start until every relay is off again after the last step.
    bool running() const { return m_runner != nullptr || m_waiting; }
    // The window is closing: a test under way is stopped and every relay switched off before
    // the port closes (waits at most timeoutMs for the module's answers).
    void stopBeforeClose(int timeoutMs = 3000);
    // The report of the last test that ended.
    const std::optional<moduletest::Report> &report() const { return m_report; }

signals:
    // A test was confirmed: it holds the master once the line is free (the bus overview stops
    // polling).
    void testStarted();
    // A test ended: the port is the window's again.
    void testFinished();

private:
    void Start_Click();
    void Save_Click();
    void begin();
    void end();
    void showModel();
    void paintCell(int channel, const QColor &colour);
    void log(const QString &line);
    QString failureLine(std::uint8_t address, const moduletest::Failure &failure) const;

    Form1 &f;
    std::array<QCheckBox *, 6> m_steps{};
    QLineEdit *m_cycles, *m_range;
    QComboBox *m_source;
    QzButton *m_start, *m_save;
    QProgressBar *m_progress;
    QLabel *m_left;
    std::array<QLabel *, 8> m_cells{};
    QPlainTextEdit *m_log;
    std::unique_ptr<moduletest::Runner> m_runner;
    std::optional<moduletest::Settings> m_settings;
    std::optional<moduletest::Report> m_report;
    bool m_waiting = false; // confirmed, waiting for a reply being read to end
    FileChooser m_chooser;
};
