#include "controls/safeswitch.h"

#include <QEnterEvent>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// Artwork set used by a skin number: 0, 1, or 2 for every other number.
int artworkOf(int skin)
{
    return skin == 0 || skin == 1 ? skin : 2;
}

struct SwitchColours
{
    QColor trackOn, trackOff, knobBorder, textOn, textOff;
};

SwitchColours coloursOf(int artwork)
{
    switch (artwork) {
    case 1: // blue accents when on, amber when off
        return {QColor(47, 128, 237), QColor(242, 169, 59), QColor(120, 128, 138), Qt::white,
                Qt::white};
    case 2: // light greys with a green track when on
        return {QColor(82, 181, 106), QColor(218, 221, 225), QColor(150, 156, 163), Qt::white,
                QColor(120, 126, 133)};
    default: // light greys with a slate-blue track when on
        return {QColor(96, 150, 190), QColor(222, 225, 229), QColor(150, 156, 163), Qt::white,
                QColor(120, 126, 133)};
    }
}

QColor faded(const QColor &c)
{
    // Disabled look: towards a light grey, with most of the colour gone.
    const int g = qGray(c.rgb());
    const int grey = 200 + g / 8;
    return QColor((c.red() + 2 * grey) / 3, (c.green() + 2 * grey) / 3, (c.blue() + 2 * grey) / 3);
}

void drawPicture(QPainter &p, const QSizeF &size, int artwork, bool on, int state)
{
    // state: 0 normal, 1 hover, 2 pressed, 3 disabled
    const SwitchColours c = coloursOf(artwork);
    const QRectF track(0.5, 0.5, size.width() - 1, size.height() - 1);
    const qreal r = track.height() / 2;

    QColor fill = on ? c.trackOn : c.trackOff;
    if (state == 1)
        fill = fill.lighter(108);
    else if (state == 2)
        fill = fill.darker(108);
    else if (state == 3)
        fill = faded(fill);

    QPainterPath pill;
    pill.addRoundedRect(track, r, r);
    QLinearGradient trackGrad(0, track.top(), 0, track.bottom());
    trackGrad.setColorAt(0, fill.darker(112));
    trackGrad.setColorAt(0.35, fill);
    trackGrad.setColorAt(1, fill.lighter(104));
    p.fillPath(pill, trackGrad);
    QColor border = state == 3 ? faded(c.knobBorder) : fill.darker(135);
    if (state == 1)
        border = border.darker(115);
    p.setPen(QPen(border, 1));
    p.drawPath(pill);

    // Label on the free side of the track.
    const qreal inset = 2;
    const qreal d = track.height() - 2 * inset;
    const qreal stretch = state == 2 ? 5 : 0; // a pressed knob widens towards the middle
    const qreal knobW = d + stretch;
    const qreal knobX = on ? track.right() - inset - knobW : track.left() + inset;
    const QRectF knob(knobX, track.top() + inset, knobW, d);

    QFont f = p.font();
    f.setPixelSize(qMax(8, int(size.height() * 0.42)));
    f.setBold(true);
    p.setFont(f);
    QColor text = on ? c.textOn : c.textOff;
    if (state == 3)
        text = faded(text);
    p.setPen(text);
    const QRectF free = on ? QRectF(track.left() + r * 0.6, track.top(),
                                    knob.left() - track.left() - r * 0.6, track.height())
                           : QRectF(knob.right(), track.top(),
                                    track.right() - r * 0.6 - knob.right(), track.height());
    p.drawText(free, Qt::AlignCenter, on ? QStringLiteral("ON") : QStringLiteral("OFF"));

    // Knob: a soft grey disc with a highlight and a thin border.
    QPainterPath knobPath;
    knobPath.addRoundedRect(knob, d / 2, d / 2);
    QLinearGradient knobGrad(0, knob.top(), 0, knob.bottom());
    QColor top(253, 253, 253), bottom(201, 205, 210);
    if (state == 1) {
        top = Qt::white;
        bottom = QColor(214, 218, 223);
    } else if (state == 2) {
        top = QColor(226, 229, 233);
        bottom = QColor(181, 186, 192);
    } else if (state == 3) {
        top = QColor(240, 240, 240);
        bottom = QColor(222, 222, 222);
    }
    knobGrad.setColorAt(0, top);
    knobGrad.setColorAt(1, bottom);
    p.fillPath(knobPath, knobGrad);
    p.setPen(QPen(state == 3 ? faded(c.knobBorder) : c.knobBorder, 1));
    p.drawPath(knobPath);
}

} // namespace

