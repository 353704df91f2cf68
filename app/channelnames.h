#pragma once

#include <QObject>

class Form1;

// The names page: the eight channel names and the software name in the boxes TxtTD, saved to
// Config.ini and shown beside every channel (single, jog, delay and combination pages) and in
// the window's title bar.
class ChannelNames : public QObject
{
    Q_OBJECT
public:
    explicit ChannelNames(Form1 &form);

    // "保存设置": the boxes become the names and the title, and are stored.
    void qzbutton5_Click();
    // "恢复默认": the default names are stored and shown; the title bar keeps its text.
    void qzbutton6_Click();

    // Start-up: the stored names into the boxes (a missing key gives the default, an empty
    // value stays empty), then into the title bar and beside the channels.
    void Restore();

private:
    void ReadNames();
    // The title bar shows the software name box.
    void ShowTitle();
    // Every place that names channel i shows the text of box TxtTD(i).
    void ApplyChannelNames();
    void store();

    Form1 &f;
};
