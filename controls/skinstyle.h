#pragma once

#include <QHash>
#include <QProxyStyle>

class QTimer;

// The application style of the window: combo boxes, check boxes, option buttons and plain
// push buttons get a flat, rounded look whose hover state fades in and out over a few 15 ms
// steps. Everything else (frames, labels, text boxes, the custom controls) is drawn by the
// base style unchanged. Give a window its look with apply(); message boxes and other windows
// keep the application's style.
class SkinStyle : public QProxyStyle
{
    Q_OBJECT

public:
    // Interval of one fade step, and the number of steps of a full fade.
    static constexpr int FadeInterval = 15;
    static constexpr int FadeSteps = 5;

    // Uses the "Fusion" style as the base unless another base is given (the style takes it).
    explicit SkinStyle(QStyle *base = nullptr);
    ~SkinStyle() override;

    // Draws the window and every control inside it (not its popups or dialogs). Drop-down lists
    // there take the mouse wheel only while they have the keyboard focus. The style must
    // outlive the window's controls: make it a child of the window, created after them.
    void apply(QWidget *window);

    // Whether a widget gets the skinned look.
    static bool isSkinned(const QWidget *widget);
    // Hover level of a skinned widget, 0 (normal) to 1 (fully hot); 0 for other widgets.
    qreal hoverLevel(const QWidget *widget) const;
    // Whether a fade is running on any widget (no timer runs while nothing fades).
    bool isFading() const;

    void polish(QWidget *widget) override;
    void unpolish(QWidget *widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Fade
    {
        qreal level = 0;  // 0 normal .. 1 hot
        qreal target = 0; // where the fade is heading
    };

    void setTarget(QWidget *widget, qreal target);
    void step();

    QHash<const QObject *, Fade> m_fades;
    QTimer *m_timer = nullptr;
};
