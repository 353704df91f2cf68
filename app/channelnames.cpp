#include "app/channelnames.h"

#include "app/layout.h"
#include "app/mainwindow.h"
#include "controls/qzbutton.h"
#include "settings/configkeys.h"
#include "settings/ini.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace settings;

namespace {

const QString NoticeTitle = QT_TRANSLATE_NOOP("Messages", "提示");

} // namespace

ChannelNames::ChannelNames(Form1 &form) : QObject(&form), f(form)
{
    connect(f.qzbutton5, &QzButton::Click, this, &ChannelNames::qzbutton5_Click);
    connect(f.qzbutton6, &QzButton::Click, this, &ChannelNames::qzbutton6_Click);
}

void ChannelNames::qzbutton5_Click()
{
    if (!f.messages().ask(QT_TRANSLATE_NOOP("Messages", "是否保存新的名称？"), NoticeTitle,
                          app::Message::Icon::None))
        return;
    ShowTitle();
    store();
    ApplyChannelNames();
}

void ChannelNames::qzbutton6_Click()
{
    if (!f.messages().ask(QT_TRANSLATE_NOOP("Messages", "是否将名称恢复成默认值？"), NoticeTitle,
                          app::Message::Icon::None))
        return;
    f.TxtTD[8]->setText(RestoredTitle);
    for (int i = 0; i < 8; ++i)
        f.TxtTD[i]->setText(app::Caption(DefaultChannelName(i)));
    store();
    ApplyChannelNames();
}

void ChannelNames::store()
{
    WriteIni(f.iniPath(), InfoSection, TitleKey, f.TxtTD[8]->text());
    for (int i = 0; i < 8; ++i)
        WriteIni(f.iniPath(), NamesSection, ChannelKey(i), f.TxtTD[i]->text());
}

void ChannelNames::Restore()
{
    ReadNames();
    ShowTitle();
    ApplyChannelNames();
}

void ChannelNames::ReadNames()
{
    for (int i = 0; i < 8; ++i)
        f.TxtTD[i]->setText(
            ReadIni(f.iniPath(), NamesSection, ChannelKey(i), app::Caption(DefaultChannelName(i))));
    f.TxtTD[8]->setText(ReadIni(f.iniPath(), InfoSection, TitleKey, MissingTitle));
}

void ChannelNames::ShowTitle()
{
    f.setWindowTitle(f.TxtTD[8]->text());
}

void ChannelNames::ApplyChannelNames()
{
    for (int i = 0; i < 8; ++i) {
        const QString name = f.TxtTD[i]->text();
        f.LblTD[i]->setText(name);
        // A check box would take "&" for the mark of a shortcut key.
        f.ChkTD[i]->setText(QString(name).replace(u'&', QStringLiteral("&&")));
        f.ddcon[i]->setText(name);
        f.yscon[i]->setText(name);
    }
}
