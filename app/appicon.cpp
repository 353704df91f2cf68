#include "app/appicon.h"

#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {

void PaintAppIcon(QPainter &painter, const QRectF &area)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(area.topLeft());
    painter.scale(area.width() / 32.0, area.height() / 32.0);

    // The module's body.
    QLinearGradient body(0, 1, 0, 31);
    body.setColorAt(0, QColor(40, 170, 160));
    body.setColorAt(1, QColor(10, 110, 120));
    painter.setPen(QPen(QColor(8, 80, 90), 1.0));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);

    // Terminal strip along the top.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(242, 250, 249));
    for (int i = 0; i < 4; ++i)
        painter.drawRoundedRect(QRectF(5 + 6 * i, 4.5, 4, 4), 1, 1);

    // A switch lever: two contacts and the blade between them.
    painter.setPen(QPen(QColor(255, 255, 255), 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(6, 21), QPointF(11, 21));
    painter.drawLine(QPointF(11, 21), QPointF(20, 14.5));
    painter.drawLine(QPointF(21, 21), QPointF(26, 21));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255));
    painter.drawEllipse(QPointF(11, 21), 1.8, 1.8);
    painter.drawEllipse(QPointF(21, 21), 1.8, 1.8);

    // The lit channel lamp.
    painter.setBrush(QColor(255, 168, 58));
    painter.setPen(QPen(QColor(150, 70, 0), 0.8));
    painter.drawEllipse(QPointF(24, 26.5), 2.4, 2.4);
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
