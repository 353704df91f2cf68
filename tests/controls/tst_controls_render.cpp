// Renders every control in each of its states off-screen and checks that each picture has
// content and that the states can be told apart.
#include "controls/qzbutton.h"
#include "controls/safeswitch.h"
#include "controls/safetabs.h"
#include "support/input.h"
#include "support/shown.h"

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

// The widget as drawn, over a transparent background.
QImage picture(QWidget *w)
{
    QImage img(w->size() * 2, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(2);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::DrawChildren);
    return img;
}

bool hasContent(const QImage &img)
{
    int opaque = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            opaque += qAlpha(img.pixel(x, y)) == 255;
    return opaque > img.width() * img.height() / 2;
}

QPixmap square(const QColor &c)
{
    QPixmap pm(16, 16);
    pm.fill(c);
    return pm;
}

} // namespace

class TstControlsRender : public QObject
{
    Q_OBJECT

private slots:
    void init() { QCursor::setPos(QPoint(3000, 3000)); }
    void switchStates_data();
    void switchStates();
    void tabStates();
    void buttonStates_data();
    void buttonStates();
    void buttonPictures();
};

void TstControlsRender::switchStates_data()
{
    QTest::addColumn<int>("skin");
    for (int skin : {0, 1, 2})
        QTest::addRow("skin %d", skin) << skin;
}

void TstControlsRender::switchStates()
{
    QFETCH(int, skin);
    QWidget window;
    window.resize(200, 300);
    QList<SafeSwitch *> switches;
    for (int frame = 0; frame < 8; ++frame) {
        auto *s = new SafeSwitch(&window);
        s->setSkin(skin);
        s->move(10, 10 + frame * 30);
        s->setValue(frame < 4);
        switches << s;
    }
    QVERIFY(support::ShowAndWait(window));
    for (int frame = 0; frame < 8; ++frame) {
        SafeSwitch *s = switches[frame];
        if (frame % 4 == 1)
            support::Hover(s);
        else if (frame % 4 == 2)
            support::Press(s);
        else if (frame % 4 == 3)
            s->setEnable(false);
        QCOMPARE(s->frameIndex(), frame);
    }
    QList<QImage> images;
    for (SafeSwitch *s : switches) {
        const QImage img = picture(s);
        QVERIFY(hasContent(img));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0); // rounded ends show the background
        QVERIFY2(!images.contains(img), qPrintable(QString::number(images.size())));
        images << img;
    }
}

