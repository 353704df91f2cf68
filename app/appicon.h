#pragma once

#include <QIcon>
#include <QRectF>

class QPainter;

namespace app {

// The program's icon, drawn in code so it is sharp at any size: two channel switches.
void PaintAppIcon(QPainter &painter, const QRectF &area);

// A scalable icon (drawn at whatever size is asked) that also offers the classic 32 x 32 picture.
QIcon AppIcon();

} // namespace app
