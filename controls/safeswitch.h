#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>

// An on/off switch drawn as a pill with a knob. A left click flips `value` and raises `Click`;
// the switch shows a hover look while the pointer is over it. Its size is fixed by its skin.
class SafeSwitch : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool value READ value WRITE setValue)
    Q_PROPERTY(bool Enable READ Enable WRITE setEnable)
    Q_PROPERTY(int skin READ skin WRITE setSkin)

public:
    // Pictures of one skin, in strip order: on normal/hover/pressed/disabled, then the same off.
    enum Frame {
        OnNormal,
        OnHover,
        OnPressed,
        OnDisabled,
        OffNormal,
        OffHover,
        OffPressed,
        OffDisabled
    };

    explicit SafeSwitch(QWidget *parent = nullptr);

    // On (true) or off. Every write raises Click(value), even an unchanged value, a write from
    // code and a write while the switch is disabled.
    bool value() const { return m_value; }
    void setValue(bool value);

    // When false the switch shows its disabled picture and ignores the mouse; hover is not
    // followed meanwhile. Raises no Click; turning it back on catches up with the pointer
    // (MouseIn or MouseOut if the pointer came or went while the switch was disabled). A press
    // made before a disable still commits when the button is released after the re-enable.
    bool Enable() const { return m_enable; }
    void setEnable(bool enable);

    // Picture set: 0 and 1 have their own artwork, 2 and above share skin 2's. Fixes the size.
    int skin() const { return m_skin; }
    void setSkin(int skin);

    // The picture shown now (a Frame value, 0 to 7).
    int frameIndex() const { return m_frame; }
    // True while the pointer is over the enabled switch as last seen.
    bool isHovering() const { return m_hovering; }

    // Size in pixels of a skin: 74 x 24 for skin 1, 78 x 23 for every other skin.
    static QSize skinSize(int skin);
    // The vertical strip of the eight pictures of a skin, rendered for a device-pixel ratio.
    // Pixels outside the pill are transparent. Cached per skin and ratio.
    static QImage skinStrip(int skin, qreal devicePixelRatio);

    QSize sizeHint() const override { return skinSize(m_skin); }

signals:
    // Raised after every write of value, by a click or by code; carries the new value.
    void Click(bool value);
    // Raised when the pointer leaves the enabled switch.
    void MouseOut();
    // Raised when the pointer enters the enabled switch.
    void MouseIn();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void showLook();
    void setFrame(int frame);
    void trackPointer(bool inside);
    bool containsPoint(QPointF p) const;

    bool m_value = true;
    bool m_enable = true;
    int m_skin = 0;
    int m_frame = OnNormal;
    bool m_hovering = false;
    bool m_pointerInside = false; // from enter/leave, kept also while disabled
    bool m_pressed = false;
    bool m_pending = false;
};

// Writes a switch's value while it shows disabled, then gives the switch its enabled state back.
// Click is raised as on every write: a handler that leaves a disabled switch alone (a channel
// switch's, which would send a request) does nothing, one that does not runs as usual.
void SetSwitchQuietly(SafeSwitch *s, bool on);
