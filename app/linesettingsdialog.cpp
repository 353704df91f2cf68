#include "app/linesettingsdialog.h"

#include "app/mainwindow.h"
#include "app/settingspage.h"
#include "controls/qzbutton.h"
#include "settings/configkeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const QStringList Formats = {QStringLiteral("8N1"), QStringLiteral("8E1"), QStringLiteral("8O1"),
                             QStringLiteral("8N2")};

QzButton *Button(const QString &caption, QWidget *parent)
{
    auto *button = new QzButton(parent);
    button->setButtonStyle(4);
    button->setBackColor(QColor(240, 240, 240));
    button->setCaption(caption);
    button->setMinimumSize(90, 28);
    return button;
}

QLineEdit *MsBox(int ms, const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(QString::number(ms), parent);
    box->setObjectName(name);
    box->setValidator(new QIntValidator(0, SettingsPage::LongestMs, box));
    return box;
}

} // namespace

LineSettingsDialog::LineSettingsDialog(Form1 &form)
    : QDialog(&form), f(form),
      m_port(form.MSComm1.isOpen() ? form.MSComm1.portName() : form.Combo2->currentText())
{
    setObjectName(QStringLiteral("lineSettings"));
    // The window's font and light palette, whatever the desktop's.
    setFont(form.font());
    setPalette(form.palette());
    setWindowTitle(tr("线路设置"));
    setModal(true);

    const SettingsPage::LineChoice choice = f.settingsPage->lineChoice();
    m_format = new QComboBox(this);
    m_format->setObjectName(QStringLiteral("lineFormat"));
    m_format->addItems(Formats);
    m_format->setCurrentIndex(std::max(0, int(Formats.indexOf(bus::FormatName(choice.format)))));
    m_pause = MsBox(choice.pauseMs, QStringLiteral("linePause"), this);
    m_wait = MsBox(choice.answerWaitMs, QStringLiteral("lineWait"), this);
    m_rs485 = new QCheckBox(tr("驱动切换 RS-485 收发方向（%1）").arg(m_port), this);
    m_rs485->setObjectName(QStringLiteral("lineRs485"));
    m_rs485->setChecked(f.settingsPage->Rs485Set(m_port));
    // Only a device port has a driver to ask; an adapter that switches by itself needs nothing.
    m_rs485->setEnabled(!m_port.isEmpty() && !m_port.contains(u"://") && m_port != u"DEMO");
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("lineNotice"));
    m_notice->setWordWrap(true);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("数据格式"), this), 0, 0);
    grid->addWidget(m_format, 0, 1);
    grid->addWidget(new QLabel(tr("模块只用 8N1；与使用其他格式的设备共用总线时才改"), this), 0, 2);
    grid->addWidget(new QLabel(tr("请求间隔（毫秒）"), this), 1, 0);
    grid->addWidget(m_pause, 1, 1);
    grid->addWidget(new QLabel(tr("每次应答之后、下一个请求之前"), this), 1, 2);
    grid->addWidget(new QLabel(tr("应答等待（毫秒）"), this), 2, 0);
    grid->addWidget(m_wait, 2, 1);
    grid->addWidget(new QLabel(tr("0：按波特率自动计算"), this), 2, 2);
    grid->addWidget(m_rs485, 3, 0, 1, 3);

    m_ok = Button(tr("确定"), this);
    m_ok->setObjectName(QStringLiteral("lineOk"));
    m_cancel = Button(tr("取消"), this);
    m_cancel->setObjectName(QStringLiteral("lineCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_notice);
    layout->addLayout(buttons);

    connect(m_ok, &QzButton::Click, this, [this] {
        if (apply())
            accept();
    });
    connect(m_cancel, &QzButton::Click, this, &QDialog::reject);
}

bool LineSettingsDialog::apply()
{
    SettingsPage::LineChoice choice;
    choice.format = bus::WithFormat({}, m_format->currentText()).value_or(bus::LineSettings{});
    const QString pause = m_pause->text().trimmed(), wait = m_wait->text().trimmed();
    int pos = 0;
    QString p = pause, w = wait;
    if (pause.isEmpty() || wait.isEmpty() ||
        m_pause->validator()->validate(p, pos) != QValidator::Acceptable ||
        m_wait->validator()->validate(w, pos) != QValidator::Acceptable) {
        m_notice->setText(
            tr("请求间隔和应答等待应为 0 到 %1 之间的整数").arg(SettingsPage::LongestMs));
        return false;
    }
    choice.pauseMs = settings::StoredMs(pause, SettingsPage::LongestMs);
    choice.answerWaitMs = settings::StoredMs(wait, SettingsPage::LongestMs);
    if (!f.settingsPage->setLineChoice(choice))
        return false;
    if (!m_rs485->isEnabled())
        return true;
    const bool on = m_rs485->isChecked();
    if (on != f.settingsPage->Rs485Set(m_port) && !f.settingsPage->setRs485(m_port, on))
        return false;
    // The open port takes it at once; a driver's refusal is said and changes nothing else.
    if (f.MSComm1.isOpen() && f.MSComm1.portName() == m_port) {
        if (const std::optional<QString> refusal = f.MSComm1.setRs485({on, 0, 0}); refusal && on) {
            // Not kept: the next open would only be refused again.
            f.settingsPage->setRs485(m_port, false);
            m_rs485->setChecked(false);
            m_notice->setText(tr("无法启用 RS-485 方向控制：%1").arg(*refusal));
            return false;
        }
    }
    return true;
}

LineSettingsDialog *LineSettingsDialog::Open(Form1 &form)
{
    auto *dialog = new LineSettingsDialog(form);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}
