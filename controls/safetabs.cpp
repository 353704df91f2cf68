#include "controls/safetabs.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <array>

namespace {

struct TabScheme
{
    QColor frame, activeTop, activeBottom, normalTop, normalBottom, hotTop, hotBottom;
};

// Eight colour schemes: blue, grey, violet, green, deep blue, silver, pale (near-white page
// with pale blue labels), teal.
const std::array<TabScheme, 8> &schemes()
{
    static const std::array<TabScheme, 8> s = {{
        {{105, 140, 186},
         {250, 252, 255},
         {236, 244, 252},
         {214, 228, 246},
         {188, 208, 236},
         {236, 243, 252},
         {214, 228, 246}},
        {{140, 140, 140},
         {255, 255, 255},
         {244, 244, 244},
         {226, 226, 226},
         {204, 204, 204},
         {242, 242, 242},
         {224, 224, 224}},
        {{128, 100, 168},
         {252, 250, 255},
         {243, 238, 252},
         {222, 210, 242},
         {198, 180, 230},
         {238, 230, 250},
         {220, 208, 242}},
        {{96, 150, 96},
         {250, 255, 248},
         {240, 250, 236},
         {208, 236, 200},
         {178, 220, 168},
         {232, 246, 228},
         {208, 236, 200}},
        {{40, 90, 160},
         {255, 255, 255},
         {234, 242, 252},
         {150, 188, 236},
         {110, 156, 218},
         {190, 214, 244},
         {150, 188, 236}},
        {{120, 130, 145},
         {252, 253, 255},
         {240, 243, 247},
         {210, 216, 226},
         {186, 194, 208},
         {228, 232, 240},
         {206, 212, 224}},
        {{160, 160, 160},
         {255, 255, 255},
         {252, 254, 248},
         {226, 239, 251},
         {200, 222, 244},
         {240, 240, 240},
         {220, 220, 220}},
        {{60, 140, 130},
         {250, 255, 254},
         {236, 248, 246},
         {196, 232, 226},
         {156, 212, 202},
         {222, 243, 239},
         {194, 231, 225}},
    }};
    return s;
}

constexpr int ArtWidth = 40;
constexpr int ArtHeight = 20;
constexpr int Border = 5;
const QColor DisabledText(172, 168, 153);

// One 40 x 20 label image: rounded top corners, a one-pixel frame; the active label has no
// bottom line so that it merges with the page.
void drawLabelArt(QPainter &p, const TabScheme &s, int kind)
{
    const QColor top = kind == 0 ? s.activeTop : kind == 1 ? s.normalTop : s.hotTop;
    const QColor bottom = kind == 0 ? s.activeBottom : kind == 1 ? s.normalBottom : s.hotBottom;
    const qreal r = 4;
    QPainterPath shape;
    shape.moveTo(0, ArtHeight);
    shape.lineTo(0, r);
    shape.arcTo(QRectF(0, 0, 2 * r, 2 * r), 180, -90);
    shape.lineTo(ArtWidth - r, 0);
    shape.arcTo(QRectF(ArtWidth - 2 * r, 0, 2 * r, 2 * r), 90, -90);
    shape.lineTo(ArtWidth, ArtHeight);
    shape.closeSubpath();
    QLinearGradient g(0, 0, 0, ArtHeight);
    g.setColorAt(0, top);
    g.setColorAt(0.85, bottom);
    g.setColorAt(1, bottom);
    p.fillPath(shape, g);

    QPainterPath outline;
    const qreal h = 0.5;
    outline.moveTo(h, ArtHeight);
    outline.lineTo(h, r);
    outline.arcTo(QRectF(h, h, 2 * r - 1, 2 * r - 1), 180, -90);
    outline.lineTo(ArtWidth - r, h);
    outline.arcTo(QRectF(ArtWidth - 2 * r + h, h, 2 * r - 1, 2 * r - 1), 90, -90);
    outline.lineTo(ArtWidth - h, ArtHeight);
    p.setPen(QPen(s.frame, 1));
    p.drawPath(outline);
    if (kind != 0) {
        p.setPen(QPen(s.frame, 1));
        p.drawLine(QPointF(0, ArtHeight - h), QPointF(ArtWidth, ArtHeight - h));
    } else {
        // The bottom row carries the label colour across, between the two side lines.
        p.setPen(QPen(bottom, 1));
        p.drawLine(QPointF(1, ArtHeight - h), QPointF(ArtWidth - 1, ArtHeight - h));
    }
}

// Nine-slice scaling of one label image: corners unscaled, edges stretched along their
// length, centre both ways. All sizes in device pixels.
QImage nineSlice(const QImage &source, QSize target, int border)
{
    QImage out(target, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const int sw = source.width(), sh = source.height();
    const int tw = target.width(), th = target.height();
    const int b = qMin(border, qMin(tw, th) / 2);
    const int xs[] = {0, b, sw - b, sw};
    const int ys[] = {0, b, sh - b, sh};
    const int xt[] = {0, b, tw - b, tw};
    const int yt[] = {0, b, th - b, th};
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect src(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
            const QRect dst(xt[col], yt[row], xt[col + 1] - xt[col], yt[row + 1] - yt[row]);
            if (src.isEmpty() || dst.isEmpty())
                continue;
            const QImage piece = source.copy(src);
            p.drawImage(dst.topLeft(), piece.size() == dst.size()
                                           ? piece
                                           : piece.scaled(dst.size(), Qt::IgnoreAspectRatio,
                                                          Qt::SmoothTransformation));
        }
    }
    return out;
}

// Replaces the cut-away colour in the four corner squares by the mask colour.
void markCorners(QImage &img, int square)
{
    const int w = img.width(), h = img.height();
    const QPoint origins[] = {{0, 0}, {w - square, 0}, {0, h - square}, {w - square, h - square}};
    for (const QPoint &o : origins) {
        for (int y = qMax(0, o.y()); y < qMin(h, o.y() + square); ++y) {
            auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
            for (int x = qMax(0, o.x()); x < qMin(w, o.x() + square); ++x)
                if (line[x] == SafeTabs::CutColor)
                    line[x] = SafeTabs::MaskColor;
        }
    }
}

// Makes every pixel of the mask colour transparent.
void applyMask(QImage &img)
{
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == SafeTabs::MaskColor)
                line[x] = 0;
    }
}

} // namespace

