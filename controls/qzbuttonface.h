#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

// What the face of a styled button depends on.
struct QzFace
{
    int style = 0;
    int look = 0; // 0 normal, 1 hot, 2 pressed
    bool enabled = true;
    bool marked = false;     // focused or default: styles 0, 4 and 11 draw a marking frame
    bool checkedOut = false; // toggle mode on with the pointer outside (style 13's own colours)
    bool checked = false;    // toggle mode on (styles 0, 3 and 9 add an inner accent)
    QColor back;
};

// Draws the face of a styled button into a rectangle of logical pixels; pixels outside the
// style's rounded shape are left untouched.
void drawQzFace(QPainter &p, const QRectF &rect, const QzFace &face);

// Corner ellipse of a style's shape in pixels (0 for a rectangle).
int qzCornerOf(int style);
