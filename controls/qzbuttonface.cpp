#include "controls/qzbuttonface.h"

#include "controls/qzbutton.h"

#include <QPainterPath>

namespace {

QColor sh(const QColor &c, double f)
{
    return QzButton::shade(c, f);
}

QLinearGradient vertical(const QRectF &r, const QColor &from, const QColor &to)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    return g;
}

QLinearGradient horizontal(const QRectF &r, const QColor &from, const QColor &to)
{
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    return g;
}

// Two vertical gradients, one per half.
void twoHalves(QPainter &p, const QRectF &r, const QColor &a, const QColor &b, const QColor &c,
               const QColor &d)
{
    const qreal mid = r.top() + qRound(r.height() / 2);
    const QRectF upper(r.left(), r.top(), r.width(), mid - r.top());
    const QRectF lower(r.left(), mid, r.width(), r.bottom() - mid);
    p.fillRect(upper, vertical(upper, a, b));
    p.fillRect(lower, vertical(lower, c, d));
}

void frame(QPainter &p, const QRectF &r, const QColor &c, qreal radius = 0)
{
    p.setPen(QPen(c, 1));
    p.setBrush(Qt::NoBrush);
    const QRectF f = r.adjusted(0.5, 0.5, -0.5, -0.5);
    if (radius > 0)
        p.drawRoundedRect(f, radius, radius);
    else
        p.drawRect(f);
}

// A one-pixel edge: top and left in tl, bottom and right in br.
void thinEdge(QPainter &p, const QRectF &r, const QColor &tl, const QColor &br)
{
    const qreal l = r.left() + 0.5, t = r.top() + 0.5, rr = r.right() - 0.5, b = r.bottom() - 0.5;
    p.setPen(QPen(tl, 1));
    p.drawLine(QPointF(l, b), QPointF(l, t));
    p.drawLine(QPointF(l, t), QPointF(rr, t));
    p.setPen(QPen(br, 1));
    p.drawLine(QPointF(rr, t), QPointF(rr, b));
    p.drawLine(QPointF(rr, b), QPointF(l, b));
}

// A raised (or sunken) edge of two lines each side.
void edge3d(QPainter &p, const QRectF &r, bool sunken, const QColor &back)
{
    const QColor light = sunken ? QColor(105, 105, 105) : QColor(255, 255, 255);
    const QColor lightInner = sunken ? QColor(160, 160, 160) : sh(back, 0.06);
    const QColor dark = sunken ? QColor(255, 255, 255) : QColor(105, 105, 105);
    const QColor darkInner = sunken ? sh(back, 0.06) : QColor(160, 160, 160);
    thinEdge(p, r, light, dark);
    thinEdge(p, r.adjusted(1, 1, -1, -1), lightInner, darkInner);
}

void classic(QPainter &p, QRectF r, const QzFace &f, bool sunkenWhenPressed)
{
    p.fillRect(r, f.back);
    if (f.marked) {
        frame(p, r, Qt::black);
        r.adjust(1, 1, -1, -1);
    }
    if (f.look == QzButton::Pressed) {
        if (sunkenWhenPressed) {
            edge3d(p, r, true, f.back);
        } else {
            frame(p, r, Qt::black);
            frame(p, r.adjusted(1, 1, -1, -1), QColor(172, 168, 153));
        }
    } else {
        edge3d(p, r, false, f.back);
    }
}

void flat(QPainter &p, const QRectF &r, const QzFace &f)
{
    p.fillRect(r, f.look == QzButton::Hot ? sh(f.back, 0.03) : f.back);
    if (f.look == QzButton::Hot)
        thinEdge(p, r, Qt::white, QColor(128, 128, 128));
    else if (f.look == QzButton::Pressed)
        thinEdge(p, r, QColor(128, 128, 128), Qt::white);
}

