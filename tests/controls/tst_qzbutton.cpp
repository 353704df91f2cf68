#include "controls/qzbutton.h"

#include <QCursor>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

// A window holding an edit, the button under test and another edit, so that focus can move.
struct Window
{
    QStringList events; // outlives the window, which may still report while it goes
    QWidget window;
    QLineEdit *before = nullptr;
    QzButton *button = nullptr;
    QLineEdit *after = nullptr;

    Window()
    {
        window.resize(300, 200);
        before = new QLineEdit(&window);
        before->setGeometry(10, 10, 100, 24);
        button = new QzButton(QStringLiteral("读取(&R)"), &window);
        button->setGeometry(10, 50, 100, 30);
        after = new QLineEdit(&window);
        after->setGeometry(10, 100, 100, 24);
        auto *b = button;
        QObject::connect(b, &QzButton::Click, &window, [this] { events << "Click"; });
        QObject::connect(b, &QzButton::DblClick, &window, [this] { events << "DblClick"; });
        QObject::connect(b, &QzButton::MouseEnter, &window, [this] { events << "MouseEnter"; });
        QObject::connect(b, &QzButton::MouseLeave, &window, [this] { events << "MouseLeave"; });
        QObject::connect(
            b, &QzButton::MouseDown, &window,
            [this](Qt::MouseButton, Qt::KeyboardModifiers, int, int) { events << "MouseDown"; });
        QObject::connect(b, &QzButton::MouseUp, &window,
                         [this](Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
                             events << (button == Qt::LeftButton ? "MouseUp" : "MouseUp other");
                         });
        QObject::connect(b, &QzButton::KeyDown, &window, [this](int key, Qt::KeyboardModifiers) {
            events << QStringLiteral("KeyDown %1").arg(key, 0, 16);
        });
        QObject::connect(b, &QzButton::KeyUp, &window, [this](int key, Qt::KeyboardModifiers) {
            events << QStringLiteral("KeyUp %1").arg(key, 0, 16);
        });
    }

    bool showAndFocus()
    {
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        button->setFocus();
        return QTest::qWaitFor([this] { return button->hasFocus(); });
    }

    // Keeps only the events of the given names.
    QStringList only(const QStringList &names) const
    {
        QStringList out;
        for (const QString &e : events)
            if (names.contains(e.section(' ', 0, 0)))
                out << e;
        return out;
    }
};

const QString Space = QStringLiteral("%1").arg(int(Qt::Key_Space), 0, 16);

} // namespace

class TstQzButton : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCursor::setPos(QPoint(3000, 3000)); }
    void styleDefaults_data();
    void styleDefaults();
    void shade_data();
    void shade();
    void accessKey_data();
    void accessKey();
    void captionDefaultsToName();
    void clickOrder();
    void pressMoveOffRelease();
    void otherButtons();
    void doubleClick();
    void checkBoxMode_data();
    void checkBoxMode();
    void valueOutsideCheckBoxMode();
    void spaceBar();
    void spaceReleasedOutside();
    void spaceInCheckBoxMode();
    void altSpaceDoesNothing();
    void enterClicks();
    void arrowsMoveFocus_data();
    void arrowsMoveFocus();
    void accessKeyClicks_data();
    void accessKeyClicks();
    void disabledIgnoresInput();
    void hoverLooks();
    void minimumSize();
    void roundedCornersAreNotTheButton_data();
    void roundedCornersAreNotTheButton();
    void hidingWhilePressed();
    void pictureAlign_data();
    void pictureAlign();
    void pictureSizes_data();
    void pictureSizes();
    void pressedContentMoves_data();
    void pressedContentMoves();
};

void TstQzButton::styleDefaults_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("fore");
    QTest::addColumn<bool>("focusRect");
    const QColor face = QApplication::palette().color(QPalette::Button);
    const QColor text = QApplication::palette().color(QPalette::ButtonText);
    QTest::newRow("0") << 0 << face << text << true;
    QTest::newRow("2") << 2 << QColor(236, 235, 231) << text << false;
    QTest::newRow("4") << 4 << QColor(227, 227, 227) << text << false;
    QTest::newRow("5") << 5 << QColor(0, 109, 170) << QColor(Qt::white) << true;
    QTest::newRow("6") << 6 << QColor(213, 214, 225) << text << true;
    QTest::newRow("7") << 7 << QColor(173, 209, 255) << text << false;
    QTest::newRow("10") << 10 << QColor(173, 209, 255) << text << false;
    QTest::newRow("13") << 13 << QColor(202, 225, 252) << text << false;
    QTest::newRow("14") << 14 << QColor(208, 208, 208) << text << false;
    QTest::newRow("15") << 15 << QColor(167, 203, 230) << text << true;
    QTest::newRow("out of range") << 99 << QColor(167, 203, 230) << text << true;
}