SafeTabs::SafeTabs(QWidget *parent) : QWidget(parent)
{
    m_captions = {QStringLiteral("新标签1"), QStringLiteral("新标签2"), QStringLiteral("新标签3")};
    m_backColor = palette().color(QPalette::Button);
    setMouseTracking(true);
    setMinimumSize(80, 30);
}

QImage SafeTabs::skinImage(qreal devicePixelRatio)
{
    static QHash<int, QImage> cache;
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int key = qRound(dpr * 100);
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;

    QImage img(qRound(3 * ArtWidth * dpr), qRound(8 * ArtHeight * dpr),
               QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setDevicePixelRatio(dpr);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        for (int k = 0; k < 8; ++k) {
            for (int kind = 0; kind < 3; ++kind) {
                p.save();
                p.translate(kind * ArtWidth, k * ArtHeight);
                p.setClipRect(0, 0, ArtWidth, ArtHeight);
                drawLabelArt(p, schemes()[size_t(k)], kind);
                p.restore();
            }
        }
    }
    // Whatever the art leaves uncovered is cut away.
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(line[x]) == 0)
                line[x] = CutColor;
    }
    cache.insert(key, img);
    return img;
}

QColor SafeTabs::frameColour(int skin)
{
    static const QImage img = skinImage(1.0);
    return img.pixelColor(119, 20 * qBound(0, skin, 7) + 19);
}

QColor SafeTabs::labelColour(int skin)
{
    static const QImage img = skinImage(1.0);
    return img.pixelColor(20, 20 * qBound(0, skin, 7) + 19);
}

void SafeTabs::setTabCount(int count)
{
    count = qBound(1, count, 32767);
    if (count == TabCount())
        return;
    while (m_captions.size() < count)
        m_captions.append(QString());
    while (m_captions.size() > count)
        m_captions.removeLast();
    if (m_hot >= count)
        m_hot = -1;
    if (m_active >= count) {
        const int old = m_active;
        m_active = count - 1;
        switchPages(old, m_active);
        update();
        emit TabSwitch(0);
    }
    update();
}

