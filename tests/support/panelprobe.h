#pragma once

// Reading the relay panel of a window under test.

#include "app/mainwindow.h"
#include "app/replies.h"
#include "controls/safeswitch.h"

#include <QSignalSpy>
#include <QString>

namespace panelprobe {

// The switch positions 0..7 as a text of 0 and 1, switch 0 first.
inline QString Switches(const Form1 &form)
{
    QString s;
    for (auto *sw : form.SafeSwitch)
        s += sw->value() ? '1' : '0';
    return s;
}

// Waits for the next reply to have been read and interpreted.
inline bool AwaitReply(Form1 &form, int timeout = 3000)
{
    QSignalSpy read(&form.replies->reader(), &ReplyReader::replyRead);
    return read.wait(timeout);
}

} // namespace panelprobe
