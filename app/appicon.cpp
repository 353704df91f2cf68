#include "app/appicon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace app {

void PaintAppIcon(QPainter &painter, const QRectF &area)
{
    // The same picture as the installed desktop icon (drawn on a 64 x 64 grid): two channel
    // switches, the upper one on, the lower one off.
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.topLeft());
    painter.scale(area.width() / 64.0, area.height() / 64.0);
    painter.setPen(Qt::NoPen);
    const QColor green(0x3b, 0x7a, 0x57);
    painter.setBrush(green);
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 8, 8);
    painter.setBrush(QColor(0xd9, 0xef, 0xe2));
    painter.drawRoundedRect(QRectF(12, 14, 40, 14), 7, 7);
    painter.setBrush(green);
    painter.drawEllipse(QPointF(45, 21), 5, 5);
    painter.setBrush(QColor(0x9b, 0xb8, 0xa7));
    painter.drawRoundedRect(QRectF(12, 36, 40, 14), 7, 7);
    painter.setBrush(QColor(0xff, 0xff, 0xff));
    painter.drawEllipse(QPointF(19, 43), 5, 5);
    painter.restore();
}

namespace {

class AppIconEngine : public QIconEngine
{
public:
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.45);
        PaintAppIcon(*painter, rect);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    }

    QIconEngine *clone() const override { return new AppIconEngine; }
    QString key() const override { return QStringLiteral("quorvane-app-icon"); }
};

} // namespace

QIcon AppIcon()
{
    return QIcon(new AppIconEngine);
}

} // namespace app