void SafeTabs::setActiveTab(int tab)
{
    if (tab < 0 || tab >= TabCount())
        tab = 0;
    if (tab == m_active)
        return;
    const int old = m_active;
    m_active = tab;
    switchPages(old, tab);
    update();
    emit TabSwitch(old);
}

void SafeTabs::setCaption(const QString &caption)
{
    setCaption(m_active, caption);
}

void SafeTabs::setCaption(int tab, const QString &caption)
{
    if (tab < 0 || tab >= TabCount())
        return;
    m_captions[tab] = caption;
    update();
}

void SafeTabs::setBackColor(const QColor &colour)
{
    m_backColor = colour;
    refreshSkin();
}

void SafeTabs::setSkinIndex(int index)
{
    m_skinIndex = index;
    refreshSkin();
}

void SafeTabs::setLabelActHeight(int height)
{
    m_labelActHeight = qBound(15, height, 32767);
    refreshSkin();
}

void SafeTabs::setLabelHeight(int height)
{
    m_labelHeight = qBound(15, height, 32767);
    refreshSkin();
}

void SafeTabs::setLabelWidth(int width)
{
    m_labelWidth = qBound(15, width, 32767);
    refreshSkin();
}

void SafeTabs::setLabelBlank(int blank)
{
    if (blank < 0)
        return;
    m_labelBlank = qMin(blank, 32767);
    update();
}

void SafeTabs::setTabsEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled)
        m_hot = -1;
    update();
}

void SafeTabs::refreshSkin()
{
    m_labelsDirty = true;
    update();
}

int SafeTabs::tabAt(QPointF pos) const
{
    const qreal x = pos.x(), y = pos.y();
    if (!(x > 0 && x < stripWidth() && y > 0 && y < headerHeight()))
        return -1;
    const int pitch = m_labelWidth + m_labelBlank;
    const int ix = int(x);
    const int slot = ix / pitch;
    const int offset = ix % pitch;
    if (offset < m_labelBlank)
        return -1;
    return slot < TabCount() ? slot : -1;
}

QRect SafeTabs::labelRect(int tab) const
{
    const int h = tab == m_active ? m_labelActHeight : m_labelHeight;
    const int x = m_labelBlank + tab * (m_labelWidth + m_labelBlank);
    return {x, headerHeight() - h, m_labelWidth, h};
}

QSize SafeTabs::sizeHint() const
{
    return {qMax(80, stripWidth() + m_labelBlank), qMax(30, headerHeight() + 120)};
}

QImage SafeTabs::labelImage(int skin, int kind, QSize size, qreal devicePixelRatio)
{
    const qreal dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int band = qBound(0, skin, 7);
    kind = qBound(0, kind, 2);
    QImage source =
        skinImage(dpr).copy(qRound(kind * ArtWidth * dpr), qRound(band * ArtHeight * dpr),
                            qRound(ArtWidth * dpr), qRound(ArtHeight * dpr));
    source.setDevicePixelRatio(1); // sizes below are device pixels
    QImage built = nineSlice(source, (QSizeF(size) * dpr).toSize(), qRound(Border * dpr));
    markCorners(built, qRound(6 * dpr));
    applyMask(built);
    built.setDevicePixelRatio(dpr);
    return built;
}

const QImage &SafeTabs::labelImages()
{
    const qreal dpr = devicePixelRatioF();
    if (!m_labelsDirty && qFuzzyCompare(m_labels.devicePixelRatio(), dpr))
        return m_labels;
    m_labelsDirty = false;

    // The three label images side by side: active, normal, hot.
    const int w = qRound(m_labelWidth * dpr);
    m_labels = QImage(3 * w, qRound(headerHeight() * dpr), QImage::Format_ARGB32_Premultiplied);
    m_labels.fill(Qt::transparent);
    const int heights[] = {m_labelActHeight, m_labelHeight, m_labelHeight};
    QPainter p(&m_labels);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (int kind = 0; kind < 3; ++kind) {
        QImage built = labelImage(m_skinIndex, kind, QSize(m_labelWidth, heights[kind]), dpr);
        built.setDevicePixelRatio(1);
        p.drawImage(kind * w, 0, built);
    }
    p.end();
    m_labels.setDevicePixelRatio(dpr);
    return m_labels;
}

