#pragma once

#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace crccalc {

// The calculator window: hex bytes typed into Text1, their CRC-16 shown as decimal and hex
// low and high bytes and as the two bytes in wire order.
class CrcWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CrcWindow(QWidget *parent = nullptr);

    // The font of every control but Text6: 宋体 10 pt bold, or the system's CJK font in
    // its place where 宋体 is missing.
    static QFont calculatorFont();
    // The window's own colours, whatever the desktop's: light face and boxes, black text.
    static QPalette windowPalette();

    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    std::array<QLabel *, 2> Label1{};
    std::array<QLabel *, 2> Label2{};
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    QLineEdit *Text4 = nullptr;
    QLineEdit *Text5 = nullptr;
    QLineEdit *Text6 = nullptr;

public slots:
    void Command1_Click();

private:
    void Text2_Change();
    void Text3_Change();
};

// Marks a box whose text cannot be used: a red frame, and the reason as its tooltip.
// An empty reason takes the mark away.
void markInputProblem(QWidget *box, const QString &reason);
bool hasInputProblem(const QWidget *box);

} // namespace crccalc
