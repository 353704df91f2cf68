#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

// An owner-drawn push button with sixteen looks (ButtonStyle 0 to 15), an optional picture, a
// hover look, an optional check-box (toggle) mode and its own keyboard handling. The window
// reacts to Click; the other signals report mouse and key activity.
class QzButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int ButtonStyle READ ButtonStyle WRITE setButtonStyle)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(int CaptionAlign READ CaptionAlign WRITE setCaptionAlign)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool CheckBoxMode READ CheckBoxMode WRITE setCheckBoxMode)
    Q_PROPERTY(bool value READ value WRITE setValue)
    Q_PROPERTY(QPixmap Picture READ Picture WRITE setPicture)
    Q_PROPERTY(QPixmap PictureHover READ PictureHover WRITE setPictureHover)
    Q_PROPERTY(int PictureAlign READ PictureAlign WRITE setPictureAlign)
    Q_PROPERTY(int PictureSize READ PictureSize WRITE setPictureSize)
    Q_PROPERTY(bool UseMaskColor READ UseMaskColor WRITE setUseMaskColor)
    Q_PROPERTY(QColor MaskColor READ MaskColor WRITE setMaskColor)
    Q_PROPERTY(bool ShowFocusRect READ ShowFocusRect WRITE setShowFocusRect)
    Q_PROPERTY(bool HandPointer READ HandPointer WRITE setHandPointer)
    Q_PROPERTY(bool Default READ isDefault WRITE setDefault)

public:
    // Look of the face: normal, hot (pointer over it) or pressed.
    enum Look { Normal = 0, Hot = 1, Pressed = 2 };

    // Colours and focus-rectangle setting a style applies when it is assigned.
    struct StyleDefaults
    {
        QColor back;
        QColor fore;
        bool focusRect;
        int corner; // corner ellipse of the rounded shape in pixels, 0 for a rectangle
    };

    explicit QzButton(QWidget *parent = nullptr);
    // Convenience: a button with a caption.
    explicit QzButton(const QString &caption, QWidget *parent = nullptr);

    // Look 0 to 15 (other values are clamped). Assigning also replaces BackColor, ForeColor
    // and ShowFocusRect by the style's defaults and applies the style's shape.
    int ButtonStyle() const { return m_style; }
    void setButtonStyle(int style);

    // Caption on one line; a single "&" marks the access key (Alt + key), "&&" is a literal
    // "&". Until a caption is set, the button shows its objectName.
    QString Caption() const;
    void setCaption(const QString &caption);
    // The access key of the caption in lower case, or a null QChar.
    QChar accessKey() const { return m_accessKey; }

    // 0 left (4 pixels from the left edge), 1 centred, 2 right (4 pixels from the right edge).
    int CaptionAlign() const { return m_captionAlign; }
    void setCaptionAlign(int align);

    // Face colour from which the style derives its shading.
    QColor BackColor() const { return m_back; }
    void setBackColor(const QColor &colour);
    // Caption colour while enabled (a disabled button uses the system grey-text colour).
    QColor ForeColor() const { return m_fore; }
    void setForeColor(const QColor &colour);

    // Toggle mode: every click flips value. Turning it off returns the look to normal.
    bool CheckBoxMode() const { return m_checkBoxMode; }
    void setCheckBoxMode(bool on);
    // On/off state of the toggle mode. Writing raises nothing; outside the toggle mode it only
    // returns the look to normal.
    bool value() const { return m_value; }
    void setValue(bool value);

    // Picture drawn with the caption, and the one shown instead while hot, pressed or on.
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);
    QPixmap PictureHover() const { return m_pictureHover; }
    void setPictureHover(const QPixmap &picture);
    // Placement 0 to 8: left, centred group with picture left, right, centred group with
    // picture right, centred under the caption, top, centred group with picture above,
    // bottom, centred group with picture below.
    int PictureAlign() const { return m_pictureAlign; }
    void setPictureAlign(int align);
    // 0 the picture's own size, 1 16 x 16, 2 24 x 24, 3 32 x 32 pixels.
    int PictureSize() const { return m_pictureSize; }
    void setPictureSize(int size);
    // Draw the picture with MaskColor as its transparent colour.
    bool UseMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool on);
    QColor MaskColor() const { return m_maskColor; }
    void setMaskColor(const QColor &colour);

    // Draw a dotted focus rectangle while the button has the focus in the active window.
    bool ShowFocusRect() const { return m_showFocusRect; }
    void setShowFocusRect(bool on);
    // Show the hand cursor over the button.
    bool HandPointer() const { return m_handPointer; }
    void setHandPointer(bool on);
    // Marks the button as its window's default button: the face shows the default marking
    // (and the focus rectangle, if on) as if the button had the focus.
    bool isDefault() const { return m_default; }
    void setDefault(bool on);

    // The look from the mouse and keys (Look), and the look the face is drawn with (toggle
    // mode on shows pressed for every style but 0, 3 and 9; a disabled button shows normal).
    int look() const { return m_look; }
    int shownLook() const;
    bool isMouseInside() const { return m_inside; }
    bool isMouseDown() const { return m_mouseDown; }
    bool isSpaceDown() const { return m_spaceDown; }

    // Where the picture and the caption's text are drawn now, in pixels (empty without a
    // picture or caption). Both move 1 pixel right and down while pressed for styles 0, 1, 3
    // and 8, and 2 pixels for style 5.
    QRect pictureRect() const;
    QRect captionRect() const;

    // Whether a point lies on the button's shape (rounded styles leave their corners out).
    bool hitButton(QPointF pos) const;

    // Defaults of a style (0 to 15).
    static StyleDefaults styleDefaults(int style);
    // A colour lightened (f > 0) or darkened (f < 0): each channel moves by round(|f| x 255),
    // capped at 255 and floored at 0.
    static QColor shade(const QColor &colour, double f);
    // Access key of a caption in lower case: the character after the first single "&".
    static QChar accessKeyOf(const QString &caption);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {15, 15}; }

