#include "app/lamp.h"

#include <QPainter>

namespace app {

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void Lamp::setFillColor(const QColor &colour)
{
    if (colour == m_fill)
        return;
    m_fill = colour;
    update();
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A circle on the smaller side of the box, centred in it.
    const qreal side = qMin(width(), height()) - 1.0;
    QRectF area(0, 0, side, side);
    area.moveCenter(QRectF(rect()).center());
    painter.setPen(QPen(QColor(0, 0, 0), 1.0));
    painter.setBrush(m_fill);
    painter.drawEllipse(area);
}

} // namespace app
