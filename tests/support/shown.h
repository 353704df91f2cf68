#pragma once

// Shows a window and waits until the window system has exposed it, so that pointer and key
// events reach it as they reach a window on screen. Use as QVERIFY(support::ShowAndWait(w)).

#include <QTest>
#include <QWidget>

namespace support {

inline bool ShowAndWait(QWidget &window, int timeoutMs = 5000)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window, timeoutMs);
}

inline bool ShowAndWait(QWidget *window, int timeoutMs = 5000)
{
    return window && ShowAndWait(*window, timeoutMs);
}

} // namespace support