signals:
    // The button was clicked (mouse, Space, Enter or access key).
    void Click();
    // Left double click; a Click follows on the release.
    void DblClick();
    // The pointer entered / left the button.
    void MouseEnter();
    void MouseLeave();
    // Mouse activity with the buttons held, the keyboard modifiers and the position in pixels.
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    // Key activity on the focused button (Qt key codes).
    void KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void KeyUp(int keyCode, Qt::KeyboardModifiers shift);
    // A character typed on the focused button.
    void KeyPress(int keyAscii);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setLook(int look);
    void pointerEntered();
    void pointerLeft();
    void leftButtonDown();
    void updateShortcut();
    struct ContentLayout
    {
        QRect picture;
        QPixmap pixmap;   // the picture shown now (hover picture, mask, greyed when disabled)
        QRect caption;    // the caption's text
        QRect captionBox; // the rectangle the caption is aligned in
        int align = 0;
    };
    ContentLayout contentLayout() const;
    QPixmap shownPicture() const;

    int m_style = 0;
    QString m_caption;
    bool m_captionSet = false;
    QChar m_accessKey;
    int m_shortcutId = 0;
    int m_captionAlign = 1;
    QColor m_back;
    QColor m_fore;
    bool m_checkBoxMode = false;
    bool m_value = false;
    QPixmap m_picture;
    QPixmap m_pictureHover;
    int m_pictureAlign = 1;
    int m_pictureSize = 0;
    bool m_useMaskColor = false;
    QColor m_maskColor{224, 224, 224};
    bool m_showFocusRect = true;
    bool m_handPointer = false;
    bool m_default = false;

    int m_look = Normal;
    bool m_inside = false;
    bool m_mouseDown = false;
    bool m_spaceDown = false;
};