void TstQzButton::styleDefaults()
{
    QFETCH(int, style);
    QFETCH(QColor, back);
    QFETCH(QColor, fore);
    QFETCH(bool, focusRect);
    QzButton b;
    b.setBackColor(QColor(1, 2, 3));
    b.setForeColor(QColor(4, 5, 6));
    b.setShowFocusRect(!focusRect);
    b.setButtonStyle(style);
    QCOMPARE(b.BackColor(), back);
    QCOMPARE(b.ForeColor(), fore);
    QCOMPARE(b.ShowFocusRect(), focusRect);
    // Colours set after the style stay.
    b.setBackColor(QColor(246, 245, 218));
    QCOMPARE(b.BackColor(), QColor(246, 245, 218));
}

void TstQzButton::shade_data()
{
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<double>("f");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("lighten 0.06") << QColor(212, 212, 212) << 0.06 << QColor(227, 227, 227);
    QTest::newRow("lighten caps") << QColor(250, 100, 0) << 0.05 << QColor(255, 113, 13);
    QTest::newRow("darken floors") << QColor(10, 200, 30) << -0.13 << QColor(0, 167, 0);
    QTest::newRow("darken 0.01") << QColor(202, 225, 252) << -0.01 << QColor(199, 222, 249);
    QTest::newRow("zero") << QColor(1, 2, 3) << 0.0 << QColor(1, 2, 3);
}

void TstQzButton::shade()
{
    QFETCH(QColor, colour);
    QFETCH(double, f);
    QFETCH(QColor, expected);
    QCOMPARE(QzButton::shade(colour, f), expected);
}

void TstQzButton::accessKey_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("key");
    QTest::newRow("first letter") << "&Read"
                                  << "r";
    QTest::newRow("after doubled") << "A&&B&C"
                                   << "c";
    QTest::newRow("only doubled") << "Save && exit"
                                  << "";
    QTest::newRow("trailing") << "end&"
                              << "";
    QTest::newRow("chinese caption") << "读取(&R)"
                                     << "r";
    QTest::newRow("none") << "发送"
                          << "";
}

void TstQzButton::accessKey()
{
    QFETCH(QString, caption);
    QFETCH(QString, key);
    QzButton b;
    b.setCaption(caption);
    QCOMPARE(b.accessKey().isNull() ? QString() : QString(b.accessKey()), key);
}

void TstQzButton::captionDefaultsToName()
{
    QzButton b;
    b.setObjectName(QStringLiteral("qzbutton3"));
    QCOMPARE(b.Caption(), QStringLiteral("qzbutton3"));
    b.setCaption(QString());
    QCOMPARE(b.Caption(), QString());
}

void TstQzButton::clickOrder()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.events, (QStringList{"MouseEnter", "MouseDown", "Click", "MouseUp"}));
    QCOMPARE(w.button->look(), int(QzButton::Hot));
}

void TstQzButton::pressMoveOffRelease()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->look(), int(QzButton::Pressed));
    QTest::mouseMove(w.button, QPoint(150, 15));
    QTRY_VERIFY(!w.button->isMouseInside());
    QCOMPARE(w.button->look(), int(QzButton::Normal));
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(150, 15));
    QCOMPARE(w.only({"Click", "MouseLeave", "MouseUp"}), (QStringList{"MouseLeave", "MouseUp"}));
    // The edge itself is not inside.
    w.events.clear();
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(0, 15));
    QCOMPARE(w.only({"Click"}), QStringList{});
}

void TstQzButton::otherButtons()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseClick(w.button, Qt::RightButton, {}, QPoint(50, 15));
    QTest::mouseClick(w.button, Qt::MiddleButton, {}, QPoint(50, 15));
    QCOMPARE(w.only({"Click", "MouseDown", "MouseUp"}),
             (QStringList{"MouseUp other", "MouseUp other"}));
}

void TstQzButton::doubleClick()
{
    Window w;
    QVERIFY(w.showAndFocus());
    // The second press of a double click arrives as a double-click event.
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QTest::mouseDClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.only({"Click", "DblClick", "MouseDown"}),
             (QStringList{"MouseDown", "Click", "MouseDown", "DblClick", "Click"}));
}