SafeSwitch::SafeSwitch(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(skinSize(m_skin));
    showLook();
}

QSize SafeSwitch::skinSize(int skin)
{
    return artworkOf(skin) == 1 ? QSize(74, 24) : QSize(78, 23);
}

QImage SafeSwitch::skinStrip(int skin, qreal devicePixelRatio)
{
    static QHash<quint64, QImage> cache;
    const int artwork = artworkOf(skin);
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const quint64 key = (quint64(artwork) << 32) | quint64(qRound(dpr * 100));
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;

    const QSize size = skinSize(artwork);
    QImage strip(qCeil(size.width() * dpr), qCeil(size.height() * 8 * dpr),
                 QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(dpr);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int k = 0; k < 8; ++k) {
        p.save();
        p.translate(0, k * size.height());
        drawPicture(p, size, artwork, k < 4, k % 4);
        p.restore();
    }
    p.end();
    cache.insert(key, strip);
    return strip;
}

void SafeSwitch::setValue(bool value)
{
    m_value = value;
    showLook();
    emit Click(m_value);
}

void SetSwitchQuietly(SafeSwitch *s, bool on)
{
    if (!s)
        return;
    const bool enabled = s->Enable();
    s->setEnable(false);
    s->setValue(on);
    s->setEnable(enabled);
}

void SafeSwitch::setEnable(bool enable)
{
    m_enable = enable;
    // A press outlives a disable that is over by the release (the program setting the switch
    // quietly while the user holds the button): the release still commits it.
    showLook();
    if (enable) {
        trackPointer(m_pointerInside);
        if (m_pressed)
            setFrame(m_value ? OnPressed : OffPressed);
    }
}

void SafeSwitch::setSkin(int skin)
{
    m_skin = skin;
    setFixedSize(skinSize(skin));
    update();
}

void SafeSwitch::showLook()
{
    const int base = m_value ? OnNormal : OffNormal;
    setFrame(base + (!m_enable ? 3 : m_hovering ? 1 : 0));
}

void SafeSwitch::setFrame(int frame)
{
    if (frame == m_frame)
        return;
    m_frame = frame;
    update();
}

bool SafeSwitch::containsPoint(QPointF p) const
{
    // The edges count as inside.
    return p.x() >= 0 && p.y() >= 0 && p.x() <= width() && p.y() <= height();
}

void SafeSwitch::trackPointer(bool inside)
{
    m_pointerInside = inside;
    if (!m_enable)
        return;
    if (inside && !m_hovering) {
        m_hovering = true;
        setFrame(m_value ? OnHover : OffHover);
        emit MouseIn();
    } else if (!inside && m_hovering) {
        m_hovering = false;
        setFrame(m_value ? OnNormal : OffNormal);
        emit MouseOut();
    }
}

void SafeSwitch::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    const QImage strip = skinStrip(m_skin, dpr);
    const QSize size = skinSize(m_skin);
    const QRectF source(0, m_frame * size.height() * dpr, size.width() * dpr, size.height() * dpr);
    QPainter p(this);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), strip, source);
}

void SafeSwitch::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_enable)
        return;
    m_pressed = true;
    m_pending = !m_value;
    trackPointer(true);
    setFrame(m_value ? OnPressed : OffPressed);
}

void SafeSwitch::mouseMoveEvent(QMouseEvent *event)
{
    // While the button is held the pointer is grabbed and no leave arrives; follow it here.
    if (m_pressed)
        trackPointer(containsPoint(event->position()));
}

void SafeSwitch::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    if (!m_enable)
        return;
    trackPointer(containsPoint(event->position()));
    if (m_hovering)
        setValue(m_pending);
}

void SafeSwitch::enterEvent(QEnterEvent *)
{
    trackPointer(true);
}

void SafeSwitch::leaveEvent(QEvent *)
{
    if (!m_pressed)
        trackPointer(false);
}

void SafeSwitch::hideEvent(QHideEvent *)
{
    // A hidden switch gets no release: drop the press, so that the leave that follows (or
    // the next enter) is handled as usual. Raises nothing: this also runs while the window
    // is being destroyed.
    m_pressed = false;
}
