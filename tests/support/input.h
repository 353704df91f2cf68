#pragma once

// The pointer and the keyboard as a user drives them: pointer events go to a control at its
// centre; keys go to the widget that has the keyboard focus, where a user's keystrokes arrive
// (for an editable combo box that is the combo box itself, never its inner line edit).

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace support {

inline QPointF Centre(const QWidget *w)
{
    return QPointF(w->width() / 2.0, w->height() / 2.0);
}

// The pointer enters the control and moves over it (the control's hot look).
inline void Hover(QWidget *w)
{
    const QPointF c = Centre(w);
    QEnterEvent enter(c, w->mapToGlobal(c), w->mapToGlobal(c));
    QApplication::sendEvent(w, &enter);
    QMouseEvent move(QEvent::MouseMove, c, w->mapToGlobal(c), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
}

// The left button goes down over the control and stays down (its pressed look).
inline void Press(QWidget *w)
{
    Hover(w);
    const QPointF c = Centre(w);
    QMouseEvent down(QEvent::MouseButtonPress, c, w->mapToGlobal(c), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &down);
}

// A left click at the control's centre, as the window system delivers it.
inline void Click(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, Centre(w).toPoint());
}

// Where the next keystroke goes: the focused widget of the application.
inline QWidget *KeyTarget()
{
    return QApplication::focusWidget();
}

// Types text into the focused widget; false when nothing has the focus.
inline bool TypeIntoFocus(const QString &text)
{
    QWidget *target = KeyTarget();
    if (!target)
        return false;
    QTest::keyClicks(target, text);
    return true;
}

// One key into the focused widget; false when nothing has the focus.
inline bool KeyIntoFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = KeyTarget();
    if (!target)
        return false;
    QTest::keyClick(target, key, modifiers);
    return true;
}

} // namespace support
