#include "crcwindow.h"

#include "crcmath.h"
#include "frameinput.h"
#include "twips.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>

#include <functional>
#include <optional>

namespace crccalc {

namespace {

const char *const problemProperty = "inputProblem";

// Sets a box's text so that its change handling runs even when the text stays the same,
// so a hand-edited hex box is brought back in line on every compute.
void setFollowedText(QLineEdit *box, const QString &text, const std::function<void()> &follow)
{
    if (box->text() == text)
        follow();
    else
        box->setText(text);
}

// Reads a decimal box and writes its hex form into the box that follows it.
void followDecimal(QLineEdit *decimal, QLineEdit *hex)
{
    if (decimal->text().trimmed().isEmpty()) {
        markInputProblem(decimal, {});
        hex->clear();
        return;
    }
    QString why;
    const std::optional<QString> form = hexFormOfWholeNumber(decimal->text(), &why);
    markInputProblem(decimal, form ? QString() : why);
    hex->setText(form.value_or(QString()));
}

// The application's style, with a red frame drawn over the frame of a box marked as a problem.
// (A style sheet would do it too, but would keep the window's colours from its controls.)
class ProblemFrameStyle : public QProxyStyle
{
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element != PE_PanelLineEdit || !widget || !hasInputProblem(widget))
            return;
        painter->save();
        painter->setPen(QPen(QColor(0xd0, 0x00, 0x00), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRectF(option->rect).adjusted(1, 1, -1, -1));
        painter->restore();
    }
};

} // namespace

void markInputProblem(QWidget *box, const QString &reason)
{
    const bool marked = !reason.isEmpty();
    box->setToolTip(reason);
    if (box->property(problemProperty).toBool() == marked)
        return;
    box->setProperty(problemProperty, marked);
    box->update();
}

bool hasInputProblem(const QWidget *box)
{
    return box->property(problemProperty).toBool();
}

QFont CrcWindow::calculatorFont()
{
    const QStringList installed = QFontDatabase::families();
    QString family;
    for (const QString &wanted : {QStringLiteral("宋体"), QStringLiteral("SimSun")}) {
        if (installed.contains(wanted)) {
            family = wanted;
            break;
        }
    }
    if (family.isEmpty()) {
        const QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
        for (const QString &preferred :
             {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
              QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Zen Hei")}) {
            if (chinese.contains(preferred)) {
                family = preferred;
                break;
            }
        }
        if (family.isEmpty() && !chinese.isEmpty())
            family = chinese.first();
    }
    QFont font;
    font.setFamilies(family.isEmpty() ? QStringList{QStringLiteral("宋体")}
                                      : QStringList{family, QStringLiteral("宋体")});
    font.setPointSize(10);
    font.setBold(true);
    return font;
}

QPalette CrcWindow::windowPalette()
{
    const QColor face(240, 240, 240);
    return QPalette(face, face);
}

CrcWindow::CrcWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("crc"));
    setWindowTitle(tr("CRC16计算-Tarnwell"));
    setFixedSize(pixelsOfTwips(7500), pixelsOfTwips(3750));
    // The window keeps its own light colours under a dark desktop theme: a grey face, black
    // text, white boxes.
    setPalette(windowPalette());
    // Every control but Text6 gets the calculator's font; Text6 keeps the application's.
    const QFont controlFont = calculatorFont();
    auto *frameStyle = new ProblemFrameStyle;
    frameStyle->setParent(this);

    auto place = [&controlFont](QWidget *control, const char *name, const QRect &geometry) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(geometry);
        control->setFont(controlFont);
    };
    auto lineEdit = [&place, frameStyle](QWidget *parent, const char *name, const QRect &geometry,
                                         const QString &text = {}) {
        auto *box = new QLineEdit(text, parent);
        place(box, name, geometry);
        box->setStyle(frameStyle);
        return box;
    };
    auto label = [&place](QWidget *parent, const char *name, const QRect &geometry,
                          const QString &caption) {
        auto *l = new QLabel(caption, parent);
        place(l, name, geometry);
        return l;
    };

    Text1 =
        lineEdit(this, "Text1", rectOfTwips(240, 240, 5055, 375), QStringLiteral("01050000FF00"));

    Command1 = new QPushButton(tr("crc16计算"), this);
    place(Command1, "Command1", rectOfTwips(3720, 1320, 1335, 495));

    Frame1 = new QGroupBox(tr("结果"), this);
    place(Frame1, "Frame1", rectOfTwips(240, 840, 3135, 1455));

    Label2[1] = label(Frame1, "Label2(1)", rectOfTwips(1440, 240, 450, 210), tr("低位"));
    Label1[1] = label(Frame1, "Label1(1)", rectOfTwips(2160, 240, 450, 210), tr("高位"));
    Label1[0] = label(Frame1, "Label1(0)", rectOfTwips(240, 720, 675, 210), tr("十进制"));
    Label2[0] = label(Frame1, "Label2(0)", rectOfTwips(240, 1080, 900, 210), tr("十六进制"));

    Text2 = lineEdit(Frame1, "Text2", rectOfTwips(1320, 600, 615, 315));
    Text3 = lineEdit(Frame1, "Text3", rectOfTwips(2160, 600, 615, 315));
    Text4 = lineEdit(Frame1, "Text4", rectOfTwips(1320, 960, 615, 315));
    Text5 = lineEdit(Frame1, "Text5", rectOfTwips(2160, 960, 615, 315));

    Text6 = lineEdit(this, "Text6", rectOfTwips(4320, 2640, 2175, 735));
    Text6->setFont(QApplication::font());

    connect(Command1, &QPushButton::clicked, this, &CrcWindow::Command1_Click);
    connect(Text1, &QLineEdit::returnPressed, this, &CrcWindow::Command1_Click);
    // A mark describes the text it was made for; editing the text takes it away.
    connect(Text1, &QLineEdit::textChanged, this, [this] { markInputProblem(Text1, {}); });
    connect(Text2, &QLineEdit::textChanged, this, &CrcWindow::Text2_Change);
    connect(Text3, &QLineEdit::textChanged, this, &CrcWindow::Text3_Change);
}

void CrcWindow::Command1_Click()
{
    const QString s = Text1->text();
    const FrameInput input = readFrameText(s);
    markInputProblem(Text1, problemDescription(input, s));

    // Without a single whole byte there is nothing to compute; old results must not stay
    // beside input they do not belong to.
    QString high, low, wire;
    if (!input.bytes.isEmpty()) {
        const std::array<std::uint8_t, 2> crc = CRC16(input.bytes);
        high = QString::number(crc[0]);
        low = QString::number(crc[1]);
        wire = wireOrderText(crc);
    }
    setFollowedText(Text3, high, [this] { Text3_Change(); });
    setFollowedText(Text2, low, [this] { Text2_Change(); });
    Text6->setText(wire);
}

void CrcWindow::Text2_Change()
{
    followDecimal(Text2, Text4);
}

void CrcWindow::Text3_Change()
{
    followDecimal(Text3, Text5);
}

} // namespace crccalc
