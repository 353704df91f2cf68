#include "controls/qzbutton.h"

#include "controls/qzbuttonface.h"

#include <QApplication>
#include <QBitmap>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace {

const QColor GreyText(109, 109, 109);

QColor systemFace()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

QColor systemText()
{
    return QApplication::palette().color(QPalette::Active, QPalette::ButtonText);
}

// Caption without the access-key marks, as it appears on the face.
QString plainCaption(const QString &caption)
{
    QString out;
    out.reserve(caption.size());
    for (int i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&')
                ++i;
            else
                continue;
        }
        out.append(caption[i]);
    }
    return out;
}

} // namespace

QzButton::QzButton(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(15, 15);
    setButtonStyle(0);
}

QzButton::QzButton(const QString &caption, QWidget *parent) : QzButton(parent)
{
    setCaption(caption);
}

QzButton::StyleDefaults QzButton::styleDefaults(int style)
{
    const QColor face = systemFace();
    const QColor text = systemText();
    const int corner = qzCornerOf(style);
    switch (style) {
    case 2:
        return {QColor(236, 235, 231), text, false, corner};
    case 3:
        return {face, text, false, corner};
    case 4:
        return {shade(QColor(212, 212, 212), 0.06), text, false, corner};
    case 5:
        return {QColor(0, 109, 170), Qt::white, true, corner};
    case 6:
        return {QColor(213, 214, 225), text, true, corner};
    case 7:
        return {QColor(173, 209, 255), text, false, corner};
    case 8:
    case 9:
    case 11:
    case 12:
        return {face, text, false, corner};
    case 10:
        return {QColor(173, 209, 255), text, false, corner};
    case 13:
        return {QColor(202, 225, 252), text, false, corner};
    case 14:
        return {QColor(208, 208, 208), text, false, corner};
    case 15:
        return {QColor(167, 203, 230), text, true, corner};
    case 0:
    case 1:
    default:
        return {face, text, true, corner};
    }
}

QColor QzButton::shade(const QColor &colour, double f)
{
    const int step = qRound(qAbs(f) * 255);
    const int d = f < 0 ? -step : step;
    return QColor(qBound(0, colour.red() + d, 255), qBound(0, colour.green() + d, 255),
                  qBound(0, colour.blue() + d, 255), colour.alpha());
}

QChar QzButton::accessKeyOf(const QString &caption)
{
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] == u'&') {
            ++i; // a literal "&"
            continue;
        }
        return caption[i + 1].toLower();
    }
    return {};
}

void QzButton::setButtonStyle(int style)
{
    m_style = qBound(0, style, 15);
    const StyleDefaults d = styleDefaults(m_style);
    m_back = d.back;
    m_fore = d.fore;
    m_showFocusRect = d.focusRect;
    update();
}

QString QzButton::Caption() const
{
    return m_captionSet ? m_caption : objectName();
}

void QzButton::setCaption(const QString &caption)
{
    m_caption = caption;
    m_captionSet = true;
    m_accessKey = accessKeyOf(caption);
    updateShortcut();
    updateGeometry();
    update();
}

void QzButton::updateShortcut()
{
    if (m_shortcutId != 0) {
        releaseShortcut(m_shortcutId);
        m_shortcutId = 0;
    }
    if (!m_accessKey.isNull())
        m_shortcutId = grabShortcut(QKeySequence::mnemonic(QStringLiteral("&") + m_accessKey));
}

void QzButton::setCaptionAlign(int align)
{
    m_captionAlign = qBound(0, align, 2);
    update();
}

void QzButton::setBackColor(const QColor &colour)
{
    m_back = colour;
    update();
}

void QzButton::setForeColor(const QColor &colour)
{
    m_fore = colour;
    update();
}

void QzButton::setCheckBoxMode(bool on)
{
    m_checkBoxMode = on;
    if (!on)
        m_look = Normal;
    update();
}

void QzButton::setValue(bool value)
{
    m_value = value;
    if (!m_checkBoxMode)
        m_look = Normal;
    update();
}

void QzButton::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    updateGeometry();
    update();
}

void QzButton::setPictureHover(const QPixmap &picture)
{
    m_pictureHover = picture;
    update();
}

void QzButton::setPictureAlign(int align)
{
    m_pictureAlign = qBound(0, align, 8);
    update();
}

void QzButton::setPictureSize(int size)
{
    m_pictureSize = qBound(0, size, 3);
    updateGeometry();
    update();
}

void QzButton::setUseMaskColor(bool on)
{
    m_useMaskColor = on;
    update();
}

void QzButton::setMaskColor(const QColor &colour)
{
    m_maskColor = colour;
    update();
}