void style4(QPainter &p, const QRectF &r, const QzFace &f, qreal radius)
{
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    QColor outer, innerLine;
    if (!f.enabled) {
        twoHalves(p, inner, sh(f.back, 0.03), f.back, sh(f.back, -0.03), sh(f.back, -0.03));
        outer = sh(f.back, -0.25);
        innerLine = sh(f.back, 0.03);
    } else if (f.look == QzButton::Hot) {
        twoHalves(p, inner, QColor(228, 247, 255), QColor(193, 233, 255), QColor(172, 225, 253),
                  QColor(143, 214, 250));
        outer = QColor(60, 127, 177);
        innerLine = QColor(250, 253, 255);
    } else if (f.look == QzButton::Pressed) {
        p.fillRect(inner, vertical(inner, QColor(194, 228, 246), QColor(154, 210, 240)));
        outer = QColor(29, 65, 92);
        innerLine = QColor(0, 0, 0, 0);
        const QRectF il = inner.adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient g = vertical(il, QColor(113, 156, 179), QColor(185, 217, 236));
        p.setPen(QPen(QBrush(g), 1));
        p.drawLine(il.topLeft(), il.topRight());
        p.drawLine(il.topLeft(), il.bottomLeft());
        p.drawLine(il.topRight(), il.bottomRight());
    } else {
        twoHalves(p, inner, sh(f.back, 0.05), f.back, sh(f.back, -0.02), sh(f.back, -0.15));
        outer = f.marked ? QColor(50, 117, 167) : sh(f.back, -0.35);
        innerLine = f.marked ? QColor(72, 216, 251) : QColor(255, 255, 255);
    }
    if (innerLine.alpha() > 0)
        frame(p, inner, innerLine);
    frame(p, r, outer, radius);
}

void style13(QPainter &p, const QRectF &r, const QzFace &f)
{
    const QColor navy(0, 0, 128);
    if (f.checkedOut) {
        p.fillRect(r, vertical(r, QColor(255, 213, 140), QColor(255, 173, 85)));
        frame(p, r, navy);
    } else if (f.look == QzButton::Pressed) {
        p.fillRect(r, vertical(r, QColor(254, 145, 78), QColor(255, 211, 142)));
        frame(p, r, navy);
    } else if (f.look == QzButton::Hot) {
        p.fillRect(r, vertical(r, QColor(255, 244, 204), QColor(255, 208, 145)));
        frame(p, r, navy);
    } else {
        twoHalves(p, r, sh(f.back, 0.05), f.back, sh(f.back, -0.01), sh(f.back, -0.13));
    }
}

void style14(QPainter &p, const QRectF &r, const QzFace &f, qreal radius)
{
    const QRectF body = r.adjusted(0.5, 0.5, -0.5, -0.5);
    QColor top = sh(f.back, 0.12), bottom = sh(f.back, -0.12);
    if (f.look == QzButton::Hot) {
        top = sh(f.back, 0.2);
        bottom = sh(f.back, -0.05);
    } else if (f.look == QzButton::Pressed) {
        top = sh(f.back, -0.15);
        bottom = sh(f.back, 0.02);
    }
    QPainterPath pill;
    pill.addRoundedRect(body, radius, radius);
    p.fillPath(pill, vertical(body, top, bottom));
    // Gloss on the upper half, a soft shadow line at the bottom.
    const QRectF glossRect(body.left() + 2, body.top() + 1, body.width() - 4, body.height() / 2);
    QPainterPath gloss;
    const qreal gr = qMin(radius, glossRect.height() / 2);
    gloss.addRoundedRect(glossRect, gr, gr);
    QColor hi(255, 255, 255, f.look == QzButton::Pressed ? 40 : 130);
    QColor hiEnd(255, 255, 255, 10);
    p.fillPath(gloss, vertical(glossRect, hi, hiEnd));
    p.setPen(QPen(sh(f.back, -0.3), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pill);
}

} // namespace

int qzCornerOf(int style)
{
    switch (style) {
    case 2:
    case 4:
    case 6:
    case 8:
        return 3;
    case 3:
    case 10:
        return 4;
    case 14:
        return 18;
    default:
        return 0;
    }
}

