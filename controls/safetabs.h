#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QWidget>

// A skinned tab strip that is also a container. Each direct child belongs to one page; only
// the active page's children are on view. Clicking a label makes its page active and raises
// TabSwitch. All geometry is in pixels.
class SafeTabs : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int TabCount READ TabCount WRITE setTabCount)
    Q_PROPERTY(int activeTab READ activeTab WRITE setActiveTab)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(int skinIndex READ skinIndex WRITE setSkinIndex)
    Q_PROPERTY(int LabelActHeight READ LabelActHeight WRITE setLabelActHeight)
    Q_PROPERTY(int LabelHeight READ LabelHeight WRITE setLabelHeight)
    Q_PROPERTY(int labelWidth READ labelWidth WRITE setLabelWidth)
    Q_PROPERTY(int LabelBlank READ LabelBlank WRITE setLabelBlank)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setTabsEnabled)

public:
    // Transparent colour of the label art: pixels of this colour show the parent behind.
    static constexpr QRgb MaskColor = 0xffda00ff; // RGB(218,0,255)
    // Cut-away colour of the skin image.
    static constexpr QRgb CutColor = 0xffff00ff; // RGB(255,0,255)

    explicit SafeTabs(QWidget *parent = nullptr);

    // Number of tabs (at least 1). Shrinking below the active tab makes the last tab active and
    // raises TabSwitch(0) without moving any child between pages.
    int TabCount() const { return int(m_captions.size()); }
    void setTabCount(int count);

    // The page on view, 0-based. Out-of-range values become 0. A change switches the pages,
    // redraws and raises TabSwitch(previous).
    int activeTab() const { return m_active; }
    void setActiveTab(int tab);

    // Caption of the active tab.
    QString Caption() const { return m_captions.value(m_active); }
    void setCaption(const QString &caption);
    // Caption of any tab (out-of-range indexes read empty and are ignored on writing).
    QString Caption(int tab) const { return m_captions.value(tab); }
    void setCaption(int tab, const QString &caption);

    // Fill colour of the page area.
    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor &colour);

    // Colour scheme 0 to 7 (other values fall back to 0 when drawing).
    int skinIndex() const { return m_skinIndex; }
    void setSkinIndex(int index);

    // Heights of the active label and of the others, and the width of every label; at least 15.
    int LabelActHeight() const { return m_labelActHeight; }
    void setLabelActHeight(int height);
    int LabelHeight() const { return m_labelHeight; }
    void setLabelHeight(int height);
    int labelWidth() const { return m_labelWidth; }
    void setLabelWidth(int width);

    // Gap before each label; negative values are ignored.
    int LabelBlank() const { return m_labelBlank; }
    void setLabelBlank(int blank);

    // Whether the labels accept clicks; captions are black when true and grey when false.
    // The children are not affected.
    bool Enabled() const { return m_enabled; }
    void setTabsEnabled(bool enabled);

    // Width of the label row: (labelWidth + LabelBlank) x TabCount.
    int stripWidth() const { return (m_labelWidth + m_labelBlank) * TabCount(); }
    // Height of the label row: the larger of the two label heights.
    int headerHeight() const { return qMax(m_labelActHeight, m_labelHeight); }
    // The label under the pointer, or -1.
    int hotTab() const { return m_hot; }
    // The label at a point, or -1 (the gap before a label belongs to no label).
    int tabAt(QPointF pos) const;
    // Rectangle of a tab's label as drawn.
    QRect labelRect(int tab) const;

    // Puts a direct child on a page. Children never assigned belong to the page that was
    // active when they were added. Only the active page's children are shown; a child on
    // another page has no tab stop until its page is active again. A child hidden by its
    // owner while its page is on view stays hidden when its page comes back; showing a child
    // of a page not on view takes effect when that page becomes active.
    void setPageOf(QWidget *child, int page);
    // The page of a direct child, or -1 for a widget that is not a direct child.
    int pageOf(const QWidget *child) const;

    // Frame and label colours of a colour scheme, as read from the skin image.
    static QColor frameColour(int skin);
    static QColor labelColour(int skin);
    // The skin image: eight bands of 20 pixel rows, each holding three 40 x 20 label images
    // (active, normal, hot); cut-away corners are pure magenta. Rendered at a device-pixel
    // ratio (1 gives the 120 x 160 image), cached.
    static QImage skinImage(qreal devicePixelRatio = 1.0);

    // One label image (kind 0 active, 1 normal, 2 hot) of a colour scheme, nine-slice scaled
    // from the skin image to a size in logical pixels at a device-pixel ratio; the cut-away
    // corners are transparent.
    static QImage labelImage(int skin, int kind, QSize size, qreal devicePixelRatio = 1.0);

    // Redraws from the prepared label images.
    void Refresh() { update(); }
    // Rebuilds the label images, then redraws.
    void refreshSkin();

    QSize minimumSizeHint() const override { return {80, 30}; }
    QSize sizeHint() const override;

signals:
    // Raised after a page switch and redraw; carries the previously active tab.
    void TabSwitch(int previousTab);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ChildPage
    {
        int page = 0;
        bool wantVisible = true;     // shown when its page is active
        Qt::FocusPolicy savedPolicy; // focus policy while on the active page
        bool parked = false;         // hidden because its page is not active
    };

    void switchPages(int from, int to);
    void placeChild(QWidget *child, ChildPage &info);
    void setHot(int tab);
    void clampSize();
    const QImage &labelImages();

    QStringList m_captions;
    int m_active = 0;
    int m_hot = -1;
    int m_skinIndex = 0;
    QColor m_backColor;
    int m_labelActHeight = 29;
    int m_labelHeight = 24;
    int m_labelWidth = 80;
    int m_labelBlank = 2;
    bool m_enabled = true;
    bool m_switching = false;
    QHash<QWidget *, ChildPage> m_children;
    QImage m_labels; // three label images side by side, at the widget's device-pixel ratio
    bool m_labelsDirty = true;
};