void QzButton::setShowFocusRect(bool on)
{
    m_showFocusRect = on;
    update();
}

void QzButton::setHandPointer(bool on)
{
    m_handPointer = on;
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void QzButton::setDefault(bool on)
{
    m_default = on;
    update();
}

QSize QzButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const QString text = plainCaption(Caption());
    int w = fm.horizontalAdvance(text) + 16;
    int h = fm.height() + 10;
    const QPixmap pic = m_picture;
    if (!pic.isNull()) {
        static const int sizes[] = {0, 16, 24, 32};
        const QSize ps = m_pictureSize == 0 ? pic.deviceIndependentSize().toSize()
                                            : QSize(sizes[m_pictureSize], sizes[m_pictureSize]);
        if (m_pictureAlign >= 5) {
            w = qMax(w, ps.width() + 8);
            h += ps.height() + 4;
        } else {
            w += ps.width() + 4;
            h = qMax(h, ps.height() + 8);
        }
    }
    return {qMax(w, 15), qMax(h, 23)};
}

void QzButton::setLook(int look)
{
    if (look == m_look)
        return;
    m_look = look;
    update();
}

int QzButton::shownLook() const
{
    if (!isEnabled())
        return Normal;
    if (m_checkBoxMode && m_value && m_style != 0 && m_style != 3 && m_style != 9)
        return Pressed;
    return m_look;
}

// ---- mouse ---------------------------------------------------------------------------------

void QzButton::pointerEntered()
{
    if (m_inside)
        return;
    m_inside = true;
    if (!m_spaceDown)
        m_look = m_mouseDown ? Pressed : Hot;
    update();
    emit MouseEnter();
}

void QzButton::pointerLeft()
{
    if (!m_inside)
        return;
    m_inside = false;
    if (!m_spaceDown) {
        m_look = Normal;
        update();
    }
    emit MouseLeave();
}

void QzButton::enterEvent(QEnterEvent *)
{
    if (isEnabled())
        pointerEntered();
}

void QzButton::leaveEvent(QEvent *)
{
    // While the left button is held the pointer is grabbed; moves report leaving then.
    if (!m_mouseDown)
        pointerLeft();
}

void QzButton::hideEvent(QHideEvent *event)
{
    // A hidden button gets no release: drop the press, so that the leave that follows (or
    // the next enter) is handled as usual. Raises nothing: this also runs while the window
    // is being destroyed.
    m_mouseDown = false;
    m_spaceDown = false;
    if (m_look == Pressed)
        m_look = m_inside ? Hot : Normal;
    QWidget::hideEvent(event);
}

void QzButton::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (rect().contains(pos)) {
        pointerEntered();
        if (!m_spaceDown)
            setLook(m_mouseDown ? Pressed : Hot);
    } else {
        pointerLeft();
    }
    emit MouseMove(event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void QzButton::leftButtonDown()
{
    m_mouseDown = true;
    if (m_inside)
        m_look = Pressed;
    update();
}

bool QzButton::hitButton(QPointF pos) const
{
    // Rounded styles leave their corners to the window behind.
    const int corner = qzCornerOf(m_style);
    if (corner == 0)
        return rect().contains(pos.toPoint());
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), corner / 2.0, corner / 2.0);
    return shape.contains(pos);
}

void QzButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (!hitButton(event->position())) {
        event->ignore();
        return;
    }
    pointerEntered();
    leftButtonDown();
    const QPoint pos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void QzButton::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_mouseDown) {
        m_mouseDown = false;
        const bool over = pos.x() > 0 && pos.x() < width() && pos.y() > 0 && pos.y() < height();
        if (over) {
            if (m_checkBoxMode)
                m_value = !m_value;
            m_look = Hot;
            update();
            emit Click();
        } else {
            m_look = Normal;
            update();
            if (!rect().contains(pos))
                pointerLeft();
        }
    }
    emit MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void QzButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_look = Pressed;
    leftButtonDown();
    const QPoint pos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
    emit DblClick();
}

// ---- keyboard ------------------------------------------------------------------------------

void QzButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit Click();
        break;
    case Qt::Key_Space:
        if ((mods & ~Qt::KeypadModifier) == Qt::AltModifier && !m_mouseDown)
            return; // nothing at all, not even KeyDown
        if (!m_mouseDown && !event->isAutoRepeat()) {
            m_spaceDown = true;
            if (m_checkBoxMode)
                m_value = !m_value;
            else
                m_look = Pressed;
            update();
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusPreviousChild();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        focusNextChild();
        break;
    default:
        event->ignore(); // not ours: the window may still use it
        break;
    }
    emit KeyDown(key, mods);
    const QString text = event->text();
    if (!text.isEmpty() && text[0].isPrint())
        emit KeyPress(text[0].unicode());
}

void QzButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat()) {
        event->ignore();
        return;
    }
    if (m_spaceDown) {
        if (!m_inside) {
            m_look = Normal;
            update();
            emit Click();
        } else if (!m_mouseDown) {
            m_look = Hot;
            update();
            emit Click();
        }
    }
    emit KeyUp(event->key(), event->modifiers());
    m_mouseDown = false;
    m_spaceDown = false;
}

// ---- focus, activation, access key ---------------------------------------------------------

void QzButton::focusInEvent(QFocusEvent *event)
{
    if (m_inside)
        m_look = Hot;
    else if (!m_mouseDown)
        m_look = Normal;
    update();
    QWidget::focusInEvent(event);
}

void QzButton::focusOutEvent(QFocusEvent *event)
{
    m_mouseDown = false;
    m_spaceDown = false;
    m_look = isActiveWindow() && m_inside ? Hot : Normal;
    update();
    QWidget::focusOutEvent(event);
}

void QzButton::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActivationChange:
        if (!isActiveWindow()) {
            m_mouseDown = false;
            m_spaceDown = false;
        }
        m_look = Normal;
        update();
        break;
    case QEvent::EnabledChange:
        m_look = Normal;
        m_mouseDown = false;
        m_spaceDown = false;
        if (!isEnabled())
            m_inside = false;
        update();
        break;
    case QEvent::FontChange:
        updateGeometry();
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

bool QzButton::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        auto *se = static_cast<QShortcutEvent *>(event);
        if (se->shortcutId() == m_shortcutId && m_shortcutId != 0) {
            if (!isEnabled())
                return true;
            m_spaceDown = false;
            if (m_checkBoxMode) {
                m_value = !m_value;
                update();
            }
            // The click follows once pending events have been handled.
            QMetaObject::invokeMethod(this, &QzButton::Click, Qt::QueuedConnection);
            return true;
        }
    }
    return QWidget::event(event);
}

// ---- drawing -------------------------------------------------------------------------------

QPixmap QzButton::shownPicture() const
{
    const bool hoverLook = m_look != Normal || m_value;
    QPixmap pic = hoverLook && !m_pictureHover.isNull() ? m_pictureHover : m_picture;
    if (pic.isNull())
        return pic;
    if (m_useMaskColor)
        pic.setMask(pic.createMaskFromColor(m_maskColor, Qt::MaskInColor));
    if (!isEnabled()) {
        QStyleOption opt;
        opt.initFrom(this);
        pic = style()->generatedIconPixmap(QIcon::Disabled, pic, &opt);
    }
    return pic;
}

