#pragma once

#include <QDialog>

class Form1;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QzButton;

// The line beside its rate ("线路设置"): the character format (8N1, the modules' own, or 8E1,
// 8O1, 8N2 for a bus shared with meters and drives), the pause between requests and the answer
// wait, and whether the driver of the chosen port switches the transceiver's direction (the
// Linux RS-485 mode). What it shows comes from the system settings; "确定" stores and applies it.
class LineSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LineSettingsDialog(Form1 &form);

    // Stores and applies what the dialog shows; false (the dialog stays) when a box holds no
    // usable number or the settings cannot be stored.
    bool apply();

    // Opens the dialog over the window (deleted when closed).
    static LineSettingsDialog *Open(Form1 &form);

private:
    Form1 &f;
    QString m_port;
    QComboBox *m_format;
    QLineEdit *m_pause, *m_wait;
    QCheckBox *m_rs485;
    QLabel *m_notice;
    QzButton *m_ok, *m_cancel;
};
