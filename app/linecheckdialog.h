#pragma once

#include "linecheck/verdicts.h"

#include <QDialog>
#include <QList>

#include <memory>

class Form1;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QzButton;

namespace linecheck {
class LineCheck;
}

// The line check in the window ("线路诊断"): the port, rate, module address and number of reads
// chosen (from the window's own choices at first), then the findings in order, each with its
// level, the figure behind it and what to do, and the summary to read out. The check opens the
// port itself; while the window holds that port open it asks for it to be closed first.
class LineCheckDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LineCheckDialog(Form1 &form);
    ~LineCheckDialog() override;

    // Starts the check with the choices shown (nothing when the window's port is open).
    void start();
    bool running() const;
    const QList<linecheck::Finding> &findings() const { return m_findings; }

    // Opens the dialog over the window (deleted when closed).
    static LineCheckDialog *Open(Form1 &form);

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    void finished();
    void showNotice();
    void showFindings();

    Form1 &m_form;
    QComboBox *m_port = nullptr;
    QComboBox *m_baud = nullptr;
    QLineEdit *m_address = nullptr;
    QLineEdit *m_reads = nullptr;
    QzButton *m_start = nullptr;
    QzButton *m_copy = nullptr;
    QzButton *m_close = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_summary = nullptr;
    QTableWidget *m_table = nullptr;
    std::unique_ptr<linecheck::LineCheck> m_check;
    QList<linecheck::Finding> m_findings;
};