void TstQzButton::checkBoxMode_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("pressedWhenOn");
    QTest::newRow("style 4") << 4 << true;
    QTest::newRow("style 13") << 13 << true;
    QTest::newRow("style 15") << 15 << true;
    QTest::newRow("style 0") << 0 << false;
    QTest::newRow("style 3") << 3 << false;
    QTest::newRow("style 9") << 9 << false;
}

void TstQzButton::checkBoxMode()
{
    QFETCH(int, style);
    QFETCH(bool, pressedWhenOn);
    Window w;
    w.button->setButtonStyle(style);
    w.button->setCheckBoxMode(true);
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->value(), true);
    QCOMPARE(w.button->shownLook(), int(QzButton::Pressed) - (pressedWhenOn ? 0 : 1));
    QTest::mouseMove(w.button, QPoint(150, 15));
    QTRY_VERIFY(!w.button->isMouseInside());
    QCOMPARE(w.button->shownLook(), pressedWhenOn ? int(QzButton::Pressed) : int(QzButton::Normal));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->value(), false);
    QCOMPARE(w.only({"Click"}), (QStringList{"Click", "Click"}));
    // Leaving the mode returns the look to normal.
    w.button->setValue(true);
    w.button->setCheckBoxMode(false);
    QCOMPARE(w.button->look(), int(QzButton::Normal));
    QCOMPARE(w.button->shownLook(), int(QzButton::Normal));
}

void TstQzButton::valueOutsideCheckBoxMode()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTRY_COMPARE(w.button->look(), int(QzButton::Hot));
    w.button->setValue(true);
    QCOMPARE(w.button->look(), int(QzButton::Normal));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->value(), true); // clicks do not toggle outside the mode
}

void TstQzButton::spaceBar()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTRY_VERIFY(w.button->isMouseInside());
    w.events.clear();
    QTest::keyPress(w.button, Qt::Key_Space);
    QCOMPARE(w.button->look(), int(QzButton::Pressed));
    QVERIFY(w.button->isSpaceDown());
    QTest::keyRelease(w.button, Qt::Key_Space);
    QCOMPARE(w.button->look(), int(QzButton::Hot));
    QVERIFY(!w.button->isSpaceDown());
    QCOMPARE(w.events, (QStringList{"KeyDown " + Space, "Click", "KeyUp " + Space}));
}

void TstQzButton::spaceReleasedOutside()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::keyPress(w.button, Qt::Key_Space);
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mouseMove(w.button, QPoint(150, 15));
    QTRY_VERIFY(!w.button->isMouseInside());
    QTest::keyRelease(w.button, Qt::Key_Space);
    QCOMPARE(w.only({"Click"}), QStringList{"Click"});
    QCOMPARE(w.button->look(), int(QzButton::Normal));
}

void TstQzButton::spaceInCheckBoxMode()
{
    Window w;
    w.button->setCheckBoxMode(true);
    QVERIFY(w.showAndFocus());
    QTest::keyPress(w.button, Qt::Key_Space);
    QCOMPARE(w.button->value(), true);
    // Auto-repeat while the bar is held toggles nothing more.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(w.button, &repeat);
    QCOMPARE(w.button->value(), true);
    QTest::keyRelease(w.button, Qt::Key_Space);
    QCOMPARE(w.only({"Click"}), QStringList{"Click"});
}

void TstQzButton::altSpaceDoesNothing()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::keyPress(w.button, Qt::Key_Space, Qt::AltModifier);
    QCOMPARE(w.button->look(), int(QzButton::Normal));
    QTest::keyRelease(w.button, Qt::Key_Space, Qt::AltModifier);
    QCOMPARE(w.only({"Click"}), QStringList{});
    QVERIFY(!w.events.contains("KeyDown " + Space));
}

void TstQzButton::enterClicks()
{
    Window w;
    w.button->setCheckBoxMode(true);
    QVERIFY(w.showAndFocus());
    QTest::keyClick(w.button, Qt::Key_Return);
    QCOMPARE(w.only({"Click", "KeyDown"}),
             (QStringList{"Click", QStringLiteral("KeyDown %1").arg(int(Qt::Key_Return), 0, 16)}));
    QCOMPARE(w.button->value(), false); // Enter clicks without toggling
}

void TstQzButton::arrowsMoveFocus_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("forward");
    QTest::newRow("left") << int(Qt::Key_Left) << false;
    QTest::newRow("up") << int(Qt::Key_Up) << false;
    QTest::newRow("right") << int(Qt::Key_Right) << true;
    QTest::newRow("down") << int(Qt::Key_Down) << true;
}

