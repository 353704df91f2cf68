#include "app/mainwindow.h"

Form1::Form1(QWidget *parent) : QWidget(parent)
{
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("Quorvane（MODBUS协议）"));
    resize(618, 534);
}
