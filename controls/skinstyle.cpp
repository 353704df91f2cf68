#include "controls/skinstyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTimer>

namespace {

const QColor BorderNormal(160, 166, 174);
const QColor BorderHot(72, 146, 220);
const QColor BorderDisabled(200, 202, 205);
const QColor Accent(52, 124, 204);

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    t = qBound<qreal>(0, t, 1);
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QPainterPath rounded(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

} // namespace

SkinStyle::SkinStyle(QStyle *base)
    : QProxyStyle(base ? base : QStyleFactory::create(QStringLiteral("Fusion")))
{
    m_timer = new QTimer(this);
    m_timer->setInterval(FadeInterval);
    connect(m_timer, &QTimer::timeout, this, &SkinStyle::step);
}

SkinStyle::~SkinStyle() = default;

void SkinStyle::apply(QWidget *window)
{
    window->setStyle(this);
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (w->window() != window)
            continue; // popups and dialogs keep the application's look
        w->setStyle(this);
        // The wheel must not give a list the focus on its way past.
        if (auto *combo = qobject_cast<QComboBox *>(w))
            combo->setFocusPolicy(Qt::StrongFocus);
    }
}

bool SkinStyle::isSkinned(const QWidget *widget)
{
    if (!widget)
        return false;
    if (qobject_cast<const QComboBox *>(widget) || qobject_cast<const QCheckBox *>(widget) ||
        qobject_cast<const QRadioButton *>(widget))
        return true;
    // Plain command buttons only: not tool buttons or flat/menu buttons of other widgets.
    if (auto *b = qobject_cast<const QPushButton *>(widget))
        return !b->isFlat();
    return false;
}

qreal SkinStyle::hoverLevel(const QWidget *widget) const
{
    return m_fades.value(widget).level;
}

bool SkinStyle::isFading() const
{
    return m_timer->isActive();
}

void SkinStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (!isSkinned(widget) || m_fades.contains(widget))
        return;
    widget->setAttribute(Qt::WA_Hover);
    widget->installEventFilter(this);
    m_fades.insert(widget, Fade{});
    connect(widget, &QObject::destroyed, this, [this](QObject *o) { m_fades.remove(o); });
}

void SkinStyle::unpolish(QWidget *widget)
{
    if (m_fades.remove(widget)) {
        widget->removeEventFilter(this);
        disconnect(widget, &QObject::destroyed, this, nullptr);
    }
    QProxyStyle::unpolish(widget);
}

void SkinStyle::setTarget(QWidget *widget, qreal target)
{
    auto it = m_fades.find(widget);
    if (it == m_fades.end() || it->target == target)
        return;
    it->target = target;
    if (!widget->isVisible()) {
        it->level = target; // nothing to animate
        return;
    }
    if (!m_timer->isActive())
        m_timer->start();
}

void SkinStyle::step()
{
    bool running = false;
    const qreal delta = 1.0 / FadeSteps;
    for (auto it = m_fades.begin(); it != m_fades.end(); ++it) {
        if (it->level == it->target)
            continue;
        if (it->level < it->target)
            it->level = qMin(it->target, it->level + delta);
        else
            it->level = qMax(it->target, it->level - delta);
        // The key is a live widget: destroyed widgets leave the table first.
        static_cast<QWidget *>(const_cast<QObject *>(it.key()))->update();
        running = running || it->level != it->target;
    }
    if (!running)
        m_timer->stop();
}

bool SkinStyle::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
        setTarget(static_cast<QWidget *>(watched), 1);
        break;
    case QEvent::HoverLeave:
        setTarget(static_cast<QWidget *>(watched), 0);
        break;
    case QEvent::EnabledChange:
        if (!static_cast<QWidget *>(watched)->isEnabled())
            setTarget(static_cast<QWidget *>(watched), 0);
        break;
    case QEvent::Wheel:
        // A drop-down list turns with the wheel only while it has the keyboard focus; passing
        // over it leaves it as it is, and the wheel goes on to what lies beneath.
        if (auto *combo = qobject_cast<QComboBox *>(watched); combo && !combo->hasFocus()) {
            event->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QProxyStyle::eventFilter(watched, event);
}

int SkinStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                           const QWidget *widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        return 14;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

void SkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                              QPainter *painter, const QWidget *widget) const
{
    const bool skinned = !widget || isSkinned(widget);
    if (!skinned) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const qreal hover = widget ? hoverLevel(widget) : (option->state & State_MouseOver ? 1 : 0);
    switch (element) {
    case PE_IndicatorCheckBox:
    case PE_IndicatorRadioButton: {
        const bool radio = element == PE_IndicatorRadioButton;
        const bool on = option->state & State_On;
        const bool partial = option->state & State_NoChange;
        const bool sunken = option->state & State_Sunken;
        const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = radio ? [&] {
            QPainterPath p;
            p.addEllipse(box);
            return p;
        }()
                                         : rounded(box, 3);
        QColor fill = (on || partial) && enabled ? mix(Accent, Accent.lighter(115), hover)
                                                 : mix(Qt::white, QColor(234, 243, 252), hover);
        if (sunken)
            fill = fill.darker(110);
        if (!enabled)
            fill = (on || partial) ? QColor(190, 194, 200) : QColor(244, 244, 244);
        painter->fillPath(shape, fill);
        const QColor border = !enabled          ? BorderDisabled
                              : (on || partial) ? Accent.darker(115)
                                                : mix(BorderNormal, BorderHot, hover);
        painter->setPen(QPen(border, 1));
        painter->drawPath(shape);
        if (option->state & State_HasFocus && !(on || partial)) {
            painter->setPen(QPen(BorderHot, 1));
            painter->drawPath(shape);
        }
        painter->setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal w = box.width(), h = box.height();
        if (radio && on) {
            painter->setBrush(Qt::white);
            painter->setPen(Qt::NoPen);
            painter->drawEllipse(box.center(), w * 0.2, h * 0.2);
        } else if (partial) {
            painter->drawLine(QPointF(box.left() + w * 0.28, box.center().y()),
                              QPointF(box.right() - w * 0.28, box.center().y()));
        } else if (on) {
            QPainterPath tick;
            tick.moveTo(box.left() + w * 0.24, box.top() + h * 0.52);
            tick.lineTo(box.left() + w * 0.43, box.top() + h * 0.70);
            tick.lineTo(box.left() + w * 0.77, box.top() + h * 0.31);
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(tick);
        }
        painter->restore();
        return;
    }
    case PE_PanelButtonCommand: {
        const bool sunken = option->state & (State_Sunken | State_On);
        const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = rounded(r, 3);
        QColor top = mix(QColor(252, 252, 252), QColor(236, 245, 253), hover);
        QColor bottom = mix(QColor(229, 231, 234), QColor(208, 228, 248), hover);
        if (sunken) {
            top = QColor(200, 222, 244);
            bottom = QColor(220, 234, 248);
        }
        if (!enabled) {
            top = QColor(245, 245, 245);
            bottom = QColor(236, 236, 236);
        }
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, top);
        g.setColorAt(1, bottom);
        painter->fillPath(shape, g);
        QColor border = !enabled ? BorderDisabled : mix(BorderNormal, BorderHot, hover);
        if (sunken || (option->state & State_HasFocus))
            border = BorderHot.darker(110);
        painter->setPen(QPen(border, 1));
        painter->drawPath(shape);
        painter->restore();
        return;
    }
    case PE_FrameFocusRect:
        // The skinned controls show focus through their border.
        if (widget)
            return;
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void SkinStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                            const QWidget *widget) const
{
    if (element == CE_PushButtonBevel && isSkinned(widget)) {
        drawPrimitive(PE_PanelButtonCommand, option, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void SkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                   QPainter *painter, const QWidget *widget) const
{
    if (control != CC_ComboBox || !isSkinned(widget)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const auto *combo = qstyleoption_cast<const QStyleOptionComboBox *>(option);
    if (!combo) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const bool focus = option->state & State_HasFocus;
    const bool open = option->state & State_On;
    const qreal hover = hoverLevel(widget);
    const QRectF r = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = rounded(r, 3);
    QColor face = combo->editable ? QColor(Qt::white)
                                  : mix(QColor(251, 251, 251), QColor(242, 248, 254), hover);
    if (!enabled)
        face = QColor(244, 244, 244);
    painter->fillPath(shape, face);

    // Drop button: a soft tinted area at the right with a chevron.
    const QRect arrowArea = proxy()->subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
    if (arrowArea.isValid()) {
        const QRectF a = QRectF(arrowArea).adjusted(0, 1.5, -1.5, -1.5);
        QPainterPath button;
        button.addRoundedRect(a, 2.5, 2.5);
        QColor btn = mix(QColor(236, 238, 241), QColor(212, 230, 250), open ? 1.0 : hover);
        if (!enabled)
            btn = QColor(238, 238, 238);
        painter->fillPath(button, btn);
        const QPointF c = a.center();
        const qreal s = qMin(a.width(), a.height()) * 0.18 + 1;
        QPainterPath chevron;
        chevron.moveTo(c.x() - s, c.y() - s / 2);
        chevron.lineTo(c.x(), c.y() + s / 2);
        chevron.lineTo(c.x() + s, c.y() - s / 2);
        painter->setPen(QPen(enabled ? QColor(70, 78, 88) : QColor(170, 170, 170), 1.4,
                             Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(chevron);
    }

    QColor border = !enabled ? BorderDisabled : mix(BorderNormal, BorderHot, hover);
    if (focus || open)
        border = BorderHot;
    painter->setPen(QPen(border, 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(shape);
    painter->restore();
}