void SafeTabs::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int header = headerHeight();
    const int band = qBound(0, m_skinIndex, 7);
    const QRect page(0, header - 1, width(), height() - header + 1);
    p.fillRect(page, m_backColor);
    p.setPen(frameColour(band));
    p.drawRect(page.adjusted(0, 0, -1, -1));

    const QImage &labels = labelImages();
    const qreal dpr = labels.devicePixelRatio();
    p.setPen(m_enabled ? QColor(Qt::black) : DisabledText);
    for (int i = 0; i < TabCount(); ++i) {
        const int kind = i == m_active ? 0 : i == m_hot ? 2 : 1;
        const QRect r = labelRect(i);
        const QRectF src(kind * qRound(m_labelWidth * dpr), 0, qRound(m_labelWidth * dpr),
                         qRound(r.height() * dpr));
        p.drawImage(QRectF(r), labels, src);
        const QRect text(r.x() + 5, header - r.height() + 5, m_labelWidth - 10, r.height() - 10);
        p.drawText(text, Qt::AlignCenter | Qt::TextSingleLine | Qt::TextDontClip, m_captions[i]);
    }
}

void SafeTabs::setHot(int tab)
{
    if (tab == m_hot)
        return;
    m_hot = tab;
    update();
}

void SafeTabs::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_enabled)
        return;
    setHot(tabAt(event->position()));
}

void SafeTabs::mousePressEvent(QMouseEvent *event)
{
    if (!m_enabled)
        return;
    setHot(tabAt(event->position()));
    if (m_hot == -1 || m_hot == m_active)
        return;
    const int old = m_active;
    m_active = m_hot;
    switchPages(old, m_active);
    update();
    emit TabSwitch(old);
}

void SafeTabs::leaveEvent(QEvent *)
{
    setHot(-1);
}

void SafeTabs::resizeEvent(QResizeEvent *)
{
    refreshSkin();
}

void SafeTabs::setPageOf(QWidget *child, int page)
{
    if (!child || child->parentWidget() != this)
        return;
    auto it = m_children.find(child);
    if (it == m_children.end())
        return;
    it->page = page;
    placeChild(child, *it);
}

int SafeTabs::pageOf(const QWidget *child) const
{
    auto it = m_children.constFind(const_cast<QWidget *>(child));
    return it == m_children.constEnd() ? -1 : it->page;
}

void SafeTabs::switchPages(int, int)
{
    for (auto it = m_children.begin(); it != m_children.end(); ++it)
        placeChild(it.key(), *it);
}

void SafeTabs::placeChild(QWidget *child, ChildPage &info)
{
    const bool wasSwitching = m_switching;
    m_switching = true;
    if (info.page == m_active) {
        if (info.parked) {
            info.parked = false;
            child->setFocusPolicy(info.savedPolicy);
            if (info.wantVisible)
                child->show();
        }
    } else if (!info.parked) {
        info.parked = true;
        info.wantVisible = !child->isHidden();
        info.savedPolicy = child->focusPolicy();
        child->setFocusPolicy(Qt::NoFocus);
        child->hide();
    }
    m_switching = wasSwitching;
}

void SafeTabs::childEvent(QChildEvent *event)
{
    QObject *object = event->child();
    if (event->added() && object->isWidgetType()) {
        auto *child = static_cast<QWidget *>(object);
        if (!m_children.contains(child)) {
            ChildPage info;
            info.page = m_active;
            info.savedPolicy = child->focusPolicy();
            m_children.insert(child, info);
            child->installEventFilter(this);
        }
    } else if (event->removed()) {
        // The child may be half destroyed: only its address is used.
        m_children.remove(static_cast<QWidget *>(static_cast<void *>(object)));
    }
    QWidget::childEvent(event);
}

bool SafeTabs::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_switching &&
        (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        auto it = m_children.find(static_cast<QWidget *>(static_cast<void *>(watched)));
        if (it != m_children.end() && it->parked) {
            // Someone else showed or hid a child of a page not on view: remember the wish
            // and keep the child hidden until its page is active.
            it->wantVisible = event->type() == QEvent::ShowToParent;
            if (it->wantVisible) {
                m_switching = true;
                static_cast<QWidget *>(watched)->hide();
                m_switching = false;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
