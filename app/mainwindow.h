#pragma once

#include <QWidget>

// The main window. For now an empty frame with the program's caption.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
};