QzButton::ContentLayout QzButton::contentLayout() const
{
    const int w = width(), h = height();
    const QFontMetrics fm(font());
    const QString caption = Caption();
    const QString plain = plainCaption(caption);
    const int tw = fm.horizontalAdvance(plain);
    const int th = fm.height();
    const QPixmap pic = shownPicture();
    QSize ps;
    if (!pic.isNull()) {
        static const int sizes[] = {0, 16, 24, 32};
        ps = m_pictureSize == 0 ? pic.deviceIndependentSize().toSize()
                                : QSize(sizes[m_pictureSize], sizes[m_pictureSize]);
        if (ps.width() > w)
            ps = QSize(qMax(1, w - 8), qMax(1, ps.height() * (w - 8) / qMax(1, ps.width())));
    }
    int offset = 0;
    if (shownLook() == Pressed && isEnabled()) {
        if (m_style == 0 || m_style == 1 || m_style == 3 || m_style == 8)
            offset = 1;
        else if (m_style == 5)
            offset = 2;
    }

    QRect picRect;
    QRect textRect(4, 0, w - 8, h);
    if (!ps.isEmpty()) {
        const int gap = plain.isEmpty() ? 0 : 4;
        int px = 0, py = 0;
        switch (m_pictureAlign) {
        case 0:
            px = 4;
            py = (h - ps.height()) / 2;
            textRect = QRect(px + ps.width() + gap, 0, w - px - ps.width() - gap - 4, h);
            break;
        case 2:
            px = w - 4 - ps.width();
            py = (h - ps.height()) / 2;
            textRect = QRect(4, 0, px - gap - 4, h);
            break;
        case 3: {
            const int group = tw + gap + ps.width();
            const int gx = qMax(4, (w - group) / 2);
            px = qMin(w - 4 - ps.width(), gx + tw + gap);
            py = (h - ps.height()) / 2;
            textRect = QRect(gx, 0, tw, h);
            break;
        }
        case 4:
            px = (w - ps.width()) / 2;
            py = (h - ps.height()) / 2;
            break;
        case 5:
            px = (w - ps.width()) / 2;
            py = 4;
            textRect = QRect(4, py + ps.height(), w - 8, h - py - ps.height());
            break;
        case 6: {
            const int group = ps.height() + gap + th;
            const int gy = qMax(4, (h - group) / 2);
            px = (w - ps.width()) / 2;
            py = gy;
            textRect = QRect(4, gy + ps.height() + gap, w - 8, th);
            break;
        }
        case 7:
            px = (w - ps.width()) / 2;
            py = h - 4 - ps.height();
            textRect = QRect(4, 0, w - 8, py);
            break;
        case 8: {
            const int group = ps.height() + gap + th;
            const int gy = qMax(4, (h - group) / 2);
            px = (w - ps.width()) / 2;
            py = gy + th + gap;
            textRect = QRect(4, gy, w - 8, th);
            break;
        }
        case 1:
        default: {
            const int group = ps.width() + gap + tw;
            px = qMax(4, (w - group) / 2);
            py = (h - ps.height()) / 2;
            textRect = QRect(px + ps.width() + gap, 0, qMax(tw, w - px - ps.width() - gap - 4), h);
            if (m_captionAlign == 1)
                textRect.setWidth(tw);
            break;
        }
        }
        picRect = QRect(qMax(1, px), qMax(1, py), ps.width(), ps.height());
    }
    picRect.translate(offset, offset);
    textRect.translate(offset, offset);

    ContentLayout out;
    out.picture = picRect;
    out.pixmap = pic;
    int align = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    if (m_pictureAlign == 3 && !ps.isEmpty())
        align |= Qt::AlignLeft;
    else if (m_captionAlign == 0)
        align |= Qt::AlignLeft;
    else if (m_captionAlign == 2)
        align |= Qt::AlignRight;
    else
        align |= Qt::AlignHCenter;
    out.captionBox = textRect;
    out.align = align;
    out.caption = plain.isEmpty() ? QRect()
                                  : QStyle::alignedRect(Qt::LeftToRight, Qt::Alignment(align),
                                                        QSize(tw, th), textRect);
    return out;
}

QRect QzButton::pictureRect() const
{
    return contentLayout().picture;
}

QRect QzButton::captionRect() const
{
    return contentLayout().caption;
}

void QzButton::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    const int look = shownLook();
    QzFace face;
    face.style = m_style;
    face.look = look;
    face.enabled = isEnabled();
    face.marked = (hasFocus() || m_default) && (m_style == 0 || m_style == 11 || m_style == 4);
    face.checked = m_checkBoxMode && m_value;
    face.checkedOut = m_style == 13 && face.checked && !m_inside;
    face.back = m_back;

    // The face depends only on these; keep it per device-pixel ratio.
    const QString key = QStringLiteral("qzface:%1:%2:%3:%4:%5:%6:%7:%8x%9@%10")
                            .arg(m_style)
                            .arg(look)
                            .arg(face.enabled)
                            .arg(face.marked)
                            .arg(face.checked)
                            .arg(face.checkedOut)
                            .arg(m_back.rgba())
                            .arg(width())
                            .arg(height())
                            .arg(qRound(dpr * 100));
    QPixmap facePixmap;
    if (!QPixmapCache::find(key, &facePixmap)) {
        facePixmap = QPixmap((QSizeF(size()) * dpr).toSize());
        facePixmap.setDevicePixelRatio(dpr);
        facePixmap.fill(Qt::transparent);
        QPainter fp(&facePixmap);
        drawQzFace(fp, QRectF(rect()), face);
        fp.end();
        QPixmapCache::insert(key, facePixmap);
    }

    QPainter p(this);
    p.drawPixmap(0, 0, facePixmap);

    const ContentLayout layout = contentLayout();
    const QString caption = Caption();
    if (!layout.picture.isEmpty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(layout.picture, layout.pixmap);
    }
    if (!caption.isEmpty()) {
        p.setFont(font());
        p.setPen(isEnabled() ? m_fore : GreyText);
        p.drawText(layout.captionBox, layout.align, caption);
    }

    if (m_showFocusRect && (hasFocus() || m_default) && isActiveWindow()) {
        const int inset = (m_style == 0 || m_style == 11) ? 4 : 3;
        QPen pen(QColor(0, 0, 0), 1, Qt::DotLine);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(inset + 0.5, inset + 0.5, -inset - 0.5, -inset - 0.5));
    }
}