void TstControlsRender::tabStates()
{
    auto make = [](int skin) {
        auto *t = new SafeTabs;
        t->resize(300, 100);
        t->setSkinIndex(skin);
        return t;
    };
    QList<QImage> images;
    auto add = [&](SafeTabs *t, const char *what) {
        const QImage img = picture(t);
        QVERIFY2(hasContent(img), what);
        QVERIFY2(!images.contains(img), what);
        images << img;
    };
    std::unique_ptr<SafeTabs> t(make(6));
    add(t.get(), "normal");
    t->setActiveTab(2);
    add(t.get(), "another tab active");
    const QPointF at = t->labelRect(1).center();
    QMouseEvent move(QEvent::MouseMove, at, t->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(t.get(), &move);
    QCOMPARE(t->hotTab(), 1);
    add(t.get(), "hot label");
    t->setTabsEnabled(false);
    add(t.get(), "disabled");
    for (int skin = 0; skin < 8; ++skin) {
        if (skin == 6)
            continue;
        std::unique_ptr<SafeTabs> other(make(skin));
        add(other.get(), "colour scheme");
    }
}

void TstControlsRender::buttonStates_data()
{
    QTest::addColumn<int>("style");
    for (int style = 0; style < 16; ++style)
        QTest::addRow("style %d", style) << style;
}

void TstControlsRender::buttonStates()
{
    QFETCH(int, style);
    QWidget window;
    window.resize(800, 60);
    enum { Normal, Hot, Pressed, Disabled, Checked, Picture, Focus, Count };
    QList<QzButton *> buttons;
    for (int i = 0; i < Count; ++i) {
        auto *b = new QzButton(QStringLiteral("读取(&R)"), &window);
        b->setButtonStyle(style);
        b->setGeometry(10 + i * 100, 10, 90, 28);
        buttons << b;
    }
    buttons[Disabled]->setEnabled(false);
    buttons[Checked]->setCheckBoxMode(true);
    buttons[Checked]->setValue(true);
    buttons[Picture]->setPicture(square(Qt::red));
    buttons[Focus]->setShowFocusRect(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    buttons[Focus]->setFocus();
    QTRY_VERIFY(buttons[Focus]->hasFocus());
    support::Hover(buttons[Hot]);
    support::Press(buttons[Pressed]);
    QCOMPARE(buttons[Hot]->shownLook(), int(QzButton::Hot));
    QCOMPARE(buttons[Pressed]->shownLook(), int(QzButton::Pressed));

    QList<QImage> img;
    for (QzButton *b : buttons) {
        img << picture(b);
        QVERIFY(hasContent(img.last()));
    }
    QVERIFY(img[Pressed] != img[Normal]);
    QVERIFY(img[Disabled] != img[Normal]);
    QVERIFY(img[Checked] != img[Normal]);
    QVERIFY(img[Picture] != img[Normal]);
    QVERIFY(img[Focus] != img[Normal]);
    // Styles 0 and 11 keep their face under the pointer, and style 15 draws normal and hot
    // alike; every other style has a hot look of its own.
    if (style != 0 && style != 11 && style != 15)
        QVERIFY(img[Hot] != img[Normal]);
}

void TstControlsRender::buttonPictures()
{
    // A picture in the mask colour with a blue centre.
    QPixmap masked(16, 16);
    masked.fill(QColor(224, 224, 224));
    {
        QPainter p(&masked);
        p.fillRect(4, 4, 8, 8, Qt::blue);
    }
    QWidget window;
    window.resize(600, 60);
    enum { Plain, Mask, Hover, HoverPicture, Disabled, On, Count };
    QList<QzButton *> buttons;
    for (int i = 0; i < Count; ++i) {
        auto *b = new QzButton(QString(), &window);
        b->setButtonStyle(4);
        b->setGeometry(10 + i * 90, 10, 80, 28);
        b->setPicture(masked);
        buttons << b;
    }
    buttons[Mask]->setUseMaskColor(true);
    buttons[HoverPicture]->setPictureHover(square(Qt::green));
    buttons[Disabled]->setEnabled(false);
    buttons[On]->setPictureHover(square(Qt::green));
    buttons[On]->setCheckBoxMode(true);
    buttons[On]->setValue(true);
    QVERIFY(support::ShowAndWait(window));
    support::Hover(buttons[Hover]);
    support::Hover(buttons[HoverPicture]);

    auto centre = [](QzButton *b) {
        const QImage img = picture(b);
        return img.pixelColor(b->pictureRect().center() * 2);
    };
    auto corner = [](QzButton *b) {
        const QImage img = picture(b);
        return img.pixelColor((b->pictureRect().topLeft() + QPoint(1, 1)) * 2);
    };
    QCOMPARE(centre(buttons[Plain]), QColor(Qt::blue));
    QCOMPARE(corner(buttons[Plain]), QColor(224, 224, 224));
    // With the mask colour on, the face shows through the picture's background.
    QVERIFY(corner(buttons[Mask]) != QColor(224, 224, 224));
    QCOMPARE(centre(buttons[Mask]), QColor(Qt::blue));
    // The hover picture replaces the picture while hot and while on; without one the
    // picture stays.
    QCOMPARE(centre(buttons[Hover]), QColor(Qt::blue));
    QCOMPARE(centre(buttons[HoverPicture]), QColor(Qt::green));
    QCOMPARE(centre(buttons[On]), QColor(Qt::green));
    // A disabled button greys its picture.
    const QColor grey = centre(buttons[Disabled]);
    QVERIFY(qAbs(grey.red() - grey.blue()) < 40);
}

QTEST_MAIN(TstControlsRender)
#include "tst_controls_render.moc"