void TstQzButton::arrowsMoveFocus()
{
    QFETCH(int, key);
    QFETCH(bool, forward);
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::keyClick(w.button, Qt::Key(key));
    QWidget *expected = forward ? static_cast<QWidget *>(w.after) : w.before;
    QTRY_VERIFY(expected->hasFocus());
    QCOMPARE(w.only({"KeyDown"}), QStringList{QStringLiteral("KeyDown %1").arg(key, 0, 16)});
}

void TstQzButton::accessKeyClicks_data()
{
    QTest::addColumn<bool>("checkBoxMode");
    QTest::newRow("push") << false;
    QTest::newRow("toggle") << true;
}

void TstQzButton::accessKeyClicks()
{
    QFETCH(bool, checkBoxMode);
    Window w;
    w.button->setCheckBoxMode(checkBoxMode);
    QVERIFY(w.showAndFocus());
    w.before->setFocus(); // the access key works from anywhere in the window
    QTRY_VERIFY(w.before->hasFocus());
    QTest::keyClick(w.before, Qt::Key_R, Qt::AltModifier);
    QCOMPARE(w.button->value(), checkBoxMode);
    QTRY_COMPARE(w.only({"Click"}), QStringList{"Click"});
    // A caption without access key releases the old one.
    w.button->setCaption(QStringLiteral("读取"));
    QTest::keyClick(w.before, Qt::Key_R, Qt::AltModifier);
    QTest::qWait(0);
    QCOMPARE(w.only({"Click"}), QStringList{"Click"});
}

void TstQzButton::disabledIgnoresInput()
{
    Window w;
    QVERIFY(w.showAndFocus());
    w.button->setEnabled(false);
    QVERIFY(!w.button->property("Enabled").toBool());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QTest::keyClick(&w.window, Qt::Key_R, Qt::AltModifier);
    QTest::keyClick(w.button, Qt::Key_Space);
    QTest::qWait(0);
    QCOMPARE(w.only({"Click", "MouseEnter", "MouseDown"}), QStringList{});
    QCOMPARE(w.button->shownLook(), int(QzButton::Normal));
}

void TstQzButton::hoverLooks()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(&w.window, QPoint(200, 150));
    QTest::mouseMove(&w.window, QPoint(60, 65));
    QTRY_COMPARE(w.button->look(), int(QzButton::Hot));
    QTest::mouseMove(&w.window, QPoint(200, 150));
    QTRY_COMPARE(w.button->look(), int(QzButton::Normal));
    QCOMPARE(w.only({"MouseEnter", "MouseLeave"}), (QStringList{"MouseEnter", "MouseLeave"}));
}

void TstQzButton::minimumSize()
{
    QzButton b;
    b.resize(6, 6);
    QCOMPARE(b.size(), QSize(15, 15));
    b.resize(90, 25);
    QCOMPARE(b.size(), QSize(90, 25));
}

void TstQzButton::roundedCornersAreNotTheButton_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("cornerHits");
    QTest::newRow("rectangle, style 0") << 0 << true;
    QTest::newRow("rectangle, style 15") << 15 << true;
    QTest::newRow("corner 3, style 4") << 4 << true; // too small to leave a pixel out
    QTest::newRow("corner 18, style 14") << 14 << false;
}

void TstQzButton::roundedCornersAreNotTheButton()
{
    QFETCH(int, style);
    QFETCH(bool, cornerHits);
    Window w;
    w.button->setButtonStyle(style);
    QVERIFY(w.showAndFocus());
    QCOMPARE(w.button->hitButton(QPointF(1.5, 1.5)), cornerHits);
    QVERIFY(w.button->hitButton(QPointF(50, 15)));
    QTest::mouseClick(w.button, Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(w.only({"Click"}).size(), cornerHits ? 1 : 0);
}

void TstQzButton::hidingWhilePressed()
{
    Window w;
    QVERIFY(w.showAndFocus());
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    w.button->hide();
    QTRY_VERIFY(!w.button->isMouseInside());
    QVERIFY(!w.button->isMouseDown());
    w.button->show();
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.only({"Click"}), QStringList{});
    QVERIFY(w.button->shownLook() != int(QzButton::Pressed));
}

static QPixmap square(int side)
{
    QPixmap pm(side, side);
    pm.fill(Qt::red);
    return pm;
}