void drawQzFace(QPainter &p, const QRectF &rect, const QzFace &f)
{
    const int corner = qzCornerOf(f.style);
    const qreal radius = corner / 2.0;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, corner > 0);
    if (corner > 0) {
        QPainterPath shape;
        shape.addRoundedRect(rect, radius, radius);
        p.setClipPath(shape);
    }
    const QColor &b = f.back;
    const int look = f.enabled ? f.look : QzButton::Normal;
    switch (f.style) {
    case 0:
        classic(p, rect, f, false);
        break;
    case 11:
        classic(p, rect, f, true);
        break;
    case 1:
    case 12:
        flat(p, rect, f);
        break;
    case 2: {
        // Shading built from horizontal lines in shades of the back colour.
        const int n = int(rect.height());
        for (int y = 0; y < n; ++y) {
            const double t = n > 1 ? double(y) / (n - 1) : 0;
            double f0 = look == QzButton::Pressed ? -0.06 + 0.1 * t : 0.1 - 0.16 * t;
            if (look == QzButton::Hot)
                f0 += 0.04;
            p.setPen(sh(b, f0));
            p.drawLine(QPointF(rect.left(), rect.top() + y + 0.5),
                       QPointF(rect.right(), rect.top() + y + 0.5));
        }
        frame(p, rect, sh(b, look == QzButton::Hot ? -0.4 : -0.3), radius);
        break;
    }
    case 3:
        if (look == QzButton::Pressed)
            twoHalves(p, rect, sh(b, -0.1), sh(b, -0.04), sh(b, -0.02), sh(b, 0.04));
        else if (look == QzButton::Hot)
            twoHalves(p, rect, sh(b, 0.14), sh(b, 0.05), sh(b, 0.02), sh(b, -0.06));
        else
            twoHalves(p, rect, sh(b, 0.1), sh(b, 0.02), sh(b, -0.02), sh(b, -0.1));
        frame(p, rect, sh(b, -0.3), radius);
        break;
    case 4:
        style4(p, rect, f, radius);
        break;
    case 5: {
        const QColor face = look == QzButton::Hot       ? sh(b, 0.06)
                            : look == QzButton::Pressed ? sh(b, -0.06)
                                                        : b;
        p.fillRect(rect, face);
        if (look == QzButton::Pressed)
            thinEdge(p, rect.adjusted(1, 1, -1, -1), sh(b, -0.2), sh(b, 0.1));
        else
            thinEdge(p, rect.adjusted(1, 1, -1, -1), sh(b, 0.18), sh(b, -0.12));
        frame(p, rect, sh(b, -0.25));
        break;
    }
    case 6:
    case 10: {
        QColor from = sh(b, 0.12), to = sh(b, -0.06);
        if (look == QzButton::Hot) {
            from = sh(b, 0.18);
            to = sh(b, -0.02);
        } else if (look == QzButton::Pressed) {
            from = sh(b, -0.08);
            to = sh(b, 0.06);
        }
        p.fillRect(rect, vertical(rect, from, to));
        frame(p, rect, sh(b, -0.3), radius);
        break;
    }
    case 7:
        if (look == QzButton::Normal) {
            p.fillRect(rect, vertical(rect, sh(b, 0.08), b));
            frame(p, rect, sh(b, -0.25));
        } else {
            const bool pressed = look == QzButton::Pressed;
            p.fillRect(rect, vertical(rect, pressed ? QColor(255, 144, 70) : QColor(255, 211, 95),
                                      pressed ? QColor(255, 211, 95) : QColor(255, 144, 70)));
            frame(p, rect, QColor(200, 110, 40));
        }
        break;
    case 8:
        if (look == QzButton::Hot)
            p.fillRect(rect, vertical(rect, QColor(241, 249, 253), QColor(208, 235, 248)));
        else if (look == QzButton::Pressed)
            p.fillRect(rect, vertical(rect, QColor(208, 235, 248), QColor(172, 214, 236)));
        else
            p.fillRect(rect, vertical(rect, QColor(241, 249, 253), sh(b, -0.02)));
        frame(p, rect, look == QzButton::Normal ? sh(b, -0.3) : QColor(60, 127, 177), radius);
        break;
    case 9:
        if (look == QzButton::Pressed)
            twoHalves(p, rect, sh(b, -0.08), sh(b, -0.04), sh(b, -0.04), sh(b, 0.02));
        else
            twoHalves(p, rect, sh(b, 0.1), sh(b, 0.03), sh(b, 0.0), sh(b, -0.06));
        if (look != QzButton::Normal) {
            p.fillRect(QRectF(rect.left() + 1, rect.bottom() - 3, rect.width() - 2, 2),
                       look == QzButton::Hot ? QColor(125, 165, 225) : QColor(49, 106, 197));
        }
        frame(p, rect, look == QzButton::Normal ? sh(b, -0.3) : QColor(49, 106, 197));
        break;
    case 13:
        style13(p, rect, f);
        break;
    case 14:
        style14(p, rect, f, radius);
        break;
    case 15:
    default:
        if (look == QzButton::Pressed || f.checked)
            p.fillRect(rect, horizontal(rect, sh(b, -0.05), sh(b, 0.03)));
        else
            p.fillRect(rect, horizontal(rect, b, sh(b, 0.08)));
        frame(p, rect, QColor(126, 128, 125));
        break;
    }
    if (f.checked && (f.style == 0 || f.style == 3 || f.style == 9)) {
        // These styles keep their mouse look when on; an inner accent shows the state.
        const QRectF accent = rect.adjusted(3, 3, -3, -3);
        p.setPen(QPen(QColor(49, 106, 197, 170), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(accent.adjusted(0.5, 0.5, -0.5, -0.5), 1.5, 1.5);
    }
    p.restore();
}
