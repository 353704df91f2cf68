#pragma once

// Reading the relay panel of a window under test.

#include "app/mainwindow.h"
#include "app/replies.h"
#include "controls/safeswitch.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QString>
#include <QTest>

namespace panelprobe {

// The switch positions 0..7 as a text of 0 and 1, switch 0 first.
inline QString Switches(const Form1 &form)
{
    QString s;
    for (auto *sw : form.SafeSwitch)
        s += sw->value() ? '1' : '0';
    return s;
}

// Waits until every request the window queued has been written.
inline bool AwaitWritten(Form1 &form, int timeout = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (form.replies->master().unwritten() > 0 && clock.elapsed() < timeout)
        QTest::qWait(5);
    return form.replies->master().unwritten() == 0;
}

// Waits for the next reply to have been read and interpreted.
inline bool AwaitReply(Form1 &form, int timeout = 3000)
{
    QSignalSpy read(form.replies, &Replies::replyRead);
    return read.wait(timeout);
}

} // namespace panelprobe