void TstQzButton::pictureAlign_data()
{
    // A 200 x 60 button, a 16 x 16 picture and the caption "读取" of width tw, height th.
    QzButton probe;
    const QFontMetrics fm(probe.font());
    const int tw = fm.horizontalAdvance(QStringLiteral("读取"));
    const int th = fm.height();
    QTest::addColumn<int>("align");
    QTest::addColumn<QPoint>("picture");
    QTest::addColumn<QPoint>("caption"); // top left of the caption's text
    const int groupX = (200 - (16 + 4 + tw)) / 2;
    const int groupY = (60 - (16 + 4 + th)) / 2;
    const int midY = (60 - th) / 2;
    QTest::newRow("0 left") << 0 << QPoint(4, 22) << QPoint(24 + (200 - 24 - 4 - tw) / 2, midY);
    QTest::newRow("1 group, picture left") << 1 << QPoint(groupX, 22) << QPoint(groupX + 20, midY);
    QTest::newRow("2 right") << 2 << QPoint(180, 22) << QPoint(4 + (172 - tw) / 2, midY);
    QTest::newRow("3 group, picture right")
        << 3 << QPoint(groupX + tw + 4, 22) << QPoint(groupX, midY);
    QTest::newRow("4 centre") << 4 << QPoint(92, 22) << QPoint(4 + (192 - tw) / 2, midY);
    QTest::newRow("5 top") << 5 << QPoint(92, 4) << QPoint(4 + (192 - tw) / 2, 20 + (40 - th) / 2);
    QTest::newRow("6 group, picture above")
        << 6 << QPoint(92, groupY) << QPoint(4 + (192 - tw) / 2, groupY + 20);
    QTest::newRow("7 bottom") << 7 << QPoint(92, 40) << QPoint(4 + (192 - tw) / 2, (40 - th) / 2);
    QTest::newRow("8 group, picture below")
        << 8 << QPoint(92, groupY + th + 4) << QPoint(4 + (192 - tw) / 2, groupY);
}

void TstQzButton::pictureAlign()
{
    QFETCH(int, align);
    QFETCH(QPoint, picture);
    QFETCH(QPoint, caption);
    QzButton b(QStringLiteral("读取"));
    b.resize(200, 60);
    b.setPicture(square(16));
    b.setPictureAlign(align);
    QCOMPARE(b.pictureRect(), QRect(picture, QSize(16, 16)));
    // Text placement may differ by a rounding pixel.
    QVERIFY2(
        (b.captionRect().topLeft() - caption).manhattanLength() <= 1,
        qPrintable(
            QStringLiteral("caption at %1,%2").arg(b.captionRect().x()).arg(b.captionRect().y())));
    QVERIFY(!b.captionRect().intersects(b.pictureRect()) || align == 4);
}

void TstQzButton::pictureSizes_data()
{
    QTest::addColumn<int>("pictureSize");
    QTest::addColumn<int>("own");
    QTest::addColumn<int>("buttonWidth");
    QTest::addColumn<int>("expected");
    QTest::newRow("own size") << 0 << 20 << 100 << 20;
    QTest::newRow("16") << 1 << 20 << 100 << 16;
    QTest::newRow("24") << 2 << 20 << 100 << 24;
    QTest::newRow("32") << 3 << 20 << 100 << 32;
    QTest::newRow("wider than the button") << 0 << 60 << 40 << 32;
}

void TstQzButton::pictureSizes()
{
    QFETCH(int, pictureSize);
    QFETCH(int, own);
    QFETCH(int, buttonWidth);
    QFETCH(int, expected);
    QzButton b(QString{});
    b.resize(buttonWidth, 60);
    b.setPicture(square(own));
    b.setPictureSize(pictureSize);
    QCOMPARE(b.pictureRect().width(), expected);
    QVERIFY(b.pictureRect().left() >= 1 && b.pictureRect().top() >= 1);
}

void TstQzButton::pressedContentMoves_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("shift");
    for (int style : {0, 1, 3, 8})
        QTest::addRow("style %d", style) << style << 1;
    QTest::newRow("style 5") << 5 << 2;
    for (int style : {2, 4, 13, 15})
        QTest::addRow("style %d", style) << style << 0;
}

void TstQzButton::pressedContentMoves()
{
    QFETCH(int, style);
    QFETCH(int, shift);
    Window w;
    w.button->setButtonStyle(style);
    w.button->setPicture(square(16));
    QVERIFY(w.showAndFocus());
    const QRect picture = w.button->pictureRect();
    const QRect caption = w.button->captionRect();
    QTest::mouseMove(w.button, QPoint(50, 15));
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->pictureRect(), picture.translated(shift, shift));
    QCOMPARE(w.button->captionRect(), caption.translated(shift, shift));
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(50, 15));
    QCOMPARE(w.button->pictureRect(), picture);
}

QTEST_MAIN(TstQzButton)
#include "tst_qzbutton.moc"
