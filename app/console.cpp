// The serial console page.

#include "app/mainwindow.h"

#include <QCursor>
#include <QMenu>

void Form1::qzbutton7_Click()
{
    // The example frames, at the pointer.
    mmu->popup(QCursor::pos());
}
